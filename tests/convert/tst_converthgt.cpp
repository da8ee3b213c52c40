#include "ConvertTesting.h"
#include "TestRasters.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// sources, output (relative to the scratch directory), jobs, progress, errno per file (none: all written)
using ListRun = std::tuple<QStringList, QString, int, QList<int>, QList<int>>;
// arguments ("@/" is the scratch directory and HOME), exit code, the lines on stderr (GDAL's own messages as
// "GDAL error"), every tile written and its size
using Command = std::tuple<QStringList, int, QStringList, QStringList>;
Q_DECLARE_METATYPE(ListRun)
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(FileFailure)

class ConvertHgtTest : public QObject
{
    Q_OBJECT

private slots:
    void convertsList_data()
    {
        QTest::addColumn<ListRun>("run");
        QTest::newRow("empty list") << ListRun{{}, "out", 1, {}, {}};
        const QStringList four{"N49E014.hgt", "tile.hgt", "N50E014.hgt", "N50E015.hgt"};
        const QList<int> quarters{0, 25, 50, 75, 100}, thirds{0, 33, 66, 100};
        QTest::newRow("one misnamed, nested output") << ListRun{four, "a/b/c", 1, quarters, {}};
        QTest::newRow("three at once") << ListRun{four, "out", 3, quarters, {}};
        QTest::newRow("spaces, diacritics")
            << ListRun{{"výšková data/Čechy N49E014.hgt"}, "žluťoučký kůň/ódy", 2, {0, 100}, {}};
        // Two sources of one tile: the later one wins, also with jobs.
        QTest::newRow("same tile twice")
            << ListRun{{"a/N49E014.hgt", "N50E014.hgt", "b/N49E014.hgt"}, "out", 2, thirds, {}};
        // Works for root too: none of these depends on permissions.
        const QStringList three{"N49E014.hgt", "N49E015.hgt", "N49E016.hgt"};
        QTest::newRow("output a regular file") << ListRun{three, "file", 1, thirds, {ENOTDIR, ENOTDIR, ENOTDIR}};
        QTest::newRow("output removed during the run") << ListRun{three, "gone", 1, thirds, {0, ENOENT, ENOENT}};
    }

    void convertsList()
    {
        QFETCH(ListRun, run);
        const auto &[sources, output, jobs, progress, errors] = run;
        QTemporaryDir tmp;
        QVERIFY(writeBytes(tmp.filePath("file"), "not a directory"));
        QStringList paths, tiles;
        for (const QString &name : sources) {
            QVERIFY(writeTile(paths.emplace_back(tmp.filePath(name))));
            if (name.startsWith("b/")) // other heights than "a/" of the same name
                QVERIFY(HgtTileGenerator(1500).save(paths.last()));
            if (HgtTile::parseName(name) && !tiles.contains(name.right(11).left(7) + ".chgt") && errors.isEmpty())
                tiles << name.right(11).left(7) + ".chgt";
        }
        tiles.sort();
        const QDir out(tmp.filePath(output));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(tmp.path());
        ConvertHgt worker(paths, output, 5);
        worker.setJobs(jobs);
        connect(&worker, &ConvertHgt::sProgress, &worker, [&, gone = output == "gone"](int percent) {
            if (percent == 33 && gone)
                QDir(out.path()).removeRecursively();
        }, Qt::DirectConnection);
        const QList<int> values = runWorker(worker);
        QDir::setCurrent(previous);
        QCOMPARE(values, progress);
        QCOMPARE(out.entryList(QDir::Files, QDir::Name), tiles);
        QCOMPARE(worker.outcomes().size(), paths.size());
        QList<int> got;
        for (int i = 0; i < paths.size(); ++i) {
            const ConvertHgt::FileOutcome &file = worker.outcomes().at(i);
            QCOMPARE(file.path, paths[i]);
            QCOMPARE(file.outcome == Outcome::Unwritable, file.failure.isFailure());
            got << file.failure.code;
        }
        QCOMPARE(got, errors.isEmpty() ? QList<int>(paths.size(), 0) : errors);
        QCOMPARE(fileBytes(tmp.filePath("file")), QByteArray("not a directory"));
        if (!tiles.isEmpty())
            QVERIFY(fileBytes(out.filePath(tiles.first()))
                    == expectedTile(paths.last().endsWith("b/N49E014.hgt") ? paths.last() : paths.first(), 5));
    }

