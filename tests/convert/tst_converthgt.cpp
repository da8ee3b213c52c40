#include "ConvertHgt.h"
#include "ReferenceMesh.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using Outcome = ConvertHgt::Outcome;

static QList<int> runWorker(ConvertHgt &worker)
{
    QList<int> values;
    const auto link = QObject::connect(&worker, &ConvertHgt::sProgress, [&values](int p) { values << p; });
    worker.start();
    worker.wait();
    QObject::disconnect(link);
    return values;
}

class ConvertHgtTest : public QObject
{
    Q_OBJECT

private slots:
    void convertsList_data()
    {
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("output"); // relative to the scratch directory
        QTest::addColumn<QList<int>>("progress");
        QTest::newRow("empty list") << QStringList() << "out" << QList<int>();
        QTest::newRow("one misnamed, nested output")
            << QStringList{"N49E014.hgt", "tile.hgt", "N50E014.hgt", "N50E015.hgt"} << "a/b/c" << QList<int>{0, 25, 50, 75, 100};
        QTest::newRow("spaces, diacritics") << QStringList{"výšková data/Čechy N49E014.hgt"} << "žluťoučký kůň/ódy"
                                            << QList<int>{0, 100};
    }

    void convertsList()
    {
        QFETCH(QStringList, sources);
        QFETCH(QString, output);
        QFETCH(QList<int>, progress);
        QTemporaryDir tmp;
        QStringList paths, tiles;
        for (const QString &name : sources) {
            QVERIFY(writeTile(paths.emplace_back(tmp.filePath(name))));
            if (HgtTile::parseName(name))
                tiles << name.right(11).left(7) + ".chgt";
        }
        const QDir out(tmp.filePath(output));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(tmp.path());
        ConvertHgt worker(paths, output, 5);
        const QList<int> values = runWorker(worker);
        QDir::setCurrent(previous);
        QCOMPARE(values, progress);
        QCOMPARE(out.entryList(QDir::Files, QDir::Name), tiles);
    }

    void overOlderTile_data()
    {
        QTest::addColumn<qint64>("size"); // -1: no source
        QTest::addColumn<QString>("failure");
        QTest::addColumn<Outcome>("outcome");
        const qint64 full = HgtTile::FileSize;
        QTest::newRow("q5 tile replaced at q1") << full << "" << Outcome::Converted;
        QTest::newRow("1000 bytes") << qint64(1000) << "" << Outcome::WrongSizeEmptyWritten;
        QTest::newRow("5 GB, not loaded") << (qint64(5) << 30) << "" << Outcome::WrongSizeEmptyWritten;
        QTest::newRow("missing") << qint64(-1) << "" << Outcome::Missing;
        QTest::newRow("read-only output") << full << "read-only" << Outcome::Unwritable;
        QTest::newRow("disk full while writing") << full << "disk full" << Outcome::Unwritable;
    }

