#pragma once

#include <QByteArray>
#include <QPointF>
#include <QVector>

// The compiled-in state border ":/border/cesko.bin": vertex records of six
// little-endian floats (x, y, z, r, g, b), one per outline point.
namespace BorderOutline {

// The whole resource, or an empty array when it cannot be opened or does
// not read whole.
QByteArray readResource();

// Map points (100·x, 100·y) of every whole record; a trailing partial
// record is ignored.
QVector<QPointF> mapPoints(const QByteArray &records);

} // namespace BorderOutline
