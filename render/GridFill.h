#pragma once

#include "FillRule.h"
#include "TileLevel.h"

#include <QColor>
#include <QTransform>
#include <QtGlobal>

#include <functional>

class QImage;

// Fills the cells of a tile level (with shared far edges) straight into a
// 32-bit premultiplied band image, with exactly the pixels TriangleFill,
// and so QPainter's aliased fill, gives each cell's two triangles.
//
// For a cell that is an axis-aligned rectangle the two triangles share
// their diagonal, stepped the same way in both, so together they cover
// the rows whose centre lies below the upper edge and not below the lower
// one (vertices rounded to 1/64 pixel), and in each such row the pixels
// from the left edge's rounded position up to, not including, the right
// edge's. Rows and columns are independent: a cell row is filled once and
// copied down its pixel rows, about one write per pixel. Cells whose edges
// lie where TriangleFill would refuse them (near the image's left or right
// side, far beyond it) are handed back, to be drawn by QPainter.
class GridFill
{
public:
    // Rows top..bottom (inclusive) may be written: the band's clip.
    // toDevice: a scale and a translation, applied as Qt applies them.
    GridFill(QImage &image, int top, int bottom, const QTransform &toDevice);

    // Fills the cells of range (any order gives the same pixels: the cells
    // of one level do not overlap), leaving the pixels of missing cells as
    // they are; calls refused(column, row) for each cell it leaves to the
    // painter. Returns the cells filled here.
    qint64 fill(const TileLevel &level, const CellRange &range,
                const std::function<void(int column, int row)> &refused);

    // The colour the triangles of a band are drawn in, as the painter reads
    // it from a tile, and the pixel a solid brush of it writes.
    static QColor bandColor(int band);
    static quint32 bandPixel(int band);

private:
    // The cells [column0, column1) of a cell row of a tile with holes, whose
    // pixels are x0[i] .. x1[i] in pixel rows first .. last.
    qint64 fillRuns(const TileLevel &level, int row, int column0, int column1, const int *x0, const int *x1,
                    qint64 first, qint64 last);

    FillRule::Target target;
    double sx, sy, dx, dy;
};