    // Only the older tile or the new one, whole, and no temporary file.
    void overOlderTile()
    {
        QFETCH(qint64, size);
        QFETCH(QString, failure);
        QFETCH(Outcome, outcome);
        QTemporaryDir tmp;
        const QString src = tmp.filePath("N49E014.hgt"), out = tmp.filePath("out");
        const QByteArray older(ChgtTile::fileSize(5), '\0');
        QVERIFY(writeTile(out + "/N49E014.chgt", older.size()) && (size < 0 || writeTile(src, size)));
        if (failure == "read-only" && QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner)
            && QFileInfo(out).isWritable())
            QSKIP("permissions do not bind this user");
        rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{1 << 20, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, failure == "disk full" ? &small : &saved) == 0);
        ConvertHgt worker({src}, out, 1);
        const QList<int> values = runWorker(worker);
        setrlimit(RLIMIT_FSIZE, &saved);
        QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(values, (QList<int>{0, 100}));
        QCOMPARE(worker.outcomes().at(0).outcome, outcome);
        QCOMPARE(readFile(out + "/N49E014.chgt"), outcome == Outcome::Converted ? expectedTile(src, 1)
                                                  : outcome == Outcome::WrongSizeEmptyWritten ? QByteArray() : older);
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{"N49E014.chgt"});
    }

    // The file under way is finished with the old parameters, nothing after
    // it is touched and no final 100; the new parameters serve the next run.
    void interruptionAndSetParamsDuringRun()
    {
        QTemporaryDir tmp;
        QStringList paths;
        for (const char *name : {"N49E014.hgt", "N49E015.hgt", "N49E016.hgt", "N49E017.hgt", "N50E014.hgt"})
            QVERIFY(writeTile(paths.emplace_back(tmp.filePath(name))));
        ConvertHgt worker(paths.mid(0, 4), tmp.filePath("a"), 5);
        connect(&worker, &ConvertHgt::sProgress, &worker, [&](int percent) {
            if (percent == 0)
                worker.setParams(paths.mid(4), tmp.filePath("b"), 4);
            if (percent == 25)
                worker.requestInterruption();
        }, Qt::DirectConnection);
        QCOMPARE(runWorker(worker), (QList<int>{0, 25}));
        QCOMPARE(QDir(tmp.filePath("a")).entryList(QDir::Files), (QStringList{"N49E014.chgt", "N49E015.chgt"}));
        QCOMPARE(readFile(tmp.filePath("a/N49E015.chgt")), expectedTile(paths.at(1), 5));
        QVERIFY(!QFile::exists(tmp.filePath("b")));
        QCOMPARE(runWorker(worker), (QList<int>{0, 100}));
        QCOMPARE(readFile(tmp.filePath("b/N50E014.chgt")), expectedTile(paths.at(4), 4));
    }

    void commandLine_data()
    {
        // "@/" is the scratch directory and HOME; written: every tile and its size.
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("errLines");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("good, defaults") << QStringList{"@/N49E014.hgt", "@/N50E014.hgt"} << 0
                                        << QStringList{"0%", "50%", "100%"}
                                        << QStringList{"RZOutput/N49E014.chgt 51840000", "RZOutput/N50E014.chgt 51840000"};
        QTest::newRow("partly bad")
            << QStringList{"--quiet", "-q", "4", "-o", "@/out", "@/N49E014.hgt", "@/N51E014.hgt", "@/tile.hgt",
                           "@/short/N50E014.hgt"}
            << 1
            << QStringList{"hgt2chgt: @/N51E014.hgt: no such file",
                           "hgt2chgt: @/tile.hgt: name does not end like N49E014.hgt, skipped",
                           "hgt2chgt: @/short/N50E014.hgt: not 2884802 bytes long, wrote an empty tile @/out/N50E014.chgt"}
            << QStringList{"out/N49E014.chgt 12960000", "out/N50E014.chgt 0"};
        QTest::newRow("quantity 6") << QStringList{"--quantity=6", "@/N49E014.hgt"} << 2
                                    << QStringList{"hgt2chgt: the quantity must be a whole number from 1 to 5, not '6'"}
                                    << QStringList();
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, errLines);
        QFETCH(QStringList, written);
        QTemporaryDir tmp;
        for (const char *name : {"N49E014.hgt", "N50E014.hgt", "tile.hgt"})
            QVERIFY(writeTile(tmp.filePath(name)));
        QVERIFY(writeTile(tmp.filePath("short/N50E014.hgt"), 1000));
        QProcess process;
        qputenv("HOME", QFile::encodeName(tmp.path()));
        process.start(HGT2CHGT_PATH, args.replaceInStrings("@/", tmp.path() + '/'));
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, exitCode);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts),
                 errLines.replaceInStrings("@/", tmp.path() + '/'));
        QStringList got;
        for (QDirIterator it(tmp.path(), {"*.chgt"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            got << path.mid(tmp.path().size() + 1) + ' ' + QString::number(QFileInfo(path).size());
        }
        got.sort();
        QCOMPARE(got, written);
    }
};

RZ_REGISTER_TEST(ConvertHgtTest);
#include "tst_converthgt.moc"
