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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
           && file.write(bytes) == bytes.size();
}

// Writes random HGT tiles (making their directories); returns their paths.
QStringList makeTiles(const QTemporaryDir &tmp, const QStringList &names)
{
    QStringList paths;
    for (const QString &name : names) {
        HgtTileGenerator tile;
        tile.fillRandom(quint32(qHash(name)));
        paths << tmp.filePath(name);
        writeBytes(paths.last(), tile.bytes());
    }
    return paths;
}

// The CHGT tile expected from an HGT file at quantity q.
QByteArray expectedTile(const QString &hgtPath, int q)
{
    int lat = 0;
    int lon = 0;
    HgtTile::parseName(hgtPath, &lat, &lon);
    return referenceMesh(readAll(hgtPath), lon, lat, q);
}

// Runs the worker on its own thread to the end; returns its progress values.
QList<int> runWorker(ConvertHgt &worker)
{
    QSignalSpy spy(&worker, &ConvertHgt::sProgress);
    worker.start();
    worker.wait();
    QList<int> values;
    for (const QList<QVariant> &args : spy)
        values.append(args.at(0).toInt());
    return values;
}

} // namespace

class ConvertHgtTest : public QObject
{
    Q_OBJECT

private slots:
    void convertsList_data()
    {
        // An output starting with "./" is passed as it is, relative to the
        // scratch directory.
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<QStringList>("tiles");

        const QStringList one{"N49E014.chgt"};
        QTest::newRow("empty list") << QStringList() << "out" << QList<int>() << QStringList();
        QTest::newRow("three files, nested output")
            << QStringList{"N49E014.hgt", "N49E015.hgt", "N50E014.hgt"} << "a/b/c/d" << QList<int>{0, 33, 66, 100}
            << QStringList{"N49E014.chgt", "N49E015.chgt", "N50E014.chgt"};
        QTest::newRow("four files, second misnamed")
            << QStringList{"N49E014.hgt", "tile.hgt", "N50E014.hgt", "N50E015.hgt"} << "out"
            << QList<int>{0, 25, 50, 75, 100} << QStringList{"N49E014.chgt", "N50E014.chgt", "N50E015.chgt"};
        QTest::newRow("relative output") << QStringList{"N49E014.hgt"} << "./rel/out" << QList<int>{0, 100} << one;
        QTest::newRow("spaces") << QStringList{"zdroj s mezerou/N49E014.hgt"} << "výstup s mezerou"
                                << QList<int>{0, 100} << one;
        QTest::newRow("diacritics") << QStringList{"výšková data/Čechy N49E014.hgt"}
                                    << "žluťoučký kůň/úpěl ďábelské ódy" << QList<int>{0, 100} << one;
    }

