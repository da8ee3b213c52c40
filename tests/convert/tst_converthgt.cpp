#include "ChgtTile.h"
#include "ConvertHgt.h"
#include "HgtTile.h"
#include "HgtTileGenerator.h"
#include "ReferenceMesh.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestRegistry.h"

using Outcome = ConvertHgt::Outcome;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Writes an HGT tile whose heights depend on `seed`, and returns its bytes.
QByteArray makeTile(const QString &path, quint32 seed = 1)
{
    HgtTileGenerator tile;
    tile.fillRandom(seed);
    return tile.save(path) ? tile.bytes() : QByteArray();
}

QList<int> progressValues(const QSignalSpy &spy)
{
    QList<int> values;
    for (const QList<QVariant> &args : spy)
        values.append(args.at(0).toInt());
    return values;
}

// Runs the worker on its own thread to the end.
QList<int> runWorker(ConvertHgt &worker)
{
    QSignalSpy spy(&worker, &ConvertHgt::sProgress);
    worker.start();
    worker.wait();
    return progressValues(spy);
}

} // namespace

class ConvertHgtTest : public QObject
{
    Q_OBJECT

private slots:
    void progress_data();
    void progress();
    void createsNestedOutputDirectory();
    void relativeOutputDirectory();
    void replacesExistingTile();
    void wrongSizeGivesEmptyTile_data();
    void wrongSizeGivesEmptyTile();
    void laterQuantityWins();
    void failedWriteKeepsOlderTile_data();
    void failedWriteKeepsOlderTile();
    void unusualPaths_data();
    void unusualPaths();
    void unreadableSources();
    void setParamsDuringRunKeepsRun();
    void interruptionStopsBetweenFiles();
    void destroyedWhileRunning();
};

void ConvertHgtTest::progress_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<QStringList>("tiles");

    QTest::newRow("empty list") << QStringList() << QStringList() << QList<int>() << QStringList();
    QTest::newRow("missing path") << QStringList() << QStringList{"N49E014.hgt"} << QList<int>{0, 100}
                                  << QStringList();
    QTest::newRow("one file") << QStringList{"N49E014.hgt"} << QStringList{"N49E014.hgt"} << QList<int>{0, 100}
                              << QStringList{"N49E014.chgt"};
    QTest::newRow("three files") << QStringList{"N49E014.hgt", "N49E015.hgt", "N50E014.hgt"}
                                 << QStringList{"N49E014.hgt", "N49E015.hgt", "N50E014.hgt"}
                                 << QList<int>{0, 33, 66, 100}
                                 << QStringList{"N49E014.chgt", "N49E015.chgt", "N50E014.chgt"};
    QTest::newRow("four files, second misnamed")
        << QStringList{"N49E014.hgt", "tile.hgt", "N50E014.hgt", "N50E015.hgt"}
        << QStringList{"N49E014.hgt", "tile.hgt", "N50E014.hgt", "N50E015.hgt"}
        << QList<int>{0, 25, 50, 75, 100}
        << QStringList{"N49E014.chgt", "N50E014.chgt", "N50E015.chgt"};
}

void ConvertHgtTest::progress()
{
    QFETCH(QStringList, existing);
    QFETCH(QStringList, sources);
    QFETCH(QList<int>, expected);
    QFETCH(QStringList, tiles);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    for (const QString &name : existing)
        QVERIFY(!makeTile(tmp.filePath(name)).isEmpty());
    QStringList paths;
    for (const QString &name : sources)
        paths << tmp.filePath(name);
    const QString out = tmp.filePath(QStringLiteral("out"));

    ConvertHgt worker(paths, out, 5);
    QCOMPARE(runWorker(worker), expected);

    // An empty list does nothing at all, not even create the directory.
    QCOMPARE(QDir(out).exists(), !sources.isEmpty());
    const QStringList written = QDir(out).entryList(QDir::Files, QDir::Name);
    QCOMPARE(written, tiles);
    for (const QString &tile : tiles)
        QCOMPARE(QFileInfo(QDir(out).filePath(tile)).size(), ChgtTile::fileSize(5));
    QCOMPARE(worker.outcomes().size(), sources.size());
}

