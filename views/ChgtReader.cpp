#include "ChgtReader.h"

#include <QDataStream>
#include <QFile>
#include <QtEndian>

#include <cmath>
#include <memory>

namespace {

float clampUnit(float v)
{
    if (!(v > 0.0f)) // NaN too
        return 0.0f;
    return v < 1.0f ? v : 1.0f;
}

} // namespace

QColor ChgtReader::colorOf(float red, float green, float blue)
{
    return QColor::fromRgbF(clampUnit(red), clampUnit(green), clampUnit(blue), 1.0f);
}

void ChgtReader::appendTriangles(const float *f, qint64 floatCount,
                                 QVector<ColoredPolygon> &polygons)
{
    const qint64 triangles = floatCount / FloatsPerTriangle;
    if (triangles <= 0)
        return;
    // Only an empty list is sized up front: reserving on a filled one would
    // copy every element, while appending grows it by moving the block.
    if (polygons.isEmpty())
        polygons.reserve(triangles);
    for (qint64 i = 0; i + FloatsPerTriangle <= floatCount; i += FloatsPerTriangle) {
        ColoredPolygon cp;
        cp.color = colorOf(f[i + 3], f[i + 4], f[i + 5]);
        cp.polygon.reserve(3);
        cp.polygon << QPointF(100.0 * f[i], 100.0 * f[i + 1])
                   << QPointF(100.0 * f[i + 6], 100.0 * f[i + 7])
                   << QPointF(100.0 * f[i + 12], 100.0 * f[i + 13]);
        polygons.append(std::move(cp));
    }
}

bool ChgtReader::appendFile(const QString &path, QVector<ColoredPolygon> &polygons)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    if (size < 0 || size > MaxFileBytes)
        return false;

    // Room for every byte, so an odd tail still fits; only whole floats
    // are used afterwards.
    const qint64 floatCount = size / 4;
    std::unique_ptr<float[]> buffer(new float[(size + 3) / 4 + 1]);
    QDataStream stream(&file);
    const int read = stream.readRawData(reinterpret_cast<char *>(buffer.get()), int(size));
    if (read != size)
        return false;

    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        for (qint64 i = 0; i < floatCount; ++i)
            buffer[i] = qFromLittleEndian(buffer[i]);
    }
    appendTriangles(buffer.get(), floatCount, polygons);
    return true;
}
