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
    Box b = Box::around(QPolygonF());
    for (qsizetype i = first; i < end; ++i)
        b = b.united(Box::around(polygonList.at(i).polygon));
    list.push_back(Entry{nullptr, first, end, b});
}

MapContent::Box MapContent::Box::around(const QPolygonF &polygon)
{
    constexpr double Inf = std::numeric_limits<double>::infinity();
    Box b{Inf, Inf, -Inf, -Inf};
    for (const QPointF &p : polygon) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            return Box{-Inf, -Inf, Inf, Inf};
        b = b.united(Box{p.x(), p.y(), p.x(), p.y()});
    }
    return b;
}

MapContent::Box MapContent::Box::united(const Box &o) const
{
    return Box{std::min(minX, o.minX), std::min(minY, o.minY), std::max(maxX, o.maxX), std::max(maxY, o.maxY)};
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