void ConvertHgtTest::createsNestedOutputDirectory()
{
    QTemporaryDir tmp;
    const QString src = tmp.filePath(QStringLiteral("N49E014.hgt"));
    makeTile(src);
    const QString out = tmp.filePath(QStringLiteral("a/b/c/d"));

    ConvertHgt worker({src}, out, 4);
    QCOMPARE(runWorker(worker), (QList<int>{0, 100}));
    QCOMPARE(QFileInfo(out + QStringLiteral("/N49E014.chgt")).size(), ChgtTile::fileSize(4));
}

void ConvertHgtTest::relativeOutputDirectory()
{
    QTemporaryDir tmp;
    const QString src = tmp.filePath(QStringLiteral("N49E014.hgt"));
    makeTile(src);
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp.path()));

    ConvertHgt worker;
    worker.setParams({src}, QStringLiteral("rel/out"), 5);
    runWorker(worker);
    QDir::setCurrent(previous);

    QCOMPARE(QFileInfo(tmp.filePath(QStringLiteral("rel/out/N49E014.chgt"))).size(), ChgtTile::fileSize(5));
}

void ConvertHgtTest::replacesExistingTile()
{
    QTemporaryDir tmp;
    const QString src = tmp.filePath(QStringLiteral("N49E014.hgt"));
    const QByteArray hgt = makeTile(src, 3);
    const QString tile = tmp.filePath(QStringLiteral("N49E014.chgt"));
    QVERIFY(writeBytes(tile, QByteArray(ChgtTile::fileSize(5) + 1000, 'x')));

    QCOMPARE(ConvertHgt::convertFile(src, QDir(tmp.path()), 5), Outcome::Converted);
    QCOMPARE(readAll(tile), referenceMesh(hgt, 14, 49, 5));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(), 2); // no temporary left over
}

void ConvertHgtTest::wrongSizeGivesEmptyTile_data()
{
    QTest::addColumn<qint64>("size");
    QTest::newRow("1000 bytes") << qint64(1000);
    QTest::newRow("empty") << qint64(0);
    QTest::newRow("one byte over") << qint64(HgtTile::FileSize + 1);
    QTest::newRow("one byte short") << qint64(HgtTile::FileSize - 1);
    // Sparse, so it costs no disk; it must not be read into memory.
    QTest::newRow("5 GB") << qint64(5) * 1024 * 1024 * 1024;
}

void ConvertHgtTest::wrongSizeGivesEmptyTile()
{
    QFETCH(qint64, size);
    QTemporaryDir tmp;
    const QString src = tmp.filePath(QStringLiteral("N49E014.hgt"));
    {
        QFile file(src);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(size))
            QSKIP("cannot make a file of this size here");
    }
    const QString out = tmp.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    QVERIFY(writeBytes(out + QStringLiteral("/N49E014.chgt"), QByteArray(144, 'x')));

    ConvertHgt worker({src}, out, 3);
    QCOMPARE(runWorker(worker), (QList<int>{0, 100}));
    QCOMPARE(worker.outcomes().size(), 1);
    QCOMPARE(worker.outcomes().at(0).outcome, Outcome::WrongSizeEmptyWritten);
    QFileInfo tile(out + QStringLiteral("/N49E014.chgt"));
    QVERIFY(tile.exists());
    QCOMPARE(tile.size(), qint64(0));
}

void ConvertHgtTest::laterQuantityWins()
{
    QTemporaryDir tmp;
    const QString src = tmp.filePath(QStringLiteral("N49E014.hgt"));
    const QByteArray hgt = makeTile(src, 9);
    const QDir out(tmp.filePath(QStringLiteral("out")));

    ConvertHgt worker({src}, out.path(), 5);
    runWorker(worker);
    QCOMPARE(QFileInfo(out.filePath(QStringLiteral("N49E014.chgt"))).size(), ChgtTile::fileSize(5));
    worker.setParams({src}, out.path(), 1);
    runWorker(worker);

    const QByteArray tile = readAll(out.filePath(QStringLiteral("N49E014.chgt")));
    QCOMPARE(tile.size(), ChgtTile::fileSize(1));
    QVERIFY(tile == referenceMesh(hgt, 14, 49, 1));
}

