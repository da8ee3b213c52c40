#pragma once

#include "FileFailure.h"

#include <QByteArray>
#include <QString>

#include <limits>

// The read side of the CHGT format: tiles (and the border outline, which is
// made of the same vertex records) are read whole with one raw read and
// accepted only when the bytes read equal the file's size.
namespace ChgtTileReader {

// Lengths are signed 32-bit on the read path: larger files are not read.
constexpr qint64 MaxBytes = std::numeric_limits<int>::max();

// The file's bytes as they stand. False, leaving bytes empty, when the path
// is not a regular file, cannot be opened, is too large or does not read
// back exactly its size. The block bytes holds is read into when it is its
// own and large enough.
bool readRecords(const QString &path, QByteArray &bytes, FileFailure *failure = nullptr);

// Reads a tile whole into floats in host byte order, keeping only whole
// triangles whose coordinates are all finite: a damaged triangle must not
// paint over the map. Colour components are clamped to 0..1 (NaN becomes
// 0), so both views fill such a triangle alike.
bool readTriangles(const QString &path, QByteArray &floats, FileFailure *failure = nullptr);

// Field 0..5 (x, y, z, red, green, blue) of a little-endian vertex record.
float recordField(const char *record, int field);

// Moves the usable triangles to the front; returns their float count.
qint64 keepFiniteTriangles(float *floats, qint64 floatCount);
bool hasFiniteCoordinates(const float *triangle);

// A colour component clamped to 0..1; NaN becomes 0.
float clampUnit(float v);

} // namespace ChgtTileReader
