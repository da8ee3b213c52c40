#include "ChgtTile.h"

#include <QIODevice>
#include <QtEndian>

#include <vector>

QString ChgtTile::fileName(int lat, int lon)
{
    return QStringLiteral("N%1E%2.chgt")
        .arg(lat, 2, 10, QLatin1Char('0'))
        .arg(lon, 3, 10, QLatin1Char('0'));
}

bool ChgtTile::writeFloats(QIODevice *device, const float *floats, qint64 count)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const char *bytes = reinterpret_cast<const char *>(floats);
    qint64 left = count * 4;
    while (left > 0) {
        const qint64 written = device->write(bytes, left);
        if (written <= 0)
            return false;
        bytes += written;
        left -= written;
    }
    return true;
#else
    // The format is little-endian whatever the host is.
    constexpr qint64 Chunk = 1 << 16;
    std::vector<float> swapped(Chunk);
    for (qint64 done = 0; done < count; done += Chunk) {
        const qint64 n = qMin(Chunk, count - done);
        qToLittleEndian<float>(floats + done, n, swapped.data());
        if (device->write(reinterpret_cast<const char *>(swapped.data()), n * 4) != n * 4)
            return false;
    }
    return true;
#endif
}
