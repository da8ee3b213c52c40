#include "ChgtTile.h"
#include "HgtTileGenerator.h"
#include "ReferenceMesh.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "TestRegistry.h"

class Hgt2ChgtTest : public QObject
{
    Q_OBJECT

private slots:
    void exitCodesAndMessages_data()
    {
        // "@/" stands for the scratch directory, which is also HOME. The
        // `tiles` are made there as HGT tiles; "short/" ones get 1000 bytes.
        QTest::addColumn<QStringList>("tiles");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("errLines");
        QTest::addColumn<QStringList>("written"); // in @/out, or @/RZOutput without -o

        const QStringList one{"N49E014.hgt"};
        const QString badQ = QStringLiteral("hgt2chgt: the quantity must be a whole number from 1 to 5, not '6'");
        QTest::newRow("all good") << QStringList{"N49E014.hgt", "N50E014.hgt"}
                                  << QStringList{"-q", "5", "-o", "@/out", "@/N49E014.hgt", "@/N50E014.hgt"} << 0
                                  << QStringList{"0%", "50%", "100%"} << QStringList{"N49E014.chgt", "N50E014.chgt"};
        QTest::newRow("defaults") << one << QStringList{"--quiet", "@/N49E014.hgt"} << 0 << QStringList()
                                  << QStringList{"N49E014.chgt"};
        QTest::newRow("partly bad")
            << QStringList{"N49E014.hgt", "short/N50E014.hgt", "tile.hgt"}
            << QStringList{"--quiet", "--quantity", "4", "--output", "@/out", "@/N49E014.hgt", "@/N51E014.hgt",
                           "@/tile.hgt", "@/short/N50E014.hgt"}
            << 1
            << QStringList{"hgt2chgt: @/N51E014.hgt: no such file",
                           "hgt2chgt: @/tile.hgt: name does not end like N49E014.hgt, skipped",
                           "hgt2chgt: @/short/N50E014.hgt: not 2884802 bytes long, wrote an empty tile @/out/N50E014.chgt"}
            << QStringList{"N49E014.chgt", "N50E014.chgt"};
        QTest::newRow("output below a file")
            << one << QStringList{"--quiet", "-o", "@/N49E014.hgt/out", "@/N49E014.hgt"} << 1
            << QStringList{"hgt2chgt: @/N49E014.hgt: cannot write @/N49E014.hgt/out/N49E014.chgt"} << QStringList();
        QTest::newRow("quantity 6") << one << QStringList{"--quantity=6", "@/N49E014.hgt"} << 2
                                    << QStringList{badQ} << QStringList();
        QTest::newRow("no files") << QStringList() << QStringList{"-o", "@/out"} << 2
                                  << QStringList{"hgt2chgt: no HGT files given", "Try 'hgt2chgt --help'."}
                                  << QStringList();
    }

    void exitCodesAndMessages()
    {
        QFETCH(QStringList, tiles);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, errLines);
        QFETCH(QStringList, written);

        QTemporaryDir tmp;
        QHash<QString, QByteArray> sources; // by tile name
        for (const QString &name : tiles) {
            HgtTileGenerator tile;
            tile.fillRandom(quint32(qHash(name)));
            QFile file(tmp.filePath(name));
            QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
            const bool isShort = name.startsWith(QLatin1String("short/"));
            QVERIFY(file.write(isShort ? QByteArray(1000, '\0') : tile.bytes()) > 0);
            if (!isShort)
                sources.insert(name.right(11).left(7), tile.bytes());
        }
        const QString root = tmp.path() + QLatin1Char('/');
        args.replaceInStrings(QStringLiteral("@/"), root);
        errLines.replaceInStrings(QStringLiteral("@/"), root);

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), tmp.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(HGT2CHGT_PATH), args);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 errLines);

        const bool outGiven = args.contains(QStringLiteral("-o")) || args.contains(QStringLiteral("--output"));
        const QDir out(tmp.filePath(outGiven ? QStringLiteral("out") : QStringLiteral("RZOutput")));
        if (exitCode == 2)
            QVERIFY(!out.exists());
        QCOMPARE(out.entryList(QDir::Files, QDir::Name), written);
        // Every full tile is exactly what the quantity asks for.
        const int qAt = args.indexOf(QRegularExpression(QStringLiteral("^(-q|--quantity)$")));
        const int q = qAt >= 0 ? args.at(qAt + 1).toInt() : 2;
        for (const QString &name : written) {
            const QString key = name.left(7);
            QFile file(out.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray expected = sources.contains(key)
                ? referenceMesh(sources[key], key.mid(4).toInt(), key.mid(1, 2).toInt(), q) : QByteArray();
            QVERIFY2(file.readAll() == expected, qPrintable(name));
        }
    }

    void stopsCleanlyOnTerminate()
    {
        QTemporaryDir tmp;
        const QString src = tmp.filePath(QStringLiteral("N49E014.hgt"));
        QVERIFY(HgtTileGenerator(300).save(src));
        QProcess process;
        process.start(QStringLiteral(HGT2CHGT_PATH),
                      QStringList{"-q", "3", "-o", tmp.filePath(QStringLiteral("out"))} + QStringList(400, src));
        process.setReadChannel(QProcess::StandardError);
        QByteArray err;
        while (!err.contains("\n1%") && process.waitForReadyRead(30000))
            err += process.readAllStandardError();
        process.terminate();
        QVERIFY(process.waitForFinished(30000));
        err += process.readAllStandardError();

        // It stops after the tile in hand: whole, and no temporary file left.
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.contains("hgt2chgt: interrupted, ") && !err.contains("\n100%"), err.constData());
        const QDir out(tmp.filePath(QStringLiteral("out")));
        QCOMPARE(out.entryList(QDir::Files), QStringList{QStringLiteral("N49E014.chgt")});
        QCOMPARE(QFileInfo(out.filePath(QStringLiteral("N49E014.chgt"))).size(), ChgtTile::fileSize(3));
    }
};

RZ_REGISTER_TEST(Hgt2ChgtTest);
#include "tst_hgt2chgt.moc"
