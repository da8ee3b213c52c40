#include "ChgtTileReader.h"

#include "ChgtTile.h"
#include "RegularFile.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace ChgtTileReader {

namespace {

constexpr int FloatsPerVertex = ChgtTile::FloatsPerVertex;
constexpr int FloatsPerTriangle = ChgtTile::FloatsPerTriangle;

} // namespace

bool readRecords(const QString &path, QByteArray &bytes, FileFailure *failure)
{
    return RegularFile::readAll(path, MaxBytes, bytes, failure);
}

float recordField(const char *record, int field)
{
    return qFromLittleEndian<float>(record + 4 * field);
}

float clampUnit(float v)
{
    if (!(v > 0.0f)) // NaN too
        return 0.0f;
    return v < 1.0f ? v : 1.0f;
}

bool hasFiniteCoordinates(const float *t)
{
    for (int v = 0; v < 3; ++v) {
        const float *p = t + v * FloatsPerVertex;
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return false;
    }
    return true;
}

qint64 keepFiniteTriangles(float *floats, qint64 floatCount)
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

bool readTriangles(const QString &path, QByteArray &bytes, FileFailure *failure)
{
    if (!readRecords(path, bytes, failure))
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

} // namespace ChgtTileReader
