#pragma once

#include "FileFailure.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// A whole regular file, read-only, for as long as the object lives: mapped
// into memory where the system allows it (no copy, so a check over every
// byte runs at memory speed), otherwise read into a buffer of its own.
//
// A mapping shows the file as it is on disk: the conversion replaces a tile
// by renaming a new file over it, which leaves a mapping of the old one
// intact, but a file truncated in place by someone else while mapped makes
// its lost pages unreadable.
class MappedFile
{
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Opens path (only a regular file, at most maxBytes long) and makes its
    // bytes available. On failure holds nothing and describes it in *failure.
    bool open(const QString &path, qint64 maxBytes, FileFailure *failure = nullptr);
    void close();

    const char *data() const { return bytes; }
    qint64 size() const { return length; }
    // Whether the bytes are mapped rather than read into memory.
    bool isMapped() const { return mapped != nullptr; }

private:
    QFile file;
    uchar *mapped = nullptr;
    QByteArray buffer;
    const char *bytes = nullptr;
    qint64 length = 0;
};
