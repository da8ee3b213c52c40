#pragma once

// Small CHGT files written by hand for the tests of every layer.

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QPointF>
#include <QString>
#include <QVector>

namespace TestTiles {

// One triangle in degrees; every vertex gets the colour.
inline void addTriangle(QVector<float> &f, double x0, double y0, double x1, double y1, double x2, double y2,
                        QColor c)
{
    for (const QPointF &p : {QPointF(x0, y0), QPointF(x1, y1), QPointF(x2, y2)})
        f << float(p.x()) << float(p.y()) << 0.0f << float(c.redF()) << float(c.greenF()) << float(c.blueF());
}

// CHGT bytes of the floats (the host is little-endian, as the format).
inline bool writeFloats(const QString &path, const QVector<float> &floats, const QByteArray &tail = {})
{
    const QByteArray bytes = QByteArray(reinterpret_cast<const char *>(floats.data()), floats.size() * 4) + tail;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace TestTiles
