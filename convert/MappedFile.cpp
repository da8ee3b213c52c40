#include "MappedFile.h"

#include "RegularFile.h"

#include <QDataStream>

#include <limits>
#include <new>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

MappedFile::~MappedFile()
{
    close();
}

bool MappedFile::open(const QString &path, qint64 maxBytes, FileFailure *failure)
{
    close();
    if (failure)
        *failure = FileFailure();
    if (!RegularFile::open(file, path, failure))
        return false;
    const qint64 size = file.size();
    if (size > maxBytes) {
        file.close();
        if (failure)
            *failure = FileFailure::of(FileFailure::TooLarge);
        return false;
    }
    if (size == 0) {
        file.close();
        return true;
    }
    mapped = file.map(0, size);
    if (mapped) {
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_READ)
        // One call enters every page that is in the page cache into the
        // mapping, instead of a fault per few pages while it is read.
        if (::madvise(mapped, size_t(size), MADV_POPULATE_READ) != 0)
            ::madvise(mapped, size_t(size), MADV_SEQUENTIAL);
#endif
        bytes = reinterpret_cast<const char *>(mapped);
        length = size;
        return true;
    }
    // Not mappable (a resource, a file system without mappings): read it.
    file.close();
    if (!RegularFile::readAll(path, maxBytes, buffer, failure))
        return false;
    bytes = buffer.constData();
    length = buffer.size();
    return true;
}

void MappedFile::close()
{
    if (mapped)
        file.unmap(mapped);
    mapped = nullptr;
    file.close();
    buffer = QByteArray();
    bytes = nullptr;
    length = 0;
}
