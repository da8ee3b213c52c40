#pragma once

// Small CHGT files written by hand for the tests of every layer.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointF>
#include <QString>
#include <QVector>
#include <QtEndian>

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

// Makes the directories.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
           && file.write(bytes) == bytes.size();
}

// CHGT bytes of the floats (the host is little-endian, as the format).
inline bool writeFloats(const QString &path, const QVector<float> &floats, const QByteArray &tail = {})
{
    return writeBytes(path, QByteArray(reinterpret_cast<const char *>(floats.data()), floats.size() * 4) + tail);
}

// A plain second implementation of the CHGT content of one HGT tile, from
// the format rules. With holes, cells of the void -32768 are left out; past
// the last sample row or column a cell takes the height read last. Shift
// lays every column that many cells east.
inline QByteArray referenceMesh(const QByteArray &hgt, int lon, int lat, int q, bool holes = false, int shift = 0)
{
    static const int bands[12][4] = {
        {0, 0, 125, 255},      {200, 180, 220, 172},  {300, 212, 233, 186},  {400, 236, 242, 196},
        {500, 236, 224, 174},  {600, 229, 207, 152},  {800, 218, 185, 141},  {1000, 212, 164, 132},
        {1200, 118, 152, 131}, {1400, 173, 148, 118}, {1800, 138, 122, 93},  {0, 0, 0, 0},
    };
    QByteArray out;
    float height = 0;
    for (int c = 1; c <= 1200; c += q) {
        const float x = float((c + shift * q) / 1200.0 + lon), xd = float(double(x) + q / 1200.0);
        for (int r = 1; r <= 1200; r += q) {
            if (c <= 1199 && r <= 1199)
                height = qFromBigEndian<qint16>(hgt.constData() + 2 * ((1201 - r) * 1201 + c));
            if (holes && height == -32768)
                continue;
            const float y = float(r / 1200.0 + lat), yd = float(double(y) + q / 1200.0);
            int b = 0;
            while (b < 11 && bands[b][0] < height)
                ++b;
            const float rgb[3] = {float(bands[b][1] / 255.0), float(bands[b][2] / 255.0), float(bands[b][3] / 255.0)};
            for (const auto &[vx, vy] : {std::pair{x, y}, {xd, y}, {x, yd}, {x, yd}, {xd, yd}, {xd, y}}) {
                for (float value : {vx, vy, 0.0f, rgb[0], rgb[1], rgb[2]}) {
                    const float le = qToLittleEndian(value);
                    out.append(reinterpret_cast<const char *>(&le), 4);
                }
            }
        }
    }
    return out;
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