    void overOlderTile_data()
    {
        QTest::addColumn<qint64>("size"); // -1: no source, -2: a fifo
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<FileFailure>("reason");
        const qint64 full = HgtTile::FileSize;
        const FileFailure none;
        QTest::newRow("q5 tile replaced at q1") << full << Outcome::Converted << none;
        // Only the two exact sizes are tiles.
        const qint64 fine = HgtTile::FineFileSize;
        for (qint64 size : {qint64(0), full - 1, full + 1, fine - 2, fine + 2, qint64(5) << 30})
            QTest::addRow("%lld bytes, older kept", size) << size << Outcome::WrongSizeKept << none;
        QTest::newRow("1000 bytes, no older") << qint64(1000) << Outcome::WrongSizeEmptyWritten << none;
        QTest::newRow("missing") << qint64(-1) << Outcome::Missing << none;
        QTest::newRow("fifo source") << qint64(-2) << Outcome::Unreadable << FileFailure::of(FileFailure::NotRegularFile);
        // The row's name is the failure made.
        QTest::newRow("read-only") << full << Outcome::Unwritable << FileFailure::of(FileFailure::ReadOnlyTarget);
        QTest::newRow("disk full") << full << Outcome::Unwritable << FileFailure::system(EFBIG);
        QTest::newRow("directory") << full << Outcome::Unwritable << FileFailure::system(EISDIR);
    }