void ConvertHgtTest::failedWriteKeepsOlderTile_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("read-only directory") << "readonly";
    QTest::newRow("disk full while writing") << "full";
}

void ConvertHgtTest::failedWriteKeepsOlderTile()
{
    QFETCH(QString, failure);
    QTemporaryDir tmp;
    const QString src = tmp.filePath(QStringLiteral("N49E014.hgt"));
    makeTile(src);
    const QString out = tmp.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    const QString tile = out + QStringLiteral("/N49E014.chgt");
    const QByteArray older(144 * 1000, '\x2a');
    QVERIFY(writeBytes(tile, older));

    rlimit savedLimit;
    getrlimit(RLIMIT_FSIZE, &savedLimit);
    auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (failure == QLatin1String("readonly")) {
        QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner));
        if (access(QFile::encodeName(out).constData(), W_OK) == 0) {
            QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("permissions do not bind this user");
        }
    } else {
        // Writes past 1 MB fail, as on a full disk.
        rlimit limit = savedLimit;
        limit.rlim_cur = 1024 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }

    ConvertHgt worker({src}, out, 5);
    const QList<int> values = runWorker(worker);

    setrlimit(RLIMIT_FSIZE, &savedLimit);
    std::signal(SIGXFSZ, savedHandler);
    QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(values, (QList<int>{0, 100}));
    QCOMPARE(worker.outcomes().at(0).outcome, Outcome::Unwritable);
    QCOMPARE(readAll(tile), older);
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("N49E014.chgt")});
}

void ConvertHgtTest::unusualPaths_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("output");

    QTest::newRow("spaces") << "zdroj s mezerou/N49E014.hgt" << "výstup s mezerou";
    QTest::newRow("diacritics") << "výšková data/Čechy N49E014.hgt" << "žluťoučký kůň/úpěl ďábelské ódy";
}

void ConvertHgtTest::unusualPaths()
{
    QFETCH(QString, source);
    QFETCH(QString, output);

    QTemporaryDir tmp;
    const QString src = tmp.filePath(source);
    QVERIFY(QDir().mkpath(QFileInfo(src).path()));
    const QByteArray hgt = makeTile(src, 5);
    QVERIFY(!hgt.isEmpty());
    const QString out = tmp.filePath(output);

    ConvertHgt worker({src}, out, 5);
    runWorker(worker);
    QCOMPARE(worker.outcomes().at(0).outcome, Outcome::Converted);
    QVERIFY(readAll(out + QStringLiteral("/N49E014.chgt")) == referenceMesh(hgt, 14, 49, 5));
}

