#include "MappedFile.h"
#include "PoolTask.h"
#include "ReadAhead.h"
#include "TestRegistry.h"
#include "Waits.h"

#include <QtTest>

#include <atomic>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

constexpr qint64 MiB = 1 << 20;

// Real blocks on the disk, not a hole the cache can make up.
static QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
                    && fsync(file.handle()) == 0;
    return ok ? file.fileName() : QString();
}

// Share of the file's pages in the system's cache, after dropping them
// first when asked; -1 where that cannot be told.
static double cachedShare(const QString &path, bool dropFirst)
{
    QFile file(path);
    uchar *map = file.open(QIODevice::ReadOnly) ? file.map(0, file.size()) : nullptr;
    if (!map)
        return -1;
    if (dropFirst)
        posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED);
    const long page = sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> in(size_t((file.size() + page - 1) / page));
    const bool told = mincore(map, size_t(file.size()), in.data()) == 0;
    return told ? double(std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; })) / in.size() : -1;
}

// Files mapped whole, fetched ahead into the system's cache, and the short
// pool tasks that read them.
class ReadingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray bytes;

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 100000; ++i)
            bytes += char(i * 7 + i / 251);
        QVERIFY(!writeFile(dir, "data.bin", bytes).isEmpty() && !writeFile(dir, "empty.bin", {}).isEmpty());
        QVERIFY(QDir(dir.path()).mkpath("sub"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    }

    void mapped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<int>("failure"); // FileFailure::Kind; None: opened
        QTest::newRow("exactly the limit") << "data.bin" << qint64(100000) << int(FileFailure::None);
        QTest::newRow("over the limit") << "data.bin" << qint64(99999) << int(FileFailure::TooLarge);
        QTest::newRow("empty file") << "empty.bin" << qint64(100) << int(FileFailure::None);
        QTest::newRow("missing") << "missing.bin" << qint64(100) << int(FileFailure::System);
        QTest::newRow("directory") << "sub" << qint64(100) << int(FileFailure::NotRegularFile);
        QTest::newRow("fifo") << "fifo" << qint64(100) << int(FileFailure::NotRegularFile);
    }

    // Exactly the file's bytes, or nothing and the reason.
    void mapped()
    {
        QFETCH(QString, name);
        QFETCH(qint64, maxBytes);
        QFETCH(int, failure);
        MappedFile file;
        FileFailure why;
        QCOMPARE(file.open(dir.filePath(name), maxBytes, &why), failure == FileFailure::None);
        QCOMPARE(int(why.kind), failure);
        const QByteArray expected = name == "data.bin" && failure == FileFailure::None ? bytes : QByteArray();
        QVERIFY(QByteArray::fromRawData(file.data(), file.size()) == expected);
        QCOMPARE(file.isMapped(), !expected.isEmpty());
        file.close();
        QVERIFY(file.size() == 0 && file.data() == nullptr);
    }

    // Files are fetched in the order they will be taken, never more than a
    // window of bytes beyond the files taken, but always the next one; into
    // the system's cache before anyone reads them, not into this process; a
    // fifo among the files is passed over, never opened (which would block
    // for ever).
    void readAhead()
    {
        QStringList paths;
        for (int i = 0; i < 5; ++i)
            paths << writeFile(dir, QStringLiteral("f%1.bin").arg(i), QByteArray(MiB, 'x'));
        QVERIFY(!paths.contains(QString()));
        const auto dropped = [&paths] {
            return std::all_of(paths.begin(), paths.end(), [](const QString &p) { return cachedShare(p, true) <= 0.05; });
        };
        if (!dropped())
            QSKIP("the system keeps the files cached: nothing to fetch");
        // Fetched after taking 0, 1, 2 and all files: two files wide, half a
        // file wide; files already cached take no room in the window.
        for (const auto &[window, cached, fetched] :
             {std::tuple{2 * MiB, false, QList<int>{2, 3, 4, 5}}, {MiB / 2, false, {1, 2, 3, 5}}, {MiB / 2, true, {5, 5, 5, 5}}}) {
            QVERIFY(dropped());
            for (const QString &p : paths) {
                QFile file(p);
                QVERIFY(!cached || (file.open(QIODevice::ReadOnly) && file.readAll().size() == MiB));
            }
            ReadAhead ahead(paths, window);
            for (int taken : {0, 1, 2, 5}) {
                ahead.taken(taken);
                QTRY_COMPARE_WITH_TIMEOUT(ahead.filesFetched(), fetched[qMin(taken, 3)], Waits::Event);
            }
        }

        const QString path = writeFile(dir, "big.bin", QByteArray(8 * MiB, 'x'));
        if (cachedShare(path, true) > 0.05)
            QSKIP("the system keeps the file cached: nothing to fetch");
        // Its first half cached (read by someone): a file cached whole is
        // passed over, this one is not.
        QFile big(path);
        QVERIFY(big.open(QIODevice::ReadOnly));
        posix_fadvise(big.handle(), 0, 0, POSIX_FADV_RANDOM); // none of the system's own read-ahead
        QVERIFY(big.read(4 * MiB).size() == 4 * MiB);
        QVERIFY(!ReadAhead::looksCached(big));
        {
            ReadAhead ahead({dir.filePath("fifo"), path});
            QTRY_COMPARE_WITH_TIMEOUT(ahead.filesFetched(), 2, Waits::Event);
            QTRY_COMPARE_WITH_TIMEOUT(cachedShare(path, false), 1.0, Waits::Event);
        }
        QVERIFY(ReadAhead::looksCached(big));
        // Off, as a benchmark turns it: nothing is fetched.
        QVERIFY(cachedShare(path, true) <= 0.05);
        ReadAhead::setEnabled(false);
        {
            ReadAhead ahead({path});
            QCOMPARE(ahead.filesFetched(), 0);
        }
        ReadAhead::setEnabled(true);
        QVERIFY(cachedShare(path, false) <= 0.05);
    }

    // Work not begun by a full pool is done by the waiter instead of
    // waiting for a free thread, and only once; each of many tasks runs
    // exactly once with its own result; a task dropped without being taken
    // is still waited for.
    void poolTasks()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(1);
        QSemaphore hold, started;
        // Should the waiter wait for the pool, the blocker lets it go late
        // and the test fails instead of hanging.
        PoolTask<void> blocker([&] {
            started.release();
            hold.tryAcquire(1, 10000);
        }, &pool);
        QVERIFY(started.tryAcquire(1, 30000));
        std::atomic<int> ran{0};
        QThread *ranOn = nullptr;
        PoolTask<int> queued([&] {
            ++ran;
            ranOn = QThread::currentThread();
            return 42;
        }, &pool);
        QCOMPARE(queued.take(), 42);
        QCOMPARE(ranOn, QThread::currentThread());
        QVERIFY(!queued.isValid());
        hold.release();
        pool.waitForDone();
        QCOMPARE(ran.load(), 1);

        std::vector<std::atomic<int>> runs(200);
        {
            std::vector<PoolTask<int>> tasks;
            for (int i = 0; i < 200; ++i)
                tasks.emplace_back([&runs, i] { return ++runs[size_t(i)] * i * i; });
            for (int i = 0; i < 200; i += 2)
                QCOMPARE(tasks[size_t(i)].take(), i * i);
        }
        for (int i = 0; i < 200; ++i)
            QCOMPARE(runs[size_t(i)].load(), 1);
    }
};

RZ_REGISTER_TEST(ReadingTest);
#include "tst_reading.moc"
