#include "ChgtTile.h"
#include "HgtTile.h"

#include <QBuffer>
#include <QTest>
#include <QtEndian>

#include "TestRegistry.h"

class TileFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void hgtName_data();
    void hgtName();
    void chgtName_data();
    void chgtName();
    void sample_data();
    void sample();
    void tileSizes_data();
    void tileSizes();
    void floatsAreLittleEndian();
};

void TileFormatTest::hgtName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<int>("lat");
    QTest::addColumn<int>("lon");

    QTest::newRow("plain") << "N49E014.hgt" << true << 49 << 14;
    QTest::newRow("zero corner") << "N00E000.hgt" << true << 0 << 0;
    QTest::newRow("largest") << "N99E099.hgt" << true << 99 << 99;
    QTest::newRow("absolute path") << "/data/srtm/N50E017.hgt" << true << 50 << 17;
    QTest::newRow("prefix before name") << "/data/abcN49E014.hgt" << true << 49 << 14;
    QTest::newRow("directory with diacritics") << "/moje data/výšky/N49E012.hgt" << true << 49 << 12;
    QTest::newRow("dot matches any character") << "N49E014xhgt" << true << 49 << 14;
    QTest::newRow("lower case") << "n49e014.hgt" << false << 0 << 0;
    QTest::newRow("upper case extension") << "N49E014.HGT" << false << 0 << 0;
    QTest::newRow("south") << "S49E014.hgt" << false << 0 << 0;
    QTest::newRow("west") << "N49W014.hgt" << false << 0 << 0;
    QTest::newRow("east 100 and over") << "N49E114.hgt" << false << 0 << 0;
    QTest::newRow("one-digit latitude") << "N9E014.hgt" << false << 0 << 0;
    QTest::newRow("suffix after name") << "N49E014.hgt.bak" << false << 0 << 0;
    QTest::newRow("shorter than a name") << "9E014.hgt" << false << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0;
    QTest::newRow("letter in a digit place") << "N4xE014.hgt" << false << 0 << 0;
}

void TileFormatTest::hgtName()
{
    QFETCH(QString, path);
    QFETCH(bool, recognised);
    QFETCH(int, lat);
    QFETCH(int, lon);

    int gotLat = -1;
    int gotLon = -1;
    QCOMPARE(HgtTile::parseName(path, &gotLat, &gotLon), recognised);
    if (recognised) {
        QCOMPARE(gotLat, lat);
        QCOMPARE(gotLon, lon);
    }
}

void TileFormatTest::chgtName_data()
{
    QTest::addColumn<int>("lat");
    QTest::addColumn<int>("lon");
    QTest::addColumn<QString>("name");

    QTest::newRow("Prague") << 50 << 14 << "N50E014.chgt";
    QTest::newRow("zero") << 0 << 0 << "N00E000.chgt";
    QTest::newRow("one digit each") << 7 << 5 << "N07E005.chgt";
    QTest::newRow("two-digit lon") << 49 << 99 << "N49E099.chgt";
}

void TileFormatTest::chgtName()
{
    QFETCH(int, lat);
    QFETCH(int, lon);
    QFETCH(QString, name);
    QCOMPARE(ChgtTile::fileName(lat, lon), name);

    // The CHGT name repeats the seven characters in front of the HGT extension.
    int parsedLat = -1;
    int parsedLon = -1;
    QVERIFY(HgtTile::parseName(name.left(7) + QStringLiteral(".hgt"), &parsedLat, &parsedLon));
    QCOMPARE(ChgtTile::fileName(parsedLat, parsedLon), name);
}

void TileFormatTest::sample_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("height");

    QTest::newRow("300 m") << QByteArray::fromHex("012C") << 300;
    QTest::newRow("-200 m") << QByteArray::fromHex("FF38") << -200;
    QTest::newRow("void") << QByteArray::fromHex("8000") << -32768;
    QTest::newRow("highest") << QByteArray::fromHex("7FFF") << 32767;
    QTest::newRow("zero") << QByteArray::fromHex("0000") << 0;
    QTest::newRow("high byte only") << QByteArray::fromHex("0100") << 256;
}

void TileFormatTest::sample()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, height);
    QCOMPARE(int(HgtTile::sample(bytes.constData(), 0, 0)), height);
}

void TileFormatTest::tileSizes_data()
{
    QTest::addColumn<int>("q");
    QTest::addColumn<int>("side");
    QTest::addColumn<qint64>("bytes");

    QTest::newRow("q1") << 1 << 1200 << qint64(207360000);
    QTest::newRow("q2") << 2 << 600 << qint64(51840000);
    QTest::newRow("q3") << 3 << 400 << qint64(23040000);
    QTest::newRow("q4") << 4 << 300 << qint64(12960000);
    QTest::newRow("q5") << 5 << 240 << qint64(8294400);
}

void TileFormatTest::tileSizes()
{
    QFETCH(int, q);
    QFETCH(int, side);
    QFETCH(qint64, bytes);
    QCOMPARE(ChgtTile::cellsPerSide(q), side);
    QCOMPARE(ChgtTile::fileSize(q), bytes);
    QCOMPARE(ChgtTile::fileSize(q) % ChgtTile::BytesPerCell, 0);
}

void TileFormatTest::floatsAreLittleEndian()
{
    const float floats[] = {14.0f, -1.5f, 0.0f};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(ChgtTile::writeFloats(&buffer, floats, 3));
    // IEEE-754: 14.0 = 0x41600000, -1.5 = 0xBFC00000, stored low byte first.
    QCOMPARE(buffer.data(), QByteArray::fromHex("00006041" "0000C0BF" "00000000"));
}

RZ_REGISTER_TEST(TileFormatTest);
#include "tst_tileformat.moc"
