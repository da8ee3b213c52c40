#pragma once

#include "DemRaster.h"

#include <QHash>
#include <QVector>

// The order in which jobs take the tiles of a mosaic. Each job goes on with
// a free neighbour of the tile it warped last, first along the shorter side
// of the tiles: a tile's warp decodes the edge blocks of every raster around
// it, and while the job's next tiles need those blocks again they are still
// in GDAL's block cache. Each job starts as far from the others as it can,
// so two jobs seldom decode the same blocks.
class TileWalk
{
public:
    explicit TileWalk(const QVector<TileCorner> &tiles);

    // The index of the next tile for a job, or -1 when every tile is taken.
    // Not thread-safe: the caller holds a lock.
    int next(int job);
    int taken() const { return count; }
    // The tiles no job has taken yet.
    QVector<TileCorner> left() const;

private:
    int distance(TileCorner a, TileCorner b) const;

    QVector<TileCorner> tiles;
    QVector<bool> free;
    QHash<int, int> lastOf; // job -> index of its last tile
    int count = 0;
    int latWeight = 1;
    int lonWeight = 1;
};
