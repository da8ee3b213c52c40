#include "ReferenceMesh.h"
#include "TileMeshBuilder.h"

class TileMeshTest : public QObject
{
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("chgt"); // empty: not a tile name
        QTest::newRow("plain") << "N49E014.hgt" << "N49E014.chgt";
        QTest::newRow("zero fill") << "N00E000.hgt" << "N00E000.chgt";
        QTest::newRow("prefix, path") << "/moje data/výšky/abcN07E099.hgt" << "N07E099.chgt";
        // The dot matches any character, a line break and a lone surrogate too.
        for (const QString &dot : {QString("x"), QString("\n"), QString(QChar(0xd868))})
            QTest::addRow("dot as %d", dot.at(0).unicode()) << "N49E005" + dot + "hgt" << "N49E005.chgt";
        QTest::newRow("digits are ASCII only") << QString("N4") + QChar(0x0663) + "E014.hgt" << QString();
        for (const char *name : {"n49e014.hgt", "N49E014.HGT", "S49E014.hgt", "N49W014.hgt", "N49E114.hgt",
                                 "N49E014.hgt.bak", "9E014.hgt", "N4xE014.hgt"})
            QTest::newRow(name) << name << QString();
    }

    void names()
    {
        QFETCH(QString, path);
        QFETCH(QString, chgt);
        int lat = -1, lon = -1;
        QCOMPARE(HgtTile::parseName(path, &lat, &lon), !chgt.isEmpty());
        QCOMPARE(chgt.isEmpty() ? chgt : ChgtTile::fileName(lat, lon), chgt);
    }

    void meshes_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("height"); // 9999: random heights in every band, voids among them
        for (int q = 1; q <= 5; ++q)
            QTest::addRow("q%d", q) << q << 9999;
        QTest::newRow("q3, every sample void") << 3 << -32768;
        for (int h : {0, 1, 200, 201, 300, 301, 400, 401, 500, 501, 600, 601, 800, 801, 1000, 1001, 1200, 1201, 1400,
                      1401, 1800, 1801, 8000})
            QTest::addRow("%d m", h) << 5 << h;
    }

    // Byte for byte (on a little-endian host) the reference; with holes
    // built in two ranges of columns, as the writer builds them in batches.
    void meshes()
    {
        QFETCH(int, q);
        QFETCH(int, height);
        const int lon = q * 24 - 21, lat = q * 12 - 12; // 3 .. 99, 0 .. 48
        const QByteArray tile = height == 9999 ? randomTile(quint32(q)) : HgtTileGenerator(qint16(height)).bytes();
        const TileMeshBuilder builder(tile.constData(), lon, lat, q);
        QVector<float> v(builder.floatCount());
        QCOMPARE(builder.buildColumns(v.data(), 0, builder.columnCount()), builder.floatCount());
        const auto bytes = [&v](qint64 floats) {
            return QByteArray::fromRawData(reinterpret_cast<const char *>(v.constData()), floats * 4);
        };
        QVERIFY(bytes(v.size()) == referenceMesh(tile, lon, lat, q));
        const TileMeshBuilder holed(tile.constData(), lon, lat, q, TileMeshBuilder::Voids::Holes);
        const int half = holed.columnCount() / 2;
        const qint64 first = holed.buildColumns(v.data(), 0, half);
        const qint64 floats = first + holed.buildColumns(v.data() + first, half, holed.columnCount());
        QVERIFY(bytes(floats) == referenceMesh(tile, lon, lat, q, true));
    }
};

RZ_REGISTER_TEST(TileMeshTest);
#include "tst_tilemesh.moc"
