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
    void exitCodesAndMessages_data();
    void exitCodesAndMessages();
    void defaultsToHomeOutputAndQuantity2();
    void helpAndVersion();
    void stopsCleanlyOnTerminate();
};

namespace {

struct Run
{
    int exitCode;
    QString out;
    QString err;
};

Run runTool(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(HGT2CHGT_PATH), args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QString(), QString()};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void Hgt2ChgtTest::exitCodesAndMessages_data()
{
    // In args, "@/" stands for the scratch directory. Tiles listed in
    // `tiles` are made as HGT tiles there; "short/" names get 1000 bytes.
    QTest::addColumn<QStringList>("tiles");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("errLines");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("all good")
        << QStringList{"N49E014.hgt", "N50E014.hgt"}
        << QStringList{"-q", "5", "-o", "@/out", "@/N49E014.hgt", "@/N50E014.hgt"} << 0
        << QStringList{"0%", "50%", "100%"} << QStringList{"N49E014.chgt", "N50E014.chgt"};
    QTest::newRow("quiet")
        << QStringList{"N49E014.hgt"}
        << QStringList{"--quiet", "--quantity", "3", "--output", "@/out", "@/N49E014.hgt"} << 0
        << QStringList() << QStringList{"N49E014.chgt"};
    QTest::newRow("partly bad")
        << QStringList{"N49E014.hgt", "short/N50E014.hgt", "tile.hgt"}
        << QStringList{"--quiet", "-q", "4", "-o", "@/out", "@/N49E014.hgt", "@/N51E014.hgt", "@/tile.hgt",
                       "@/short/N50E014.hgt"}
        << 1
        << QStringList{"hgt2chgt: @/N51E014.hgt: no such file",
                       "hgt2chgt: @/tile.hgt: name does not end like N49E014.hgt, skipped",
                       "hgt2chgt: @/short/N50E014.hgt: not 2884802 bytes long, wrote an empty tile @/out/N50E014.chgt"}
        << QStringList{"N49E014.chgt", "N50E014.chgt"};
    QTest::newRow("output below a file")
        << QStringList{"N49E014.hgt"}
        << QStringList{"--quiet", "-o", "@/N49E014.hgt/out", "@/N49E014.hgt"} << 1
        << QStringList{"hgt2chgt: @/N49E014.hgt: cannot write @/N49E014.hgt/out/N49E014.chgt"}
        << QStringList();
    QTest::newRow("quantity 0")
        << QStringList{"N49E014.hgt"} << QStringList{"-q", "0", "-o", "@/out", "@/N49E014.hgt"} << 2
        << QStringList{"hgt2chgt: the quantity must be a whole number from 1 to 5, not '0'"} << QStringList();
    QTest::newRow("quantity 6")
        << QStringList{"N49E014.hgt"} << QStringList{"-q", "6", "-o", "@/out", "@/N49E014.hgt"} << 2
        << QStringList{"hgt2chgt: the quantity must be a whole number from 1 to 5, not '6'"} << QStringList();
    QTest::newRow("quantity not a number")
        << QStringList{"N49E014.hgt"} << QStringList{"--quantity=max", "-o", "@/out", "@/N49E014.hgt"} << 2
        << QStringList{"hgt2chgt: the quantity must be a whole number from 1 to 5, not 'max'"} << QStringList();
    QTest::newRow("no files")
        << QStringList() << QStringList{"-o", "@/out"} << 2
        << QStringList{"hgt2chgt: no HGT files given", "Try 'hgt2chgt --help'."} << QStringList();
    QTest::newRow("unknown option")
        << QStringList{"N49E014.hgt"} << QStringList{"--fast", "-o", "@/out", "@/N49E014.hgt"} << 2
        << QStringList{"hgt2chgt: Unknown option 'fast'.", "Try 'hgt2chgt --help'."} << QStringList();
}

void Hgt2ChgtTest::exitCodesAndMessages()
{
    QFETCH(QStringList, tiles);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, errLines);
    QFETCH(QStringList, written);

