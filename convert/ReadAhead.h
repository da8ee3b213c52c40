#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class QFile;

// Fetches files from the disk ahead of the threads that check them, in the
// order they are taken. Each file is asked of the system in small parts in
// a row, without waiting for any, so the disk has many reads in flight, as
// for a sequential read of the files, instead of the one small read-ahead a
// page fault of a mapping starts. The bytes go to the system's file cache,
// never into this process; the thread stays at most a window of fetched
// bytes ahead of the files taken, so what it fetched is still there when it
// is wanted. Files the cache holds are passed over: a warm open costs no
// more than without it.
class ReadAhead
{
public:
    // Enough to keep a fast disk busy while the files before it are
    // checked; small beside any machine's memory.
    static constexpr qint64 DefaultWindow = qint64(1) << 30;

    explicit ReadAhead(const QStringList &paths, qint64 window = DefaultWindow);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // The files before index have been taken: the window moves past them.
    void taken(int index);
    // How many files have been asked for so far (for tests).
    int filesFetched() const;

    // Asks the system to read the part of an open file into its cache and
    // returns without waiting. False where the system takes no such request:
    // the file is then read when it is used, as without read-ahead.
    static bool requestRead(QFile &file, qint64 offset, qint64 length);
    // Whether an open file seems to be in the system's cache already, by a
    // few of its pages spread over it, without mapping it. False where the
    // system cannot say.
    static bool looksCached(QFile &file);

    // For benchmarks only: when off, nothing is fetched ahead.
    static void setEnabled(bool on);

private:
    void run();

    const QStringList paths;
    const qint64 window;
    mutable std::mutex lock;
    std::condition_variable moved;
    int takenCount = 0;
    int fetched = 0;
    bool stopping = false;
    std::thread thread;
};
