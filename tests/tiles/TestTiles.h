#pragma once

// Small CHGT files written by hand for the tests of every layer.

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QPointF>
#include <QString>
#include <QVector>

#include <cmath>
#include <functional>

namespace TestTiles {

// One triangle in degrees; every vertex gets the colour.
inline void addTriangle(QVector<float> &f, double x0, double y0, double x1, double y1, double x2, double y2,
                        QColor c)
{
    for (const QPointF &p : {QPointF(x0, y0), QPointF(x1, y1), QPointF(x2, y2)})
        f << float(p.x()) << float(p.y()) << 0.0f << float(c.redF()) << float(c.greenF()) << float(c.blueF());
}

// Posts without a height (i east, j north of the corner, 1 .. 1200): west
// of a wavy border, a lake, every third of part of the north edge, and
// single posts scattered over the tile.
inline bool borderHoles(int i, int j)
{
    const double border = 260 + 110 * std::sin(j / 97.0) + 35 * std::sin(j / 13.0);
    if (i < border)
        return true;
    if ((i - 820) * (i - 820) + (j - 640) * (j - 640) < 140 * 140)
        return true;
    if (j == 1200 && i > 900 && i % 3 == 0)
        return true;
    return (i * 31 + j * 17) % 89 == 0;
}

using Holes = std::function<bool(int i, int j)>;

// Whether cell (column, row) of quantity q is left out: its south-west post.
inline bool leftOut(const Holes &holes, int q, int column, int row)
{
    return holes(1 + column * q, 1 + row * q);
}

// A full tile of quantity q with the cells of holes left out.
inline QByteArray withHoles(const QByteArray &tile, int q, const Holes &holes)
{
    const int n = 1199 / q + 1;
    QByteArray out;
    if (tile.size() != qsizetype(n) * n * 144)
        return out;
    out.reserve(tile.size());
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            if (!leftOut(holes, q, c, r))
                out.append(tile.constData() + (qsizetype(c) * n + r) * 144, 144);
        }
    }
    return out;
}

// A file's bytes, or empty when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// CHGT bytes of the floats (the host is little-endian, as the format).
inline bool writeFloats(const QString &path, const QVector<float> &floats, const QByteArray &tail = {})
{
    return writeBytes(path, QByteArray(reinterpret_cast<const char *>(floats.data()), floats.size() * 4) + tail);
}

// One triangle with a NaN longitude (a reader drops it), as bytes.
inline QByteArray nanTriangle()
{
    QVector<float> f;
    addTriangle(f, 14.5, 49.5, 14.6, 49.5, 14.5, 49.6, QColor(200, 10, 10));
    f[6] = std::nanf("");
    return QByteArray(reinterpret_cast<const char *>(f.data()), f.size() * 4);
}

} // namespace TestTiles
