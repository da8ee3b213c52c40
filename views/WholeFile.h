#pragma once

#include "FileFailure.h"

#include <QByteArray>
#include <QString>

#include <limits>

// Map data files are read whole with one raw read and accepted only when the
// bytes read equal the file's size.
namespace WholeFile {

// Lengths are signed 32-bit on the read path: larger files are not read.
constexpr qint64 MaxBytes = std::numeric_limits<int>::max();

// False, leaving bytes empty, when the path is not a regular file, cannot be
// opened, is too large or does not read back exactly its size.
bool read(const QString &path, QByteArray &bytes, FileFailure *failure = nullptr);

} // namespace WholeFile
