#pragma once

#include <QColor>
#include <QPolygonF>

// One stored triangle of the painter view: three points in map coordinates
// (hundredths of a degree) and its flat fill colour.
struct ColoredPolygon
{
    QPolygonF polygon;
    QColor color;
};

// Both members may be moved in memory, so growing the list is a realloc.
Q_DECLARE_TYPEINFO(ColoredPolygon, Q_RELOCATABLE_TYPE);
