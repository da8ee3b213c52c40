#include "BorderOutline.h"

#include <QDataStream>
#include <QFile>
#include <QtEndian>

#include <limits>

// The resource lives in a static library, so its registration has to be
// pulled in by hand; Q_INIT_RESOURCE must be used outside any namespace.
static void initBorderResource()
{
    Q_INIT_RESOURCE(cesko);
}

namespace BorderOutline {

QByteArray readResource()
{
    initBorderResource();

    QFile file(QStringLiteral(":/border/cesko.bin"));
    if (!file.open(QIODevice::ReadOnly))
        return {};

    // readRawData takes an int count.
    const qint64 size = file.size();
    if (size < 0 || size > std::numeric_limits<int>::max())
        return {};

    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    QDataStream in(&file);
    const int read = in.readRawData(bytes.data(), bytes.size());
    if (read != size)
        return {};
    return bytes;
}

QVector<QPointF> mapPoints(const QByteArray &records)
{
    const int count = records.size() / RecordBytes;
    QVector<QPointF> points;
    points.reserve(count);
    const char *data = records.constData();
    for (int i = 0; i < count; ++i) {
        const char *record = data + qsizetype(i) * RecordBytes;
        const float x = qFromLittleEndian<float>(record);
        const float y = qFromLittleEndian<float>(record + 4);
        points.append(QPointF(100.0 * double(x), 100.0 * double(y)));
    }
    return points;
}

} // namespace BorderOutline
