#include "HgtTileGenerator.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "TestRegistry.h"

class HgtTileGeneratorTest : public QObject
{
    Q_OBJECT

private slots:
    void reliefMeetsNeighbours_data();
    void reliefMeetsNeighbours();
    void randomCoversEveryBand();
    void commandLineWritesNamedTile();
};

void HgtTileGeneratorTest::reliefMeetsNeighbours_data()
{
    QTest::addColumn<int>("lat");
    QTest::addColumn<int>("lon");
    QTest::newRow("Bohemia") << 49 << 14;
    QTest::newRow("zero corner") << 0 << 0;
}

void HgtTileGeneratorTest::reliefMeetsNeighbours()
{
    QFETCH(int, lat);
    QFETCH(int, lon);
    HgtTileGenerator here;
    HgtTileGenerator east;
    HgtTileGenerator north;
    here.fillRelief(lat, lon, 42);
    east.fillRelief(lat, lon + 1, 42);
    north.fillRelief(lat + 1, lon, 42);

    // Edge rows and columns are shared between neighbouring tiles.
    for (int i = 0; i < HgtTileGenerator::Side; ++i) {
        QCOMPARE(here.sample(i, HgtTileGenerator::Side - 1), east.sample(i, 0));
        QCOMPARE(here.sample(0, i), north.sample(HgtTileGenerator::Side - 1, i));
    }
    HgtTileGenerator otherSeed;
    otherSeed.fillRelief(lat, lon, 43);
    QVERIFY(otherSeed.bytes() != here.bytes());
}

void HgtTileGeneratorTest::randomCoversEveryBand()
{
    HgtTileGenerator a;
    HgtTileGenerator b;
    a.fillRandom(5);
    b.fillRandom(5);
    QCOMPARE(a.bytes(), b.bytes());

    const int edges[] = {0, 200, 300, 400, 500, 600, 800, 1000, 1200, 1400, 1800};
    QSet<int> bands;
    bool voidSeen = false;
    for (int row = 0; row < HgtTileGenerator::Side; row += 3) {
        for (int col = 0; col < HgtTileGenerator::Side; col += 3) {
            const int h = a.sample(row, col);
            voidSeen |= h == -32768;
            bands.insert(int(std::upper_bound(std::begin(edges), std::end(edges), h - 1) - std::begin(edges)));
        }
    }
    QCOMPARE(bands.size(), 12);
    QVERIFY(voidSeen);
}

void HgtTileGeneratorTest::commandLineWritesNamedTile()
{
    QTemporaryDir tmp;
    QProcess process;
    process.start(QStringLiteral(HGTGEN_PATH),
                  {QStringLiteral("--height"), QStringLiteral("1801"), QStringLiteral("--lat"), QStringLiteral("50"),
                   QStringLiteral("--lon"), QStringLiteral("7"), QStringLiteral("-o"), tmp.path()});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    QFile file(tmp.filePath(QStringLiteral("N50E007.hgt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), qsizetype(HgtTileGenerator::TileBytes));
    QCOMPARE(bytes.count(QByteArray::fromHex("0709")), qsizetype(HgtTileGenerator::Side) * HgtTileGenerator::Side);
}

RZ_REGISTER_TEST(HgtTileGeneratorTest);
#include "tst_hgtgen.moc"
