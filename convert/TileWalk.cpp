#include "TileWalk.h"

#include <algorithm>
#include <climits>

TileWalk::TileWalk(const QVector<TileCorner> &tiles) : tiles(tiles), free(tiles.size(), true)
{
    if (tiles.isEmpty())
        return;
    const auto [south, north] = std::minmax_element(
        tiles.begin(), tiles.end(), [](TileCorner a, TileCorner b) { return a.lat < b.lat; });
    const auto [west, east] = std::minmax_element(
        tiles.begin(), tiles.end(), [](TileCorner a, TileCorner b) { return a.lon < b.lon; });
    // A step along the shorter side costs less, so a job sweeps across it
    // and comes back beside the strip it has just warped.
    if (north->lat - south->lat <= east->lon - west->lon)
        lonWeight = 2;
    else
        latWeight = 2;
}

int TileWalk::distance(TileCorner a, TileCorner b) const
{
    const int dLat = a.lat - b.lat;
    const int dLon = a.lon - b.lon;
    return latWeight * dLat * dLat + lonWeight * dLon * dLon;
}

int TileWalk::next(int job)
{
    if (count == tiles.size())
        return -1;
    int best = -1;
    const auto last = lastOf.constFind(job);
    if (last != lastOf.constEnd()) {
        // The nearest free tile; the first in the list among equals.
        int nearest = INT_MAX;
        for (int i = 0; i < tiles.size(); ++i) {
            if (!free[i])
                continue;
            const int d = distance(tiles[i], tiles[*last]);
            if (d < nearest) {
                nearest = d;
                best = i;
            }
        }
    } else {
        // A job's first tile: the free one farthest from every tile taken
        // (with none taken yet, the first in the list).
        int farthest = -1;
        for (int i = 0; i < tiles.size(); ++i) {
            if (!free[i])
                continue;
            int nearestTaken = INT_MAX;
            for (int j = 0; j < tiles.size(); ++j) {
                if (!free[j])
                    nearestTaken = std::min(nearestTaken, distance(tiles[i], tiles[j]));
            }
            if (nearestTaken > farthest) {
                farthest = nearestTaken;
                best = i;
            }
        }
    }
    free[best] = false;
    lastOf[job] = best;
    ++count;
    return best;
}

QVector<TileCorner> TileWalk::left() const
{
    QVector<TileCorner> tilesLeft;
    for (int i = 0; i < tiles.size(); ++i) {
        if (free[i])
            tilesLeft.append(tiles[i]);
    }
    return tilesLeft;
}