    QTemporaryDir tmp;
    const QString root = tmp.path();
    QHash<QString, QByteArray> sources;
    for (const QString &name : tiles) {
        const QString path = tmp.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        if (name.startsWith(QLatin1String("short/"))) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(1000, '\0'));
        } else {
            HgtTileGenerator tile;
            tile.fillRandom(quint32(qHash(name)));
            QVERIFY(tile.save(path));
            sources.insert(name.right(11).left(7), tile.bytes());
        }
    }
    for (QString &arg : args)
        arg.replace(QLatin1String("@/"), root + QLatin1Char('/'));
    for (QString &line : errLines)
        line.replace(QLatin1String("@/"), root + QLatin1Char('/'));

    const Run run = runTool(args);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts), errLines);

    const QDir out(tmp.filePath(QStringLiteral("out")));
    if (exitCode == 2)
        QVERIFY(!out.exists());
    QCOMPARE(out.entryList(QDir::Files, QDir::Name), written);

    // Every full tile is exactly what the quantity asks for.
    const int qAt = args.indexOf(QRegularExpression(QStringLiteral("^(-q|--quantity)$")));
    const int q = qAt >= 0 ? args.at(qAt + 1).toInt() : 2;
    for (const QString &name : written) {
        const QString key = name.left(7);
        if (!sources.contains(key))
            continue;
        const int lat = key.mid(1, 2).toInt();
        const int lon = key.mid(4, 3).toInt();
        QVERIFY2(readAll(out.filePath(name)) == referenceMesh(sources.value(key), lon, lat, q), qPrintable(name));
    }
}

void Hgt2ChgtTest::defaultsToHomeOutputAndQuantity2()
{
    QTemporaryDir home;
    const QString src = home.filePath(QStringLiteral("N49E014.hgt"));
    HgtTileGenerator tile(450);
    QVERIFY(tile.save(src));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());

    const Run run = runTool({QStringLiteral("--quiet"), src}, env);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QString());
    const QByteArray chgt = readAll(home.filePath(QStringLiteral("RZOutput/N49E014.chgt")));
    QVERIFY(chgt == referenceMesh(tile.bytes(), 14, 49, 2));
}

void Hgt2ChgtTest::helpAndVersion()
{
    const Run help = runTool({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains(QLatin1String("--quantity <n>")));
    QVERIFY(help.out.contains(QLatin1String("--output <dir>")));
    QVERIFY(help.out.contains(QLatin1String("--quiet")));

    const Run version = runTool({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith(QLatin1String("hgt2chgt ")));
}

void Hgt2ChgtTest::stopsCleanlyOnTerminate()
{
    QTemporaryDir tmp;
    const QString src = tmp.filePath(QStringLiteral("N49E014.hgt"));
    HgtTileGenerator tile(300);
    QVERIFY(tile.save(src));
    QStringList args{QStringLiteral("-q"), QStringLiteral("3"), QStringLiteral("-o"), tmp.filePath(QStringLiteral("out"))};
    for (int i = 0; i < 400; ++i)
        args << src;

    QProcess process;
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(HGT2CHGT_PATH), args);
    QVERIFY(process.waitForStarted());
    // Stop it once it has begun converting.
    QByteArray err;
    while (!err.contains("\n1%") && process.waitForReadyRead(30000))
        err += process.readAllStandardError();
    process.terminate();
    QVERIFY(process.waitForFinished(30000));
    err += process.readAllStandardError();

    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains("hgt2chgt: interrupted, "), err.constData());
    QVERIFY(!err.contains("\n100%"));
    // The tile is whole and no temporary file is left behind.
    const QDir out(tmp.filePath(QStringLiteral("out")));
    QCOMPARE(out.entryList(QDir::Files), QStringList{QStringLiteral("N49E014.chgt")});
    QCOMPARE(QFileInfo(out.filePath(QStringLiteral("N49E014.chgt"))).size(), ChgtTile::fileSize(3));
}

RZ_REGISTER_TEST(Hgt2ChgtTest);
#include "tst_hgt2chgt.moc"
