#include "MapContent.h"

#include <algorithm>
#include <cmath>
#include <limits>

MapContent::MapContent(const QVector<ColoredPolygon> &polygons)
    : polygonList(polygons)
{
    addRun(0, polygonList.size());
}

void MapContent::addGrid(std::shared_ptr<const TileGrid> grid)
{
    if (!grid || grid->isNull())
        return;
    list.push_back(Entry{std::move(grid), 0, 0, {}});
    ++grids;
}

bool MapContent::addTriangles(TilePolygons::FileTriangles &file)
{
    const qsizetype before = polygonList.size();
    if (!TilePolygons::append(file, polygonList))
        return false;
    addRun(before, polygonList.size());
    return true;
}

void MapContent::addRun(qsizetype first, qsizetype end)
{
    // One run per file: a file's triangles lie together, so its box culls them.
    if (end <= first)
        return;
    constexpr double Inf = std::numeric_limits<double>::infinity();
    Box b{Inf, Inf, -Inf, -Inf};
    for (qsizetype i = first; i < end; ++i) {
        for (const QPointF &p : polygonList.at(i).polygon) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
                list.push_back(Entry{nullptr, first, end, Box{-Inf, -Inf, Inf, Inf}});
                return;
            }
            b = Box{std::min(b.minX, p.x()), std::min(b.minY, p.y()), std::max(b.maxX, p.x()),
                    std::max(b.maxY, p.y())};
        }
    }
    list.push_back(Entry{nullptr, first, end, b});
}

qint64 MapContent::gridBytes() const
{
    qint64 bytes = 0;
    for (const Entry &e : list) {
        if (e.grid)
            bytes += e.grid->heldBytes();
    }
    return bytes;
}
