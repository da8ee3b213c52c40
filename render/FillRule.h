#pragma once

#include <QImage>
#include <QtGlobal>

#include <algorithm>

// What TriangleFill and GridFill share of QPainter's aliased fill: the
// rounding to 1/64 pixel, which pixel centres an edge covers, and the part
// of an image where that is the whole rule.
namespace FillRule {

// Far inside the range where Qt neither clips an outline before filling it
// nor leaves plain integer arithmetic.
constexpr double CoordinateLimit = 8000.0;

// A device coordinate in 1/64 pixel, rounded as Qt rounds it.
inline qint64 sixtyFourths(double v)
{
    return qRound(v * 64);
}

// The first pixel (row or column) whose centre 64 p + 32 lies beyond v0,
// and the last whose centre does not lie beyond v1: v0 < 64 p + 32 <= v1.
// Shifts floor, also below zero.
inline qint64 firstAfter(qint64 v0)
{
    return (v0 + 32) >> 6;
}
inline qint64 lastUpTo(qint64 v1)
{
    return (v1 - 32) >> 6;
}

// The rows top..bottom of a 32-bit premultiplied image that may be written
// (the painter's clip), and the x range vertices must keep to: a pixel off
// each side, so edges never reach the image's sides, where Qt clips them.
// Null for any other format or an image beyond the limit: then nothing is
// filled. The image must outlive it.
struct Target
{
    Target(QImage &image, int top, int bottom)
    {
        if (image.format() != QImage::Format_ARGB32_Premultiplied || image.width() < 3
            || image.width() > CoordinateLimit || image.height() > CoordinateLimit)
            return;
        bits = image.bits();
        stride = image.bytesPerLine();
        this->top = std::max(0, top);
        this->bottom = std::min(image.height() - 1, bottom);
        minX = 1.0;
        maxX = image.width() - 1.0;
    }
    quint32 *line(qint64 row) const { return reinterpret_cast<quint32 *>(bits + row * stride); }
    // Written so that NaN fails too.
    bool keepsX(double x) const { return x >= minX && x <= maxX; }

    uchar *bits = nullptr;
    qsizetype stride = 0;
    int top = 0;
    int bottom = -1;
    double minX = 0.0;
    double maxX = -1.0;
};

} // namespace FillRule
