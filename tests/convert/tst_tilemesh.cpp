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

    void matchesReference_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<int>("height"); // 9999: random heights in every band
        for (const auto &[q, bytes] : {std::pair{1, 207360000}, {2, 51840000}, {3, 23040000}, {4, 12960000}, {5, 8294400}})
            QTest::addRow("q%d", q) << q << qint64(bytes) << 9999;
        for (int h : {-32768, 0, 1, 200, 201, 300, 301, 400, 401, 500, 501, 600, 601, 800, 801, 1000, 1001, 1200,
                      1201, 1400, 1401, 1800, 1801, 8000})
            QTest::addRow("%d m", h) << 5 << qint64(8294400) << h;
    }

    // Byte for byte (on a little-endian host): coordinates, vertex order, one
    // colour per cell, band edges, the sample each cell reads, column count;
    // at q = 1 the top row and the last column repeat the height read last.
    void matchesReference()
    {
        QFETCH(int, q);
        QFETCH(qint64, bytes);
        QFETCH(int, height);
        const int lon = q * 24 - 21, lat = q * 12 - 12; // 3 .. 99, 0 .. 48
        HgtTileGenerator tile{qint16(height)};
        if (height == 9999)
            tile.fillRandom(quint32(q));
        const TileMeshBuilder builder(tile.bytes().constData(), lon, lat, q);
        QVector<float> v(builder.floatCount());
        builder.buildColumns(v.data(), 0, builder.columnCount());
        QCOMPARE(qint64(v.size()) * 4, bytes);
        QCOMPARE(v.mid(0, 3), (QVector<float>{float(1 / 1200.0 + lon), float(1 / 1200.0 + lat), 0.0f}));
        QVERIFY(QByteArray::fromRawData(reinterpret_cast<const char *>(v.constData()), bytes)
                == referenceMesh(tile.bytes(), lon, lat, q));
        auto rgb = [&](int c, int r) { return v.mid((qsizetype(c - 1) * 1200 + (r - 1)) * 36 + 3, 3); };
        for (int i = 1; q == 1 && i <= 1200; ++i) {
            QCOMPARE(rgb(i, 1200), rgb(i, 1199));
            QCOMPARE(rgb(1200, i), rgb(1199, 1199));
        }
    }

    void holes_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<QString>("voids");
        for (int q = 1; q <= 5; ++q)
            QTest::addRow("q%d, scattered voids", q) << q << "scattered";
        // At q = 1 the top row and the last column repeat the sample read
        // last, and are holes exactly where it is void.
        QTest::newRow("q1, void row 2") << 1 << "row 2";
        QTest::newRow("q1, void at row 2, column 1199") << 1 << "corner";
        QTest::newRow("q3, every sample void") << 3 << "all";
        QTest::newRow("q5, no void") << 5 << "none";
    }

    // A cell whose height is void is left out, the other cells are those of
    // the full tile, in order; the full tile colours the void like 0 m.
    void holes()
    {
        QFETCH(int, q);
        QFETCH(QString, voids);
        HgtTileGenerator tile;
        tile.fillRandom(quint32(7 * q));
        tile.fillWith([&](int row, int col) -> qint16 {
            const bool isVoid = voids == "all" || (voids == "row 2" && row == 2)
                                || (voids == "corner" && row == 2 && col == 1199)
                                || (voids == "scattered" && (row * 7 + col * 13) % 29 < 3);
            const qint16 h = tile.sample(row, col);
            return isVoid ? TileMeshBuilder::Void : h == TileMeshBuilder::Void ? qint16(0) : h;
        });
        const QByteArray full = referenceMesh(tile.bytes(), 15, 49, q);
        const QByteArray expected = referenceMesh(tile.bytes(), 15, 49, q, true);
        const TileMeshBuilder holed(tile.bytes().constData(), 15, 49, q, TileMeshBuilder::Voids::Holes);
        QVector<float> v(holed.floatCount());
        // Two ranges of columns, as the writer builds them in batches.
        const int half = holed.columnCount() / 2;
        const qint64 first = holed.buildColumns(v.data(), 0, half);
        const qint64 floats = first + holed.buildColumns(v.data() + first, half, holed.columnCount());
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(v.constData()), floats * 4), expected);
        QCOMPARE(floats == holed.floatCount(), voids == "none");
        if (voids == "all")
            QCOMPARE(floats, 0);
        const TileMeshBuilder coloured(tile.bytes().constData(), 15, 49, q);
        QCOMPARE(coloured.buildColumns(v.data(), 0, coloured.columnCount()), coloured.floatCount());
        QVERIFY(QByteArray::fromRawData(reinterpret_cast<const char *>(v.constData()), full.size()) == full);
    }
};

RZ_REGISTER_TEST(TileMeshTest);
#include "tst_tilemesh.moc"
