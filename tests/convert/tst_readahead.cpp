#include "ReadAhead.h"
#include "TestRegistry.h"
#include "Waits.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MiB = 1 << 20;

// Real blocks on the disk, not a hole the cache can make up.
QString writeFile(const QTemporaryDir &dir, const QString &name, qint64 size)
{
    QFile file(dir.filePath(name));
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size && file.flush()
                    && fsync(file.handle()) == 0;
    return ok ? file.fileName() : QString();
}

// Share of the file's pages in the system's cache, after dropping them
// first when asked; -1 where that cannot be told.
double cachedShare(const QString &path, bool dropFirst)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    if (dropFirst)
        posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED);
    uchar *map = file.map(0, file.size());
    if (!map)
        return -1;
    const long page = sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> in(size_t((file.size() + page - 1) / page));
    const bool told = mincore(map, size_t(file.size()), in.data()) == 0;
    file.unmap(map);
    const auto cached = std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; });
    return told ? double(cached) / in.size() : -1;
}

} // namespace

// Files are fetched in the order they will be taken, never more than a
// window of bytes beyond the files taken (but always the next one), and
// into the system's cache, not this process.
class ReadAheadTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void window_data()
    {
        QTest::addColumn<qint64>("window");
        QTest::addColumn<QList<int>>("fetchedAfterTaking"); // after taking 0, 1, 2 files
        QTest::newRow("two files wide") << 2 * MiB << QList<int>{2, 3, 4};
        QTest::newRow("half a file wide: the next file still") << MiB / 2 << QList<int>{1, 2, 3};
    }

    void window()
    {
        QFETCH(qint64, window);
        QFETCH(QList<int>, fetchedAfterTaking);
        QStringList paths;
        for (int i = 0; i < 5; ++i)
            paths << writeFile(dir, QStringLiteral("f%1.bin").arg(i), MiB);
        QVERIFY(!paths.contains(QString()));
        ReadAhead ahead(paths, window);
        for (int taken = 0; taken < fetchedAfterTaking.size(); ++taken) {
            ahead.taken(taken);
            QTRY_COMPARE_WITH_TIMEOUT(ahead.filesFetched(), fetchedAfterTaking[taken], Waits::Event);
        }
        ahead.taken(int(paths.size()));
        QTRY_COMPARE_WITH_TIMEOUT(ahead.filesFetched(), int(paths.size()), Waits::Event);
    }

    // What is fetched is in the cache before anyone reads it; a fifo among
    // the files is passed over, never opened (which would block for ever).
    void intoTheCache()
    {
        const QString fifo = dir.filePath("fifo.chgt");
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString path = writeFile(dir, "big.bin", 8 * MiB);
        QVERIFY(!path.isEmpty());
        if (cachedShare(path, true) > 0.05)
            QSKIP("the system keeps the file cached: nothing to fetch");
        {
            ReadAhead ahead({fifo, path});
            QTRY_COMPARE_WITH_TIMEOUT(ahead.filesFetched(), 2, Waits::Event);
            QTRY_COMPARE_WITH_TIMEOUT(cachedShare(path, false), 1.0, Waits::Event);
        }
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
};

RZ_REGISTER_TEST(ReadAheadTest);
#include "tst_readahead.moc"
