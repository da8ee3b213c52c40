#include "BorderOutline.h"

#include "ChgtTile.h"
#include "ChgtTileReader.h"

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

    QByteArray bytes;
    ChgtTileReader::readRecords(QStringLiteral(":/border/cesko.bin"), bytes);
    return bytes;
}

QVector<QPointF> mapPoints(const QByteArray &records)
{
    const int count = records.size() / ChgtTile::VertexBytes;
    QVector<QPointF> points;
    points.reserve(count);
    const char *data = records.constData();
    for (int i = 0; i < count; ++i) {
        const char *record = data + qsizetype(i) * ChgtTile::VertexBytes;
        const float x = ChgtTileReader::recordField(record, 0);
        const float y = ChgtTileReader::recordField(record, 1);
        points.append(QPointF(100.0 * double(x), 100.0 * double(y)));
    }
    return points;
}

} // namespace BorderOutline