    void convertsList()
    {
        QFETCH(QStringList, sources);
        QFETCH(QString, output);
        QFETCH(QList<int>, progress);
        QFETCH(QStringList, tiles);

        QTemporaryDir tmp;
        const QStringList paths = makeTiles(tmp, sources);
        const QDir out(tmp.filePath(output));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp.path()));
        ConvertHgt worker(paths, output.startsWith(QLatin1String("./")) ? output : out.path(), 5);
        const QList<int> values = runWorker(worker);
        QDir::setCurrent(previous);

        QCOMPARE(values, progress);
        QCOMPARE(worker.outcomes().size(), sources.size());
        // An empty list does nothing at all, not even create the directory.
        QCOMPARE(out.exists(), !sources.isEmpty());
        QCOMPARE(out.entryList(QDir::Files, QDir::Name), tiles);
        for (const QString &path : paths) {
            if (HgtTile::parseName(path))
                QVERIFY2(readAll(out.filePath(path.right(11).left(7) + ".chgt")) == expectedTile(path, 5),
                         qPrintable(path));
        }
    }

    void replacesExistingTile()
    {
        // q = 5, then q = 1 over it, then q = 5 over the larger tile: each run
        // leaves exactly its own tile and no temporary file.
        QTemporaryDir tmp;
        const QStringList src = makeTiles(tmp, {QStringLiteral("N49E014.hgt")});
        ConvertHgt worker;
        for (int q : {5, 1, 5}) {
            worker.setParams(src, tmp.path(), q);
            runWorker(worker);
            QCOMPARE(worker.outcomes().at(0).outcome, Outcome::Converted);
            QVERIFY2(readAll(tmp.filePath(QStringLiteral("N49E014.chgt"))) == expectedTile(src.at(0), q),
                     qPrintable(QString::number(q)));
            QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(), 2);
        }
    }

    void noFullTile_data()
    {
        // Source size -1: no file; a name ending in "/" is a directory, in
        // "|" a fifo (opening it would wait for a writer for ever).
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<Outcome>("outcome");

        const QString tile = QStringLiteral("N49E014.hgt");
        const qint64 full = HgtTile::FileSize;
        QTest::newRow("1000 bytes") << tile << qint64(1000) << "" << Outcome::WrongSizeEmptyWritten;
        // Sparse, so it costs no disk; it must not be read into memory.
        QTest::newRow("5 GB") << tile << (qint64(5) << 30) << "" << Outcome::WrongSizeEmptyWritten;
        QTest::newRow("missing") << tile << qint64(-1) << "" << Outcome::Missing;
        QTest::newRow("not a tile name") << "N49E014.dat" << qint64(1000) << "" << Outcome::NotTileName;
        QTest::newRow("directory") << "N49E014.hgt/" << qint64(-1) << "" << Outcome::Unreadable;
        QTest::newRow("fifo") << "N49E014.hgt|" << qint64(-1) << "" << Outcome::Unreadable;
        QTest::newRow("read-only output") << tile << full << "read-only" << Outcome::Unwritable;
        QTest::newRow("disk full while writing") << tile << full << "disk full" << Outcome::Unwritable;
    }

    // Only a wrong-size source replaces the older tile (with an empty one);
    // otherwise it stays as it was, and no temporary file is left.
    void noFullTile()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, failure);
        QFETCH(Outcome, outcome);

        QTemporaryDir tmp;
        const QString src = tmp.filePath(name.left(11));
        const QString out = tmp.filePath(QStringLiteral("out"));
        const QByteArray older(144, 'x');
        QVERIFY(writeBytes(out + QStringLiteral("/N49E014.chgt"), older));
        if (name.endsWith(QLatin1Char('/')))
            QVERIFY(QDir().mkpath(src));
        if (name.endsWith(QLatin1Char('|')))
            QCOMPARE(mkfifo(QFile::encodeName(src).constData(), 0600), 0);
        if (size == HgtTile::FileSize) {
            makeTiles(tmp, {name});
        } else if (size >= 0) {
            QFile file(src);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (!file.resize(size))
                QSKIP("cannot make a file of this size here");
        }
        if (failure == QLatin1String("read-only")) {
            QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner));
            if (access(QFile::encodeName(out).constData(), W_OK) == 0)
                QSKIP("permissions do not bind this user");
        }
        rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved; // on a full disk, writes past 1 MB fail
        if (failure == QLatin1String("disk full"))
            limit.rlim_cur = 1024 * 1024;
        auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        ConvertHgt worker({src}, out, 3);
        const QList<int> values = runWorker(worker);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedHandler);
        QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(values, (QList<int>{0, 100}));
        QCOMPARE(worker.outcomes().at(0).outcome, outcome);
        QCOMPARE(readAll(out + QStringLiteral("/N49E014.chgt")),
                 outcome == Outcome::WrongSizeEmptyWritten ? QByteArray() : older);
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("N49E014.chgt")});
    }

    void interruptionAndSetParamsDuringRun()
    {
        QTemporaryDir tmp;
        const QStringList first = makeTiles(tmp, {"N49E014.hgt", "N49E015.hgt", "N49E016.hgt", "N49E017.hgt"});
        const QStringList second = makeTiles(tmp, {"N50E014.hgt"});
        const QDir outA(tmp.filePath(QStringLiteral("a")));
        const QDir outB(tmp.filePath(QStringLiteral("b")));
        ConvertHgt worker(first, outA.path(), 5);
        // Called on the worker's thread while the run goes on.
        connect(&worker, &ConvertHgt::sProgress, &worker, [&](int percent) {
            if (percent == 0)
                worker.setParams(second, outB.path(), 4);
            if (percent == 25)
                worker.requestInterruption();
        }, Qt::DirectConnection);

        // The file under way is finished with the old parameters, nothing
        // after it is touched, and the run does not claim to have completed.
        QCOMPARE(runWorker(worker), (QList<int>{0, 25}));
        QCOMPARE(outA.entryList(QDir::Files), (QStringList{"N49E014.chgt", "N49E015.chgt"}));
        QCOMPARE(readAll(outA.filePath(QStringLiteral("N49E015.chgt"))), expectedTile(first.at(1), 5));
        QVERIFY(!outB.exists());

        // The new parameters serve the next run.
        QCOMPARE(runWorker(worker), (QList<int>{0, 100}));
        QCOMPARE(readAll(outB.filePath(QStringLiteral("N50E014.chgt"))), expectedTile(second.at(0), 4));
    }
};

RZ_REGISTER_TEST(ConvertHgtTest);
#include "tst_converthgt.moc"
