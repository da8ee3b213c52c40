#include "ChgtTileWriter.h"

#include "PoolTask.h"
#include "TileMeshBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>

#include <cerrno>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#endif

namespace {

QByteArray randomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray s(6, Qt::Uninitialized);
    for (char &c : s)
        c = letters[QRandomGenerator::global()->bounded(62)];
    return '.' + s;
}

// A new file that nobody else has made; -1 with errno on failure.
int openNew(const QByteArray &name)
{
#ifdef Q_OS_UNIX
    int fd;
    do
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
#else
    return ::_open(name.constData(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#endif
}

#ifdef Q_OS_UNIX

// Gives the unnamed file a name in its directory; -1 with errno on failure.
int linkUnnamed(int fd, const QByteArray &name)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
#ifdef AT_EMPTY_PATH
    if (errno == ENOENT && ::linkat(fd, "", AT_FDCWD, name.constData(), AT_EMPTY_PATH) == 0)
        return 0;
#endif
    return -1;
}
#endif

} // namespace

ChgtTileWriter::ChgtTileWriter(const QString &path)
    : path(path)
{
}

ChgtTileWriter::~ChgtTileWriter()
{
    if (!committed)
        discard();
}

bool ChgtTileWriter::isTemporaryOf(const QString &fileName, const QString &tileName)
{
    static const QRegularExpression suffix(QStringLiteral("^\\.[A-Za-z0-9]{6}$"));
    return fileName.size() == tileName.size() + 7 && fileName.startsWith(tileName)
           && suffix.match(QStringView(fileName).mid(tileName.size())).hasMatch();
}

bool ChgtTileWriter::fail(const FileFailure &why)
{
    if (!problem.isFailure())
        problem = why;
    return false;
}

bool ChgtTileWriter::open()
{
    if (fd >= 0 || problem.isFailure())
        return false;
    if (!checkTarget())
        return false;
    removeLeftovers();
    return createTemporary();
}

