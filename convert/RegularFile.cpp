#include "RegularFile.h"

#include <QDataStream>
#include <QFileInfo>

#include <cerrno>
#include <limits>
#include <utility>
#include <new>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

void report(FileFailure *failure, const FileFailure &what)
{
    if (failure)
        *failure = what;
}

// Opens without blocking and checks the opened file itself, so a fifo put
// in place after a check cannot hang the reader.
bool openNative(QFile &file, const QString &path, FileFailure *failure)
{
#ifdef Q_OS_UNIX
    int fd;
    do
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        report(failure, FileFailure::system(errno));
        return false;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        report(failure, FileFailure::system(error));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        report(failure, FileFailure::of(FileFailure::NotRegularFile));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        report(failure, FileFailure{FileFailure::System, 0, file.errorString()});
        return false;
    }
    return true;
#else
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        report(failure, FileFailure::of(FileFailure::NotRegularFile));
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report(failure, FileFailure{FileFailure::System, 0, file.errorString()});
        return false;
    }
    return true;
#endif
}

// What changes when a file is truncated or written: compared before and
// after a read, it tells a read that raced with a change. Such a read can
// return the zeros a truncation leaves in the page it cut, at full length.
struct Stamp
{
    qint64 size = -1;
    qint64 changeNs = -1;
    qint64 modifyNs = -1;
    bool operator==(const Stamp &o) const
    {
        return size == o.size && changeNs == o.changeNs && modifyNs == o.modifyNs;
    }
};

Stamp stampOf(QFile &file)
{
    Stamp stamp;
#ifdef Q_OS_UNIX
    struct stat st = {};
    if (file.handle() >= 0 && ::fstat(file.handle(), &st) == 0) {
        stamp.size = qint64(st.st_size);
        stamp.changeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        stamp.modifyNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return stamp;
    }
#endif
    stamp.size = file.size();
    stamp.changeNs = file.fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch();
    stamp.modifyNs = file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
    return stamp;
}

} // namespace

namespace RegularFile {

bool open(QFile &file, const QString &path, FileFailure *failure)
{
    report(failure, FileFailure());
    if (!QFileInfo(path).isNativePath()) {
        file.setFileName(path);
        if (file.open(QIODevice::ReadOnly))
            return true;
        report(failure, FileFailure{FileFailure::System, ENOENT, {}});
        return false;
    }
    return openNative(file, path, failure);
}

bool readAll(const QString &path, qint64 maxBytes, QByteArray &bytes, FileFailure *failure)
{
    // A block of bytes' own that is large enough is read into again: fresh
    // pages cost the kernel more than the read itself.
    QByteArray data = std::exchange(bytes, QByteArray());
    if (!data.isDetached())
        data = QByteArray();
    data.resize(0);
    QFile file;
    if (!open(file, path, failure))
        return false;
    const Stamp before = stampOf(file);
    const qint64 size = before.size;
    if (size > maxBytes || size > std::numeric_limits<int>::max()) {
        report(failure, FileFailure::of(FileFailure::TooLarge));
        return false;
    }
    try {
        if (data.capacity() >= size)
            data.resize(qsizetype(size));
        else
            data = QByteArray(qsizetype(size), Qt::Uninitialized);
    } catch (const std::bad_alloc &) {
        report(failure, FileFailure::of(FileFailure::OutOfMemory));
        return false;
    }
    // One raw read of the whole size, as the formats are plain dumps.
    QDataStream in(&file);
    if (in.readRawData(data.data(), int(size)) != size) {
        report(failure, file.error() == QFileDevice::NoError
                            ? FileFailure::of(FileFailure::ShortRead)
                            : FileFailure{FileFailure::System, 0, file.errorString()});
        return false;
    }
    if (!(stampOf(file) == before)) {
        report(failure, FileFailure::of(FileFailure::ShortRead));
        return false;
    }
    bytes = std::move(data);
    return true;
}

} // namespace RegularFile
