#pragma once

#include <QPointF>
#include <QtGlobal>

#include <memory>
#include <vector>

// The points of stored triangles, one block per file read. Each polygon is a
// QPolygonF over three points of a block (QList::fromRawData) instead of an
// allocation of its own: that halves what a triangle costs in memory and in
// time to build. The blocks must outlive every polygon built on them, so
// whoever keeps the polygons keeps their blocks beside them.
class PointBlocks
{
public:
    // Room for count points, not initialised; throws std::bad_alloc.
    QPointF *allocate(qsizetype count);
    // Moves the blocks of other here; the points stay where they are.
    void take(PointBlocks &other);
    void clear();
    qint64 bytes() const { return total; }

private:
    std::vector<std::shared_ptr<QPointF>> blocks;
    qint64 total = 0;
};