// A tile the user protected is not replaced: a direct write would have
// failed on it, and renaming over it would also drop its permissions.
bool ChgtTileWriter::checkTarget()
{
    const QByteArray target = QFile::encodeName(path);
#ifdef Q_OS_UNIX
    struct stat st = {};
    if (::stat(target.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? true : fail(FileFailure::system(errno));
    if (S_ISDIR(st.st_mode))
        return fail(FileFailure::system(EISDIR));
    if ((st.st_mode & 0222) == 0 || ::access(target.constData(), W_OK) != 0)
        return fail(FileFailure::of(FileFailure::ReadOnlyTarget));
    keptMode = int(st.st_mode & 07777);
#else
    const QFileInfo info(path);
    if (info.isDir())
        return fail(FileFailure::system(EISDIR));
    if (info.exists() && !info.isWritable())
        return fail(FileFailure::of(FileFailure::ReadOnlyTarget));
#endif
    return true;
}

// Leftovers of a run that was killed on a system without unnamed files.
void ChgtTileWriter::removeLeftovers() const
{
    const QFileInfo tile(path);
    const QDir dir = tile.dir();
    const QString name = tile.fileName();
    const QStringList candidates =
        dir.entryList({name + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &candidate : candidates) {
        if (isTemporaryOf(candidate, name))
            QFile::remove(dir.filePath(candidate));
    }
}

bool ChgtTileWriter::createTemporary()
{
    const QByteArray target = QFile::encodeName(path);
#if defined(Q_OS_UNIX) && defined(O_TMPFILE)
    const QByteArray dir = QFile::encodeName(QFileInfo(path).path());
    do
        fd = ::open(dir.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd >= 0)
        return true;
    // Older kernels and some file systems have no unnamed files.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return fail(FileFailure::system(errno));
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = target + randomSuffix();
        fd = openNew(name);
        if (fd >= 0) {
            temporaryPath = name;
            return true;
        }
        if (errno != EEXIST)
            return fail(FileFailure::system(errno));
    }
    return fail(FileFailure::system(EEXIST));
}

bool ChgtTileWriter::writeBytes(const char *bytes, qint64 size)
{
    while (size > 0) {
        const unsigned int chunk = unsigned(qMin<qint64>(size, 1 << 30));
#ifdef Q_OS_UNIX
        const ssize_t written = ::write(fd, bytes, chunk);
#else
        const int written = ::_write(fd, bytes, chunk);
#endif
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return fail(FileFailure::system(errno));
        if (written == 0)
            return fail(FileFailure::system(ENOSPC));
        bytes += written;
        size -= written;
    }
    return true;
}

bool ChgtTileWriter::write(const float *floats, qint64 count)
{
    if (fd < 0 || problem.isFailure())
        return false;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        return writeBytes(reinterpret_cast<const char *>(floats), count * 4);
    } else {
        // The format is little-endian whatever the host is.
        constexpr qint64 Chunk = 1 << 16;
        std::vector<float> swapped(Chunk);
        for (qint64 done = 0; done < count; done += Chunk) {
            const qint64 n = qMin(Chunk, count - done);
            qToLittleEndian<float>(floats + done, n, swapped.data());
            if (!writeBytes(reinterpret_cast<const char *>(swapped.data()), n * 4))
                return false;
        }
        return true;
    }
}

bool ChgtTileWriter::writeMesh(const TileMeshBuilder &builder)
{
    // Batches small enough to stay in the cache between building and writing.
    constexpr qint64 BatchBytes = 1024 * 1024;
    constexpr int Slots = 3;
    const qint64 perColumn = builder.floatsPerColumn();
    const int columns = builder.columnCount();
    const int batch = int(qBound(qint64(1), BatchBytes / (perColumn * 4), qint64(columns)));
    const int batches = (columns + batch - 1) / batch;
    const auto columnsOf = [&](int b) { return qMin(batch, columns - b * batch); };

    std::vector<float> buffers[Slots];
    for (std::vector<float> &buffer : buffers)
        buffer.resize(size_t(perColumn * batch));

    if (batches == 1)
        return write(buffers[0].data(), builder.buildColumns(buffers[0].data(), 0, columns));

    // Batches are short, independent pieces: pool tasks, built while the
    // batches before them are written; a slot takes the next batch once its
    // own is written. Should no pool thread be free, this thread builds.
    // A batch with holes is shorter: each slot keeps the floats it holds.
    // Declared before the tasks, which are waited for when they go.
    qint64 built[Slots] = {};
    std::vector<PoolTask<void>> building(Slots);
    const auto startBuilding = [&](int b) {
        float *slot = buffers[b % Slots].data();
        qint64 *count = &built[b % Slots];
        const int first = b * batch;
        const int end = first + columnsOf(b);
        building[size_t(b % Slots)] = PoolTask<void>(
            [&builder, slot, count, first, end] { *count = builder.buildColumns(slot, first, end); });
    };
    for (int b = 0; b < qMin(Slots, batches); ++b)
        startBuilding(b);
    bool ok = true;
    for (int b = 0; b < batches && ok; ++b) {
        building[size_t(b % Slots)].wait();
        ok = write(buffers[b % Slots].data(), built[b % Slots]);
        if (ok && b + Slots < batches)
            startBuilding(b + Slots);
    }
    // After a failed write, batches under way are waited for as building goes.
    return ok;
}

bool ChgtTileWriter::commit()
{
    if (fd < 0 || problem.isFailure())
        return false;
    if (!publish()) {
        discard();
        return false;
    }
    committed = true;
    return true;
}

bool ChgtTileWriter::publish()
{
    const QByteArray target = QFile::encodeName(path);
#ifdef Q_OS_UNIX
    if (keptMode >= 0 && ::fchmod(fd, mode_t(keptMode)) != 0)
        return fail(FileFailure::system(errno));
    if (temporaryPath.isEmpty()) {
        for (int attempt = 0; attempt < 100 && temporaryPath.isEmpty(); ++attempt) {
            const QByteArray name = target + randomSuffix();
            if (linkUnnamed(fd, name) == 0)
                temporaryPath = name;
            else if (errno != EEXIST)
                return fail(FileFailure::system(errno));
        }
        if (temporaryPath.isEmpty())
            return fail(FileFailure::system(EEXIST));
    }
    // Some file systems report a failed write only when the file is closed.
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0 && errno != EINTR)
        return fail(FileFailure::system(errno));
    if (::rename(temporaryPath.constData(), target.constData()) != 0)
        return fail(FileFailure::system(errno));
    temporaryPath.clear();
    return true;
#else
    const int closing = fd;
    fd = -1;
    if (::_close(closing) != 0)
        return fail(FileFailure::system(errno));
    std::error_code error;
    std::filesystem::rename(QFileInfo(QFile::decodeName(temporaryPath)).filesystemFilePath(),
                            QFileInfo(path).filesystemFilePath(), error);
    if (error)
        return fail(FileFailure{FileFailure::System, error.value(),
                                QString::fromStdString(error.message())});
    temporaryPath.clear();
    return true;
#endif
}

void ChgtTileWriter::discard()
{
    if (fd >= 0) {
#ifdef Q_OS_UNIX
        ::close(fd);
#else
        ::_close(fd);
#endif
        fd = -1;
    }
    if (!temporaryPath.isEmpty()) {
        QFile::remove(QFile::decodeName(temporaryPath));
        temporaryPath.clear();
    }
}
