#include "ChgtReader.h"

#include "WholeFile.h"

#include <QtConcurrent/QtConcurrentMap>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr int FloatsPerVertex = ChgtTile::FloatsPerVertex;
constexpr int FloatsPerTriangle = ChgtTile::FloatsPerTriangle;

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

bool ChgtReader::hasFiniteCoordinates(const float *t)
{
    for (int v = 0; v < 3; ++v) {
        const float *p = t + v * FloatsPerVertex;
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return false;
    }
    return true;
}

qint64 ChgtReader::keepFiniteTriangles(float *floats, qint64 floatCount)
{
    qint64 kept = 0;
    for (qint64 i = 0; i + FloatsPerTriangle <= floatCount; i += FloatsPerTriangle) {
        if (!hasFiniteCoordinates(floats + i))
            continue;
        if (kept != i)
            std::memmove(floats + kept, floats + i, FloatsPerTriangle * sizeof(float));
        kept += FloatsPerTriangle;
    }
    return kept;
}

bool ChgtReader::readTriangles(const QString &path, QByteArray &bytes, FileFailure *failure)
{
    if (!WholeFile::read(path, bytes, failure))
        return false;
    // QByteArray's block is aligned for floats.
    float *floats = reinterpret_cast<float *>(bytes.data());
    const qint64 count = bytes.size() / qint64(sizeof(float));
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        for (qint64 i = 0; i < count; ++i)
            floats[i] = qFromLittleEndian(floats[i]);
    }
    const qint64 kept = keepFiniteTriangles(floats, count);
    for (qint64 v = 0; v < kept; v += FloatsPerVertex) {
        for (int c = 3; c < 6; ++c)
            floats[v + c] = clampUnit(floats[v + c]);
    }
    bytes.truncate(qsizetype(kept * qint64(sizeof(float))));
    return true;
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
        if (!hasFiniteCoordinates(f + i))
            continue;
        ColoredPolygon cp;
        cp.color = colorOf(f[i + 3], f[i + 4], f[i + 5]);
        cp.polygon.reserve(3);
        cp.polygon << QPointF(100.0 * f[i], 100.0 * f[i + 1])
                   << QPointF(100.0 * f[i + 6], 100.0 * f[i + 7])
                   << QPointF(100.0 * f[i + 12], 100.0 * f[i + 13]);
        polygons.append(std::move(cp));
    }
}

bool ChgtReader::appendFile(const QString &path, QVector<ColoredPolygon> &polygons,
                            FileFailure *failure)
{
    QByteArray bytes;
    if (!readTriangles(path, bytes, failure))
        return false;
    const qsizetype before = polygons.size();
    try {
        appendTriangles(reinterpret_cast<const float *>(bytes.constData()),
                        bytes.size() / qint64(sizeof(float)), polygons);
    } catch (const std::bad_alloc &) {
        // A tile too large for memory is left out whole; the map carries on.
        polygons.resize(before);
        try {
            polygons.squeeze();
        } catch (const std::bad_alloc &) {
        }
        if (failure)
            *failure = FileFailure::of(FileFailure::OutOfMemory);
        return false;
    }
    return true;
}

QVector<ChgtReader::FileTriangles> ChgtReader::readFiles(const QStringList &paths)
{
    // Building polygons costs more than reading, and files are independent.
    return QtConcurrent::blockingMapped<QVector<FileTriangles>>(paths, [](const QString &path) {
        FileTriangles file;
        file.ok = appendFile(path, file.polygons, &file.failure);
        return file;
    });
}

int ChgtReader::appendAll(QVector<FileTriangles> &files, QVector<ColoredPolygon> &polygons)
{
    int read = 0;
    for (FileTriangles &file : files) {
        if (!file.ok)
            continue;
        ++read;
        try {
            if (polygons.isEmpty())
                polygons = std::move(file.polygons);
            else
                polygons.append(std::move(file.polygons));
        } catch (const std::bad_alloc &) {
            // No room to join it to the others: left out like an unreadable file.
            file.ok = false;
            file.failure = FileFailure::of(FileFailure::OutOfMemory);
            --read;
        }
        file.polygons = QVector<ColoredPolygon>();
    }
    return read;
}