void ConvertHgtTest::unreadableSources()
{
    QTemporaryDir tmp;
    const QDir out(tmp.filePath(QStringLiteral("out")));
    QVERIFY(QDir().mkpath(out.path()));

    // A directory named like a tile exists but is no tile.
    const QString directory = tmp.filePath(QStringLiteral("N49E014.hgt"));
    QVERIFY(QDir().mkpath(directory));
    QCOMPARE(ConvertHgt::convertFile(directory, out, 2), Outcome::Unreadable);

    // Opening a fifo would wait for a writer for ever.
    const QString fifo = tmp.filePath(QStringLiteral("N49E015.hgt"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QCOMPARE(ConvertHgt::convertFile(fifo, out, 2), Outcome::Unreadable);

    QCOMPARE(ConvertHgt::convertFile(tmp.filePath(QStringLiteral("N49E016.hgt")), out, 2), Outcome::Missing);
    const QString misnamed = tmp.filePath(QStringLiteral("N49E016.dat"));
    makeTile(misnamed);
    QCOMPARE(ConvertHgt::convertFile(misnamed, out, 2), Outcome::NotTileName);
    QVERIFY(out.entryList(QDir::Files).isEmpty());
}

void ConvertHgtTest::setParamsDuringRunKeepsRun()
{
    QTemporaryDir tmp;
    QStringList first;
    for (const char *name : {"N49E014.hgt", "N49E015.hgt", "N49E016.hgt"}) {
        first << tmp.filePath(QLatin1String(name));
        makeTile(first.last());
    }
    const QString second = tmp.filePath(QStringLiteral("N50E014.hgt"));
    makeTile(second);
    const QDir outA(tmp.filePath(QStringLiteral("a")));
    const QDir outB(tmp.filePath(QStringLiteral("b")));

    ConvertHgt worker(first, outA.path(), 5);
    // Called on the worker's thread as soon as the run has begun.
    connect(&worker, &ConvertHgt::sProgress, &worker, [&](int percent) {
        if (percent == 0)
            worker.setParams({second}, outB.path(), 4);
    }, Qt::DirectConnection);
    QCOMPARE(runWorker(worker), (QList<int>{0, 33, 66, 100}));

    QCOMPARE(outA.entryList(QDir::Files).size(), 3);
    for (const QString &name : outA.entryList(QDir::Files))
        QCOMPARE(QFileInfo(outA.filePath(name)).size(), ChgtTile::fileSize(5));
    QVERIFY(!outB.exists());

    // The new parameters serve the next run.
    runWorker(worker);
    QCOMPARE(QFileInfo(outB.filePath(QStringLiteral("N50E014.chgt"))).size(), ChgtTile::fileSize(4));
}

void ConvertHgtTest::interruptionStopsBetweenFiles()
{
    QTemporaryDir tmp;
    QStringList sources;
    for (const char *name : {"N49E014.hgt", "N49E015.hgt", "N49E016.hgt", "N49E017.hgt"}) {
        sources << tmp.filePath(QLatin1String(name));
        makeTile(sources.last());
    }
    const QDir out(tmp.filePath(QStringLiteral("out")));

    ConvertHgt worker(sources, out.path(), 5);
    auto stop = connect(&worker, &ConvertHgt::sProgress, &worker, [&](int percent) {
        if (percent == 25)
            worker.requestInterruption();
    }, Qt::DirectConnection);

    // The file under way is finished, nothing after it is touched, and the
    // run does not claim to have completed.
    QCOMPARE(runWorker(worker), (QList<int>{0, 25}));
    QCOMPARE(worker.outcomes().size(), 2);
    QCOMPARE(out.entryList(QDir::Files), (QStringList{"N49E014.chgt", "N49E015.chgt"}));
    QCOMPARE(QFileInfo(out.filePath(QStringLiteral("N49E015.chgt"))).size(), ChgtTile::fileSize(5));

    disconnect(stop);
    QCOMPARE(runWorker(worker), (QList<int>{0, 25, 50, 75, 100}));
    QCOMPARE(out.entryList(QDir::Files).size(), 4);
}

void ConvertHgtTest::destroyedWhileRunning()
{
    QTemporaryDir tmp;
    QStringList sources;
    for (int lon = 10; lon < 16; ++lon) {
        sources << tmp.filePath(QStringLiteral("N49E0%1.hgt").arg(lon));
        makeTile(sources.last(), quint32(lon));
    }
    const QDir out(tmp.filePath(QStringLiteral("out")));
    {
        ConvertHgt worker(sources, out.path(), 3);
        QAtomicInt started;
        // Holds the first file back long enough for the worker to be
        // destroyed while it runs.
        connect(&worker, &ConvertHgt::sProgress, &worker, [&](int percent) {
            if (percent == 0) {
                started.storeRelease(1);
                QThread::msleep(300);
            }
        }, Qt::DirectConnection);
        worker.start();
        while (!started.loadAcquire())
            QThread::yieldCurrentThread();
    }
    // The destructor stopped the run after the file under way and waited
    // for it: that tile is whole and nothing after it was started.
    QCOMPARE(out.entryList(QDir::Files), QStringList{QStringLiteral("N49E010.chgt")});
    QCOMPARE(QFileInfo(out.filePath(QStringLiteral("N49E010.chgt"))).size(), ChgtTile::fileSize(3));
}

RZ_REGISTER_TEST(ConvertHgtTest);
#include "tst_converthgt.moc"
