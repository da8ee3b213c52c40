#include "TriangleFill.h"

#include <QImage>
#include <QPainter>
#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using FillRule::CoordinateLimit;

// A vertex in 1/64 pixel.
struct Vertex
{
    qint64 x;
    qint64 y;
};

// An edge's 16.16 position at the centre of its current row and its step
// per row.
struct Edge
{
    qint64 x;
    qint64 step;

    Edge(const Vertex &a, const Vertex &b, qint64 row)
    {
        const qint64 start = 32768 + a.x * 1024;
        if (b.x == a.x) {
            x = start;
            step = 0;
            return;
        }
        const double slope = double(b.x - a.x) / double(b.y - a.y);
        step = qint64(slope * 65536.0);
        x = start + ((step * (row * 65536 + 32768 - a.y * 1024)) >> 16);
    }

    int pixel() const { return int(x >> 16); }
};

} // namespace

TriangleFill::TriangleFill(QImage &image, int top, int bottom)
    : target(image, top, bottom)
{
}

bool TriangleFill::pixelOf(const QColor &color, quint32 *pixel)
{
    const QRgba64 c = color.rgba64();
    if (!color.isValid() || c.alpha() != 0xffff)
        return false;
    *pixel = c.toArgb32();
    return true;
}

bool TriangleFill::fill(const QPointF *points, quint32 pixel)
{
    Vertex v[3];
    for (int i = 0; i < 3; ++i) {
        const double x = points[i].x();
        const double y = points[i].y();
        if (!(target.keepsX(x) && y >= -CoordinateLimit && y <= CoordinateLimit)) {
            ++refused;
            return false;
        }
        v[i] = Vertex{FillRule::sixtyFourths(x), FillRule::sixtyFourths(y)};
    }
    ++filled;
    std::sort(v, v + 3, [](const Vertex &a, const Vertex &b) { return a.y < b.y; });

    const qint64 first = std::max<qint64>(target.top, FillRule::firstAfter(v[0].y));
    const qint64 last = std::min<qint64>(target.bottom, FillRule::lastUpTo(v[2].y));
    if (first > last)
        return true;

    // The long edge spans every row; the upper short edge the rows down to
    // the middle vertex, the lower one the rest.
    Edge longEdge(v[0], v[2], first);
    const qint64 middle = FillRule::lastUpTo(v[1].y);
    auto span = [&](qint64 row, const Edge &a, const Edge &b) {
        int x0 = a.pixel();
        int x1 = b.pixel();
        if (x0 > x1)
            std::swap(x0, x1);
        quint32 *line = target.line(row);
        std::fill(line + x0, line + x1, pixel);
    };
    qint64 row = first;
    if (row <= middle) {
        Edge upper(v[0], v[1], row);
        for (const qint64 end = std::min(middle, last); row <= end; ++row) {
            span(row, longEdge, upper);
            longEdge.x += longEdge.step;
            upper.x += upper.step;
        }
    }
    if (row <= last) {
        Edge lower(v[1], v[2], row);
        for (; row <= last; ++row) {
            span(row, longEdge, lower);
            longEdge.x += longEdge.step;
            lower.x += lower.step;
        }
    }
    return true;
}

namespace {

// A small generator, so the check is the same on every run and platform.
class Sequence
{
public:
    double unit()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(state >> 11) / double(1ULL << 53);
    }

private:
    std::uint64_t state = 0x9e3779b97f4a7c15ULL;
};

// Triangles of every size, on and off the 1/64 and 1/128 grids and on half
// pixels (flat tops and bottoms through pixel centres), slivers, and ones
// that cross the clip's top and bottom, also from negative rows.
void awkwardTriangle(Sequence &s, double width, double height, QPointF *t)
{
    const int kind = int(s.unit() * 7);
    const double spread[] = {0.8, 1.6, 5.0, 20.0, 90.0, 4.0, 12.0};
    const bool onGrid = kind >= 5;
    const QPointF centre(s.unit() * width, onGrid ? s.unit() * (height + 60) - 30 : s.unit() * height);
    const double grids[] = {2.0, 64.0, 128.0};
    const double grid = grids[int(s.unit() * 3)];
    for (int i = 0; i < 3; ++i) {
        double x = centre.x() + (s.unit() - 0.5) * spread[kind];
        double y = centre.y() + (s.unit() - 0.5) * spread[kind];
        if (onGrid) { // ties of every rounding occur
            x = std::floor(x * grid) / grid;
            y = std::floor(y * grid) / grid;
        }
        t[i] = QPointF(x, y);
    }
    if (s.unit() < 0.1) // a sliver
        t[2] = t[0] + (t[1] - t[0]) * s.unit() + QPointF(s.unit() / 64.0, 0.0);
}

bool checkAgainstQt()
{
    const QSize size(131, 83);
    const QRect clip(0, 9, size.width(), 61);
    QImage reference(size, QImage::Format_ARGB32_Premultiplied);
    QImage filled(size, QImage::Format_ARGB32_Premultiplied);
    reference.fill(0);
    filled.fill(0);
    TriangleFill fill(filled, clip.top(), clip.bottom());
    QPainter plain(&reference);
    QPainter mixed(&filled);
    for (QPainter *p : {&plain, &mixed}) {
        p->setClipRect(clip);
        p->setPen(Qt::NoPen);
    }
    Sequence s;
    bool same = true;
    for (int i = 0; i < 4000 && same; ++i) {
        QPointF t[3];
        awkwardTriangle(s, size.width(), size.height(), t);
        const QColor color = QColor::fromRgbF(float(s.unit()), float(s.unit()), float(s.unit()));
        plain.setBrush(QBrush(color, Qt::SolidPattern));
        plain.drawPolygon(t, 3, Qt::OddEvenFill);
        quint32 pixel = 0;
        if (!TriangleFill::pixelOf(color, &pixel) || !fill.fill(t, pixel)) {
            mixed.setBrush(QBrush(color, Qt::SolidPattern));
            mixed.drawPolygon(t, 3, Qt::OddEvenFill);
        }
        // Compared at once: later triangles would hide a difference.
        const double low = std::min({t[0].y(), t[1].y(), t[2].y()});
        const double high = std::max({t[0].y(), t[1].y(), t[2].y()});
        const int from = std::max(clip.top(), int(std::floor(low)) - 1);
        const int to = std::min(clip.bottom(), int(std::ceil(high)) + 1);
        for (int y = from; y <= to && same; ++y)
            same = std::memcmp(reference.constScanLine(y), filled.constScanLine(y),
                               size_t(reference.bytesPerLine())) == 0;
    }
    plain.end();
    mixed.end();
    return same && reference == filled && fill.filledCount() > 4 * fill.refusedCount();
}

} // namespace

bool TriangleFill::matchesQt()
{
    static const bool matches = checkAgainstQt();
    return matches;
}
