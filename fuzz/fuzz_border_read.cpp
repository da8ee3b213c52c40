// Border outline records: bytes -> BorderOutline::mapPoints.
// Exactly one point per whole 24-byte record, each (100·x, 100·y) of its
// record, and nothing read past the end.

#include "BorderOutline.h"
#include "ChgtTile.h"

#include <QByteArray>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void check(const QByteArray &records)
{
    const QVector<QPointF> points = BorderOutline::mapPoints(records);
    const qsizetype count = records.size() / ChgtTile::VertexBytes;
    if (points.size() != count)
        __builtin_trap();
    for (qsizetype i = 0; i < count; ++i) {
        const char *record = records.constData() + i * ChgtTile::VertexBytes;
        quint32 xBits, yBits;
        std::memcpy(&xBits, record, 4);
        std::memcpy(&yBits, record + 4, 4);
        xBits = qFromLittleEndian(xBits);
        yBits = qFromLittleEndian(yBits);
        float x, y;
        std::memcpy(&x, &xBits, 4);
        std::memcpy(&y, &yBits, 4);
        // Same arithmetic, so even NaN payloads must agree bit for bit.
        if (!sameBits(points[i].x(), 100.0 * double(x)) || !sameBits(points[i].y(), 100.0 * double(y)))
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(1) << 24)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data);
    // Over libFuzzer's own buffer, which ends exactly at size: AddressSanitizer
    // stops any read past the last byte (a QByteArray copy would hide it in
    // its spare capacity and terminating zero).
    check(QByteArray::fromRawData(bytes, qsizetype(size)));
    // One byte in, so the records are not aligned for floats.
    if (size > 0)
        check(QByteArray::fromRawData(bytes + 1, qsizetype(size - 1)));
    check(QByteArray(bytes, qsizetype(size)));
    return 0;
}
