#pragma once

// Shared test data and helpers of the map view suites.

#include "ConvertHgt.h"
#include "HgtTileGenerator.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QWheelEvent>
#include <QWidget>
#include <QtEndian>

#include <functional>

namespace QtViewTestData {

// Converts a generated tile N<lat>E<lon> at quantity q; returns the CHGT path or "".
inline QString makeChgt(const QDir &dir, int lat, int lon, int q,
                        const std::function<void(HgtTileGenerator &)> &fill)
{
    HgtTileGenerator tile;
    fill(tile);
    const QString src = dir.filePath(QStringLiteral("N%1E%2.hgt").arg(lat, 2, 10, QLatin1Char('0')).arg(lon, 3, 10, QLatin1Char('0')));
    if (!tile.save(src) || ConvertHgt::convertFile(src, dir, q) != ConvertHgt::Outcome::Converted)
        return {};
    return src.chopped(4) + QStringLiteral(".chgt");
}

inline bool writeFloats(const QString &path, const QVector<float> &floats, const QByteArray &tail = {})
{
    QByteArray bytes(floats.size() * 4, Qt::Uninitialized);
    for (int i = 0; i < floats.size(); ++i)
        qToLittleEndian<float>(floats[i], bytes.data() + 4 * i);
    bytes += tail;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One triangle in degrees; every vertex gets the colour.
inline void addTriangle(QVector<float> &f, double x0, double y0, double x1, double y1,
                        double x2, double y2, float r, float g, float b)
{
    f << float(x0) << float(y0) << 0.0f << r << g << b << float(x1) << float(y1) << 0.0f << r << g << b
      << float(x2) << float(y2) << 0.0f << r << g << b;
}

// Number of pixels whose colour differs (alpha ignored); -1 for other sizes.
inline int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += (a.pixel(x, y) & 0xffffff) != (b.pixel(x, y) & 0xffffff);
    return count;
}

inline bool sameColor(QRgb a, QColor b, int tolerance = 2)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
        && qAbs(qBlue(a) - b.blue()) <= tolerance;
}

inline bool blackNear(const QImage &img, QPoint p, int radius)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (img.rect().contains(p + QPoint(dx, dy)) && sameColor(img.pixel(p + QPoint(dx, dy)), Qt::black, 40))
                return true;
    return false;
}

inline void sendWheel(QWidget *w, int delta)
{
    const QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent event(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

} // namespace QtViewTestData
