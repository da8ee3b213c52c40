#include "MapContent.h"

MapContent::MapContent(const QVector<ColoredPolygon> &polygons)
    : polygonList(polygons)
{
    if (!polygonList.isEmpty())
        list.push_back(Entry{nullptr, 0, polygonList.size()});
}

void MapContent::addGrid(std::shared_ptr<const TileGrid> grid)
{
    if (!grid || grid->isNull())
        return;
    list.push_back(Entry{std::move(grid), 0, 0});
    ++grids;
}

bool MapContent::addTriangles(TilePolygons::FileTriangles &file)
{
    const qsizetype before = polygonList.size();
    if (!TilePolygons::append(file, polygonList, points))
        return false;
    const qsizetype after = polygonList.size();
    if (after == before)
        return true;
    // Triangles after triangles: one run, so culling sees them together.
    if (!list.empty() && !list.back().grid && list.back().end == before)
        list.back().end = after;
    else
        list.push_back(Entry{nullptr, before, after});
    return true;
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