    // The older tile or the new one whole, with the older one's permissions;
    // leftovers of a killed run removed, files of other names not.
    void overOlderTile()
    {
        QFETCH(qint64, size);
        QFETCH(Outcome, outcome);
        const QString failure = QTest::currentDataTag();
        const bool older = !failure.endsWith("no older");
        QFETCH(FileFailure, reason);
        QTemporaryDir tmp;
        const QString src = tmp.filePath("N49E014.hgt"), out = tmp.filePath("out"), tile = out + "/N49E014.chgt";
        const QByteArray old(8294400, '\x11');
        const QStringList others{"N49E014.chgt.Ab12Z9x", "N49E014.chgt.keep", "N49E015.chgt.Ab12Z9"};
        for (const QString &name : others + QStringList{"N49E014.chgt.Ab12Z9"})
            QVERIFY(writeBytes(out + '/' + name, "left"));
        if (failure == "directory")
            QVERIFY(QDir().mkpath(tile));
        else if (older)
            QVERIFY(writeBytes(tile, old));
        QVERIFY(size == -1 || (size == -2 ? mkfifo(QFile::encodeName(src), 0600) == 0 : writeTile(src, size)));
        const QFile::Permissions write = failure == "read-only" ? QFile::Permissions() : QFile::WriteOwner;
        QVERIFY(!older || QFile::setPermissions(tile, QFile::ReadOwner | QFile::ReadGroup | write));
        // Owner, group and other bits: the "user" bits depend on who asks.
        const QFile::Permissions user = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
        const auto mode = [&tile, user] { return QFileInfo(tile).permissions() & ~user; };
        const QFile::Permissions permissions = mode();
        rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{1 << 20, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, failure == "disk full" ? &small : &saved) == 0);
        ConvertHgt worker({src}, out, 1);
        const QList<int> values = runWorker(worker);
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(values, (QList<int>{0, 100}));
        const ConvertHgt::FileOutcome got = worker.outcomes().at(0);
        QCOMPARE(got.outcome, outcome);
        QCOMPARE(got.failure.czech(), reason.czech());
        QCOMPARE(got.failure.english(), reason.english());
        if (failure != "directory") {
            QCOMPARE(fileBytes(tile), outcome == Outcome::Converted               ? expectedTile(src, 1)
                                     : outcome == Outcome::WrongSizeEmptyWritten ? QByteArray()
                                                                                 : old);
            if (older)
                QCOMPARE(mode(), permissions);
        }
        // The writer clears leftovers of its tile when it starts a write.
        const bool wrote = outcome == Outcome::Converted || outcome == Outcome::WrongSizeEmptyWritten
                           || failure == "disk full";
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
                 QStringList{"N49E014.chgt"} + (wrote ? QStringList() : QStringList{"N49E014.chgt.Ab12Z9"}) + others);
    }

    // A source cut to half at a random moment: the whole tile, the older
    // one kept, or the file unreadable; never a tile of what was not there.
    void sourceTruncatedDuringRun()
    {
        QTemporaryDir tmp;
        const QString src = tmp.filePath("N49E014.hgt"), tile = tmp.filePath("N49E014.chgt");
        QVERIFY(writeTile(src) && writeBytes(tile, "old"));
        const QByteArray full = fileBytes(src), expected = expectedTile(src, 5);
        QRandomGenerator random(11);
        bool converted = false;
        for (int run = 0; run < 40; ++run) {
            QVERIFY(writeBytes(src, full));
            // The read of a cached tile takes a fraction of a millisecond.
            const qint64 delayNs = random.bounded(0, 600000);
            std::atomic<bool> ready{false};
            std::thread cutter([&] {
                QElapsedTimer wait;
                wait.start();
                ready = true;
                while (wait.nsecsElapsed() < delayNs) {
                }
                ::truncate(QFile::encodeName(src).constData(), full.size() / 2);
            });
            while (!ready) {
            }
            const Outcome outcome = ConvertHgt::convertFile(src, QDir(tmp.path()), 5);
            cutter.join();
            converted = converted || outcome == Outcome::Converted;
            QVERIFY(outcome == Outcome::Converted || outcome == Outcome::WrongSizeKept || outcome == Outcome::Unreadable);
            const QByteArray now = fileBytes(tile);
            QVERIFY(now == expected || (now == "old" && !converted));
        }
    }

    // The file under way finished with the old parameters, nothing after it
    // and no 100; the new parameters serve the next run.
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
        QCOMPARE(fileBytes(tmp.filePath("a/N49E015.chgt")), expectedTile(paths.at(1), 5));
        QVERIFY(!QFile::exists(tmp.filePath("b")));
        QCOMPARE(runWorker(worker), (QList<int>{0, 100}));
        QCOMPARE(fileBytes(tmp.filePath("b/N50E014.chgt")), expectedTile(paths.at(4), 4));
    }

    void commandLine_data()
    {
        QTest::addColumn<Command>("command");
        QTest::newRow("good, defaults")
            << Command{{"@/N49E014.hgt", "@/N50E014.hgt"}, 0, {"0%", "50%", "100%"},
                       {"RZOutput/N49E014.chgt 51840000", "RZOutput/N50E014.chgt 51840000"}};
        // Archives are sources too, with one reason per member.
        QTest::newRow("partly bad") << Command{{"--quiet", "-q", "4", "-o", "@/out", "@/N49E014.hgt", "@/N51E014.hgt",
                                                "@/tile.hgt", "@/short/N50E014.hgt", "@/M33.zip"}, 1,
            {"hgt2chgt: @/N51E014.hgt: no such file",
             "hgt2chgt: @/tile.hgt: name does not end like N49E014.hgt, skipped",
             "hgt2chgt: @/short/N50E014.hgt: not 2884802 or 25934402 bytes long, wrote an empty tile @/out/N50E014.chgt",
             "hgt2chgt: @/M33.zip/M33/N48E013.hgt: not 2884802 or 25934402 bytes long, wrote an empty tile @/out/N48E013.chgt"},
            {"out/N48E012.chgt 12960000", "out/N48E013.chgt 0", "out/N49E014.chgt 12960000", "out/N50E014.chgt 0"}};
        QTest::newRow("quantity 6") << Command{{"--quantity=6", "@/N49E014.hgt"}, 2,
                                               {"hgt2chgt: the quantity must be a whole number from 1 to 5, not '6'"}, {}};
        QTest::newRow("rasters") << Command{{"--quiet", "-q", "5", "-o", "@/out", "@/good.tif", "@/text.asc", "@/bands.img"}, 1,
            {"GDAL error", "hgt2chgt: @/text.asc: raster not converted: not a raster GDAL can read",
             "hgt2chgt: @/bands.img: raster not converted: the raster has 2 bands, not exactly one"},
            {"out/N49E015.chgt 8294400"}};
        QTest::newRow("help") << Command{{"--help"}, 0, {}, {}};
    }

    void commandLine()
    {
        QFETCH(Command, command);
        auto [args, exitCode, errLines, written] = command;
        QTemporaryDir tmp;
        for (const char *name : {"N49E014.hgt", "N50E014.hgt", "tile.hgt"})
            QVERIFY(writeTile(tmp.filePath(name)));
        QVERIFY(writeTile(tmp.filePath("short/N50E014.hgt"), 1000));
        QVERIFY(writeZip(tmp.filePath("M33.zip"), {{"M33/N48E012.hgt", fileBytes(tmp.filePath("N49E014.hgt"))},
                                                   {"M33/N48E013.hgt", "x"}}));
        auto good = TestRasters::Raster::degrees(15, 50, 1201, 1201, 1200), bands = good;
        good.value = [](int x, int y) { return 100.0 + x + y; };
        bands.bands = 2;
        bands.driver = "HFA";
        QVERIFY(good.write(tmp.filePath("good.tif")) && bands.write(tmp.filePath("bands.img")));
        QVERIFY(writeBytes(tmp.filePath("text.asc"), "ncols 3\n"));
        QProcess process;
        qputenv("HOME", QFile::encodeName(tmp.path()));
        process.start(HGT2CHGT_PATH, args.replaceInStrings("@/", tmp.path() + '/'));
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, exitCode);
        QCOMPARE(process.readAllStandardOutput().contains(".tif .tiff .vrt .asc .img"), args == QStringList{"--help"});
        QStringList err = QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        err.replaceInStrings(QRegularExpression("^GDAL error: .*"), "GDAL error").removeDuplicates();
        QCOMPARE(err, errLines.replaceInStrings("@/", tmp.path() + '/'));
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
