#include "HgtArchive.h"

#include "HgtTile.h"
#include "RegularFile.h"

#include <QFile>

#include <zip.h>

#include <new>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <io.h>
#endif

namespace {

FileFailure damaged(zip_error_t *error)
{
    const QString text = QString::fromUtf8(zip_error_strerror(error));
    if (zip_error_code_system(error) != 0 && zip_error_system_type(error) == ZIP_ET_SYS)
        return FileFailure::system(zip_error_code_system(error));
    return FileFailure{FileFailure::DamagedArchive, zip_error_code_zip(error), text};
}

int duplicate(int fd)
{
#ifdef Q_OS_UNIX
    return ::dup(fd);
#else
    return ::_dup(fd);
#endif
}

void closeHandle(int fd)
{
#ifdef Q_OS_UNIX
    ::close(fd);
#else
    ::_close(fd);
#endif
}

} // namespace

HgtArchive::HgtArchive(const QString &path)
    : path(path)
{
}

HgtArchive::~HgtArchive()
{
    if (archive)
        zip_discard(archive);
}

bool HgtArchive::isArchivePath(const QString &path)
{
    return path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

bool HgtArchive::open(FileFailure *failure)
{
    // Opened as a regular file first: libzip would block on a fifo.
    QFile file;
    if (!RegularFile::open(file, path, failure))
        return false;
    const int fd = duplicate(file.handle());
    if (fd < 0) {
        *failure = FileFailure::system(errno);
        return false;
    }
    int code = 0;
    archive = zip_fdopen(fd, ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) {
        closeHandle(fd);
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        *failure = damaged(&error);
        zip_error_fini(&error);
        return false;
    }
    return true;
}

QVector<HgtArchive::Member> HgtArchive::tiles() const
{
    QVector<Member> members;
    if (!archive)
        return members;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            continue;
        const QString name = QString::fromUtf8(st.name);
        const QString base = name.section(QLatin1Char('/'), -1);
        int lat = 0;
        int lon = 0;
        if (!base.endsWith(QLatin1String(".hgt")) || !HgtTile::parseCorner(base, &lat, &lon))
            continue;
        const qint64 size = (st.valid & ZIP_STAT_SIZE) && st.size <= zip_uint64_t(HgtTile::FineFileSize)
                                ? qint64(st.size)
                                : -1;
        members.append(Member{name, zip_uint64_t(i), size, lat, lon});
    }
    return members;
}

bool HgtArchive::read(const Member &member, QByteArray &bytes, FileFailure *failure)
{
    bytes.clear();
    if (!archive || !HgtTile::isTileSize(member.declaredSize)) {
        *failure = FileFailure::of(FileFailure::SizeMismatch);
        return false;
    }
    zip_file_t *file = zip_fopen_index(archive, member.index, 0);
    if (!file) {
        *failure = damaged(zip_get_error(archive));
        return false;
    }
    QByteArray data;
    try {
        // One byte more than declared shows data that inflate past it.
        data = QByteArray(qsizetype(member.declaredSize) + 1, Qt::Uninitialized);
    } catch (const std::bad_alloc &) {
        zip_fclose(file);
        *failure = FileFailure::of(FileFailure::OutOfMemory);
        return false;
    }
    qint64 got = 0;
    bool ok = true;
    while (got < data.size()) {
        const zip_int64_t n = zip_fread(file, data.data() + got, zip_uint64_t(data.size() - got));
        if (n < 0) {
            *failure = damaged(zip_file_get_error(file));
            ok = false;
            break;
        }
        if (n == 0)
            break;
        got += n;
    }
    const int closing = zip_fclose(file);
    if (!ok)
        return false;
    if (got != member.declaredSize) {
        *failure = FileFailure::of(FileFailure::SizeMismatch);
        return false;
    }
    if (closing != 0) {
        zip_error_t error;
        zip_error_init_with_code(&error, closing);
        *failure = damaged(&error);
        zip_error_fini(&error);
        return false;
    }
    data.truncate(qsizetype(got));
    bytes = std::move(data);
    return true;
}
