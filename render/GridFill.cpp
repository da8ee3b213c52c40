#include "GridFill.h"

#include "HeightColors.h"
#include "TilePolygons.h"
#include "TriangleFill.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

using FillRule::CoordinateLimit;
using FillRule::sixtyFourths;

struct BandColours
{
    BandColours()
    {
        for (int b = 0; b < HeightBandCount; ++b) {
            float rgb[3];
            heightColor(float(heightColors[b].bound), rgb[0], rgb[1], rgb[2]);
            colors[size_t(b)] = TilePolygons::colorOf(rgb[0], rgb[1], rgb[2]);
            TriangleFill::pixelOf(colors[size_t(b)], &pixels[size_t(b)]);
        }
    }
    std::array<QColor, HeightBandCount> colors;
    std::array<quint32, HeightBandCount> pixels{};
};

const BandColours &bandColours()
{
    static const BandColours colours;
    return colours;
}

} // namespace

QColor GridFill::bandColor(int band)
{
    return bandColours().colors[size_t(band)];
}

quint32 GridFill::bandPixel(int band)
{
    return bandColours().pixels[size_t(band)];
}

GridFill::GridFill(QImage &image, int top, int bottom, const QTransform &toDevice)
    : target(image, top, bottom), sx(toDevice.m11()), sy(toDevice.m22()), dx(toDevice.dx()), dy(toDevice.dy())
{
}

qint64 GridFill::fill(const TileLevel &level, const CellRange &range,
                      const std::function<void(int, int)> &refused)
{
    if (range.isEmpty())
        return 0;
    const CellEdges &columnEdges = level.columnEdges();
    const CellEdges &rowEdges = level.rowEdges();
    const int columns = range.column1 - range.column0;
    // Each column's pixels [x0, x1), or refused; points mapped as the
    // painter maps a triangle's (map units are hundredths of a degree).
    std::vector<int> x0(static_cast<size_t>(columns)), x1(static_cast<size_t>(columns));
    int firstOk = columns, endOk = 0;
    int spanLeft = 0, spanRight = 0;
    for (int i = 0; i < columns; ++i) {
        const int c = range.column0 + i;
        const double a = sx * (100.0 * double(columnEdges.nearEdge(c))) + dx;
        const double b = sx * (100.0 * double(columnEdges.farEdge(c))) + dx;
        if (!target.keepsX(a) || !target.keepsX(b))
            continue;
        int p = int(FillRule::firstAfter(sixtyFourths(a)));
        int q = int(FillRule::firstAfter(sixtyFourths(b)));
        if (p > q)
            std::swap(p, q);
        x0[size_t(i)] = p;
        x1[size_t(i)] = q;
        spanLeft = firstOk < endOk ? std::min(spanLeft, p) : p;
        spanRight = firstOk < endOk ? std::max(spanRight, q) : q;
        firstOk = std::min(firstOk, i);
        endOk = i + 1;
    }
    // Shared edges: the columns filled here lie side by side, so a cell
    // row's pixels are [spanLeft, spanRight) and can be copied down whole.
    const quint32 *pixels = bandColours().pixels.data();
    const bool holes = level.hasHoles();

    qint64 filled = 0;
    for (int r = range.row0; r < range.row1; ++r) {
        const double a = sy * (100.0 * double(rowEdges.nearEdge(r))) + dy;
        const double b = sy * (100.0 * double(rowEdges.farEdge(r))) + dy;
        const bool rowOk = target.bits && a >= -CoordinateLimit && a <= CoordinateLimit
                           && b >= -CoordinateLimit && b <= CoordinateLimit;
        if (!rowOk) {
            for (int c = range.column0; c < range.column1; ++c) {
                if (level.band(c, r) != TileGrid::NoCell)
                    refused(c, r);
            }
            continue;
        }
        for (int i = 0; i < firstOk; ++i) {
            if (level.band(range.column0 + i, r) != TileGrid::NoCell)
                refused(range.column0 + i, r);
        }
        for (int i = endOk; i < columns; ++i) {
            if (level.band(range.column0 + i, r) != TileGrid::NoCell)
                refused(range.column0 + i, r);
        }

        const qint64 upper = std::min(sixtyFourths(a), sixtyFourths(b));
        const qint64 lower = std::max(sixtyFourths(a), sixtyFourths(b));
        const qint64 first = std::max<qint64>(target.top, FillRule::firstAfter(upper));
        const qint64 last = std::min<qint64>(target.bottom, FillRule::lastUpTo(lower));
        if (first > last || firstOk >= endOk)
            continue;
        if (holes) {
            filled += fillRuns(level, r, range.column0 + firstOk, range.column0 + endOk,
                               x0.data() + firstOk, x1.data() + firstOk, first, last);
            continue;
        }
        quint32 *line = target.line(first);
        for (int i = firstOk; i < endOk; ++i) {
            if (x1[size_t(i)] > x0[size_t(i)])
                std::fill(line + x0[size_t(i)], line + x1[size_t(i)],
                          pixels[level.band(range.column0 + i, r)]);
        }
        filled += endOk - firstOk;
        const size_t bytes = size_t(spanRight - spanLeft) * sizeof(quint32);
        for (qint64 y = first + 1; y <= last; ++y)
            std::memcpy(target.line(y) + spanLeft, line + spanLeft, bytes);
    }
    return filled;
}

qint64 GridFill::fillRuns(const TileLevel &level, int row, int column0, int column1, const int *x0,
                          const int *x1, qint64 first, qint64 last)
{
    // Nothing is written where a cell is missing, so what lies below shows:
    // each run of cells the tile has is filled in the first pixel row and
    // copied down on its own.
    const quint32 *pixels = bandColours().pixels.data();
    quint32 *line = target.line(first);
    qint64 filled = 0;
    int c = column0;
    while (c < column1) {
        if (level.band(c, row) == TileGrid::NoCell) {
            ++c;
            continue;
        }
        int left = x0[c - column0], right = x1[c - column0];
        for (; c < column1; ++c) {
            const int band = level.band(c, row);
            if (band == TileGrid::NoCell)
                break;
            const int i = c - column0;
            if (x1[i] > x0[i])
                std::fill(line + x0[i], line + x1[i], pixels[band]);
            left = std::min(left, x0[i]);
            right = std::max(right, x1[i]);
            ++filled;
        }
        const size_t bytes = size_t(right - left) * sizeof(quint32);
        for (qint64 y = first + 1; y <= last; ++y)
            std::memcpy(target.line(y) + left, line + left, bytes);
    }
    return filled;
}
