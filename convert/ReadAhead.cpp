#include "ReadAhead.h"

#include "RegularFile.h"

#include <QFile>

#include <atomic>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace {

std::atomic<bool> enabled{true};

// Linux serves a request for more than the file's read-ahead window (as
// little as 128 KiB) only up to that window, so a file is asked for in
// parts no larger.
constexpr qint64 Part = 128 * 1024;

} // namespace

bool ReadAhead::requestRead(QFile &file, qint64 offset, qint64 length)
{
#if defined(Q_OS_UNIX) && defined(POSIX_FADV_WILLNEED)
    return ::posix_fadvise(file.handle(), off_t(offset), off_t(length), POSIX_FADV_WILLNEED) == 0;
#else
    Q_UNUSED(file);
    Q_UNUSED(offset);
    Q_UNUSED(length);
    return false;
#endif
}

bool ReadAhead::looksCached(QFile &file)
{
#if defined(Q_OS_LINUX) && defined(RWF_NOWAIT)
    const qint64 size = file.size();
    if (size <= 0)
        return false;
    // A read told not to wait fails where its page is not in the cache.
    // No mapping: mapping takes the lock that the checking threads' page
    // faults wait on.
    constexpr int Samples = 16;
    for (int i = 0; i < Samples; ++i) {
        char byte = 0;
        iovec part{&byte, 1};
        if (::preadv2(file.handle(), &part, 1, off_t(size * i / Samples), RWF_NOWAIT) != 1)
            return false;
    }
    return true;
#else
    Q_UNUSED(file);
    return false;
#endif
}

void ReadAhead::setEnabled(bool on)
{
    enabled = on;
}

ReadAhead::ReadAhead(const QStringList &files, qint64 windowBytes)
    : paths(files), window(windowBytes)
{
    if (!enabled || paths.isEmpty())
        return;
    thread = std::thread([this] { run(); });
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    moved.notify_all();
    if (thread.joinable())
        thread.join();
}

void ReadAhead::taken(int index)
{
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (index <= takenCount)
            return;
        takenCount = index;
    }
    moved.notify_all();
}

int ReadAhead::filesFetched() const
{
    const std::lock_guard<std::mutex> hold(lock);
    return fetched;
}

void ReadAhead::run()
{
    // Sizes are looked up here, not by the thread that asked: on a cold
    // disk even that can wait for it.
    std::vector<qint64> sizes;
    sizes.reserve(size_t(paths.size()));
    for (int i = 0; i < paths.size(); ++i) {
        // Asking for pages the cache holds costs processor time the
        // checking threads want, for nothing; nor do they take room in the
        // window, so a cached set is passed over at once.
        QFile file;
        const bool fetch = RegularFile::open(file, paths.at(i)) && !looksCached(file);
        sizes.push_back(fetch ? file.size() : 0);
        {
            // The files after those taken, up to the window; the first of
            // them always, however large.
            std::unique_lock<std::mutex> hold(lock);
            moved.wait(hold, [&] {
                if (stopping || i <= takenCount)
                    return true;
                qint64 ahead = 0;
                for (int k = takenCount; k <= i; ++k)
                    ahead += sizes[size_t(k)];
                return ahead <= window;
            });
            if (stopping)
                return;
            fetched = i + 1;
        }
        if (!fetch)
            continue;
        const qint64 size = sizes[size_t(i)];
        for (qint64 offset = 0; offset < size; offset += Part) {
            if (!requestRead(file, offset, Part))
                break;
            // A stop is not kept waiting for the rest of a large file.
            if ((offset / Part) % 64 == 63) {
                const std::lock_guard<std::mutex> hold(lock);
                if (stopping)
                    return;
            }
        }
    }
}
