#pragma once

#include "ColoredPolygon.h"
#include "TileGrid.h"
#include "TilePolygons.h"

#include <QVector>

#include <memory>
#include <vector>

// What one map view draws: its opened tiles in the order they were opened,
// a later one on top. A regular tile is its grid (held once, shared with the
// other view); any other tile is its triangles, a run of the polygon list.
class MapContent
{
public:
    // An area in map units; infinite where a point is not finite, so that
    // it is never culled.
    struct Box
    {
        double minX, minY, maxX, maxY;
        // The box of a polygon's points (from the points: a QRectF loses a
        // right edge beside a far left one), and of two boxes.
        static Box around(const QPolygonF &polygon);
        Box united(const Box &other) const;
        bool holds(QPointF p) const { return p.x() >= minX && p.x() <= maxX && p.y() >= minY && p.y() <= maxY; }
    };
    struct Entry
    {
        // Null for triangles: polygons [first, end), within box.
        std::shared_ptr<const TileGrid> grid;
        qsizetype first = 0;
        qsizetype end = 0;
        Box box{};
    };

    MapContent() = default;
    // Triangles only, as one entry; the list is shared, not copied.
    explicit MapContent(const QVector<ColoredPolygon> &polygons);
    MapContent(const MapContent &) = delete;
    MapContent &operator=(const MapContent &) = delete;

    void addGrid(std::shared_ptr<const TileGrid> grid);
    // Takes over what was read of a file (TilePolygons::append); false when
    // it was not read or could not be joined.
    bool addTriangles(TilePolygons::FileTriangles &file);

    const std::vector<Entry> &entries() const { return list; }
    const QVector<ColoredPolygon> &polygons() const { return polygonList; }
    int gridCount() const { return grids; }
    // Bytes held for the grids' cells.
    qint64 gridBytes() const;

private:
    void addRun(qsizetype first, qsizetype end);

    QVector<ColoredPolygon> polygonList;
    std::vector<Entry> list;
    int grids = 0;
};
