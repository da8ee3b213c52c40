#pragma once

#include "FileFailure.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Input files are opened only when they are regular files: opening a fifo
// named like a tile would block for ever, and a device never ends.
namespace RegularFile {

// Opens path read-only into file (unopened on entry). Qt resource paths are
// always regular. On failure returns false and describes it in *failure.
bool open(QFile &file, const QString &path, FileFailure *failure = nullptr);

// Reads a regular file whole, accepting it only when the bytes read equal
// its size and it is at most maxBytes long. The block bytes holds is read
// into when it is its own and large enough. On failure bytes is empty.
bool readAll(const QString &path, qint64 maxBytes, QByteArray &bytes,
             FileFailure *failure = nullptr);

} // namespace RegularFile
