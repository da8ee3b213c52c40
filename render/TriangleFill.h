#pragma once

#include "FillRule.h"

#include <QColor>
#include <QPointF>
#include <QtGlobal>

class QImage;

// Fills triangles straight into a 32-bit premultiplied image with exactly
// the pixels QPainter's aliased odd-even polygon fill gives them, for a
// fraction of the cost of a drawPolygon call.
//
// The rule reproduced: vertices are rounded to 1/64 pixel; a row is covered
// by an edge when its centre lies below the edge's upper end and not below
// its lower end; along a row the edge's position is stepped in 16.16 fixed
// point from the centre of its first row, and the pixels from the left
// edge's rounded position up to (not including) the right edge's are filled.
// Triangles outside the range where that is all there is to it (close to the
// image's left or right side, far beyond it, non-finite) are refused and
// must be drawn by QPainter; so are colours that are not opaque.
class TriangleFill
{
public:
    // Rows top..bottom (inclusive) may be written: the painter's clip. The
    // image must be ARGB32_Premultiplied and must outlive this object.
    TriangleFill(QImage &image, int top, int bottom);

    // Points in device pixels. Returns false, writing nothing, when the
    // triangle has to be left to QPainter.
    bool fill(const QPointF *points, quint32 pixel);

    // The pixel QPainter writes for a solid brush of color; false when the
    // colour is not opaque, so blending would be needed.
    static bool pixelOf(const QColor &color, quint32 *pixel);

    // Whether this Qt fills like the rule above. Checked once, by painting
    // awkward triangles both ways; if it ever differs, nothing is filled here.
    static bool matchesQt();

    // The triangles filled and refused so far.
    qint64 filledCount() const { return filled; }
    qint64 refusedCount() const { return refused; }

private:
    FillRule::Target target;
    qint64 filled = 0;
    qint64 refused = 0;
};
