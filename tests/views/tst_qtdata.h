#pragma once

// Test data for the painter view suites: CHGT tiles made from generated HGT
// tiles through the real converter, and small hand-made vertex files.

#include "ConvertHgt.h"
#include "HgtTileGenerator.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QVector>
#include <QtEndian>

#include <functional>

namespace QtViewTestData {

inline QString hgtName(int lat, int lon)
{
    return QStringLiteral("N%1E%2.hgt").arg(lat, 2, 10, QLatin1Char('0')).arg(lon, 3, 10, QLatin1Char('0'));
}

// Converts a generated tile at quantity q; returns the CHGT path or "".
inline QString makeChgt(const QDir &dir, int lat, int lon, int q,
                        const std::function<void(HgtTileGenerator &)> &fill)
{
    HgtTileGenerator tile;
    fill(tile);
    const QString src = dir.filePath(hgtName(lat, lon));
    if (!tile.save(src))
        return {};
    if (ConvertHgt::convertFile(src, dir, q) != ConvertHgt::Outcome::Converted)
        return {};
    QString chgt = src;
    chgt.chop(4);
    return chgt + QStringLiteral(".chgt");
}

// Writes floats as little-endian bytes, plus optional extra raw bytes.
inline bool writeFloats(const QString &path, const QVector<float> &floats,
                        const QByteArray &tail = {})
{
    QByteArray bytes(floats.size() * 4, Qt::Uninitialized);
    for (int i = 0; i < floats.size(); ++i)
        qToLittleEndian<float>(floats[i], bytes.data() + 4 * i);
    bytes += tail;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QVector<float> readFloats(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QVector<float> floats(bytes.size() / 4);
    for (int i = 0; i < floats.size(); ++i)
        floats[i] = qFromLittleEndian<float>(bytes.constData() + 4 * i);
    return floats;
}

// One triangle: three (x, y) in degrees, the first vertex's colour.
inline void addTriangle(QVector<float> &f, double x0, double y0, double x1, double y1,
                        double x2, double y2, float r, float g, float b)
{
    const double xs[3] = {x0, x1, x2};
    const double ys[3] = {y0, y1, y2};
    for (int v = 0; v < 3; ++v)
        f << float(xs[v]) << float(ys[v]) << 0.0f << r << g << b;
}

// Number of differing pixels (colour only; alpha is ignored).
inline int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            count += (p[col] & 0xffffff) != (q[col] & 0xffffff);
    }
    return count;
}

} // namespace QtViewTestData
