#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// A command line from fuzz input: the program name, then the input split at
// NUL bytes, each piece read as UTF-8 as QCoreApplication reads argv.
inline QStringList argumentsFrom(const char *program, const uint8_t *data, size_t size)
{
    QStringList args{QString::fromLatin1(program)};
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0) {
            args << QString::fromUtf8(reinterpret_cast<const char *>(data + start), qsizetype(i - start));
            start = i + 1;
        }
    }
    return args;
}
