#include "ChgtReader.h"

#include "WholeFile.h"

#include <QtEndian>

#include <cmath>

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
    QByteArray bytes;
    if (!WholeFile::read(path, bytes))
        return false;
    // Only whole floats are used; QByteArray's block is aligned for them.
    const qint64 floatCount = bytes.size() / qint64(sizeof(float));
    float *floats = reinterpret_cast<float *>(bytes.data());
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        for (qint64 i = 0; i < floatCount; ++i)
            floats[i] = qFromLittleEndian(floats[i]);
    }
    appendTriangles(floats, floatCount, polygons);
    return true;
}
