#include "ChgtTile.h"
#include "HeightColors.h"
#include "HgtTile.h"
#include "HgtTileGenerator.h"
#include "ReferenceMesh.h"
#include "TileMesh.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <set>

#include "TestRegistry.h"

namespace {

using Rgb = std::array<float, 3>;

Rgb bandRgb(int band)
{
    const HeightBand &c = heightColors[band];
    return {float(c.red / 255.0), float(c.green / 255.0), float(c.blue / 255.0)};
}

Rgb rgbOf(const float *vertex)
{
    return {vertex[3], vertex[4], vertex[5]};
}

QVector<float> mesh(const HgtTileGenerator &tile, int lon, int lat, int q)
{
    QVector<float> v;
    return createTileMesh(tile.bytes().constData(), HgtTile::FileSize, v, lon, lat, q) ? v : QVector<float>();
}

} // namespace

class TileMeshTest : public QObject
{
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("lat"); // -1: not a tile name
        QTest::addColumn<int>("lon");
        QTest::addColumn<QString>("chgt");

        QTest::newRow("plain") << "N49E014.hgt" << 49 << 14 << "N49E014.chgt";
        QTest::newRow("zero corner") << "N00E000.hgt" << 0 << 0 << "N00E000.chgt";
        QTest::newRow("prefix, path") << "/moje data/výšky/abcN07E099.hgt" << 7 << 99 << "N07E099.chgt";
        QTest::newRow("dot matches any character") << "N49E005xhgt" << 49 << 5 << "N49E005.chgt";
        for (const char *name : {"n49e014.hgt", "N49E014.HGT", "S49E014.hgt", "N49W014.hgt", "N49E114.hgt",
                                 "N49E014.hgt.bak", "9E014.hgt", "N4xE014.hgt"})
            QTest::newRow(name) << name << -1 << 0 << QString();
    }

    void names()
    {
        QFETCH(QString, path);
        QFETCH(int, lat);
        QFETCH(int, lon);
        QFETCH(QString, chgt);
        int gotLat = -1;
        int gotLon = -1;
        QCOMPARE(HgtTile::parseName(path, &gotLat, &gotLon), lat >= 0);
        if (lat >= 0) {
            QCOMPARE(qMakePair(gotLat, gotLon), qMakePair(lat, lon));
            QCOMPARE(ChgtTile::fileName(lat, lon), chgt);
        }
    }

    void rejectsWrongSize()
    {
        const QByteArray bytes(HgtTile::FileSize + 1, '\x01');
        for (int size : {HgtTile::FileSize - 1, HgtTile::FileSize + 1, 0}) {
            QVector<float> vertices(36, 1.0f); // left over from an earlier tile
            QVERIFY(!createTileMesh(bytes.constData(), size, vertices, 14, 49, 2));
            QVERIFY(vertices.isEmpty());
        }
    }

    void topRowAndLastColumnAtQ1()
    {
        // Past the last sample row and column a cell repeats the height read
        // last: the top cell of a column the one below it, the whole last
        // column the sample at c = 1199, r = 1199.
        HgtTileGenerator tile(100);
        tile.setSample(2, 5, 1500);
        tile.setSample(2, 1199, 2000);
        tile.setSample(1, 5, 700);    // row 1 is never read
        tile.setSample(2, 1200, 900); // nor column 1200
        const QVector<float> v = mesh(tile, 14, 49, 1);
        QCOMPARE(v.size(), ChgtTile::floatCount(1));

        auto cell = [&](int c, int r) { return rgbOf(v.constData() + (qsizetype(c - 1) * 1200 + (r - 1)) * 36); };
        QCOMPARE(cell(5, 1200), bandRgb(10));
        QCOMPARE(cell(6, 1200), bandRgb(1));
        QCOMPARE(cell(1199, 1200), bandRgb(11));
        for (int r = 1; r <= 1200; ++r) {
            if (cell(1200, r) != bandRgb(11))
                QFAIL(qPrintable(QStringLiteral("last column, r=%1").arg(r)));
        }
    }

    void bandEdges_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("band");
        const int edges[] = {0, 200, 300, 400, 500, 600, 800, 1000, 1200, 1400, 1800};
        QTest::newRow("void") << -32768 << 0;
        for (int i = 0; i < 11; ++i) {
            QTest::addRow("%d m", edges[i]) << edges[i] << i;
            QTest::addRow("%d m", edges[i] + 1) << edges[i] + 1 << i + 1;
        }
        QTest::newRow("8000 m") << 8000 << 11;
    }

    void bandEdges()
    {
        QFETCH(int, height);
        QFETCH(int, band);
        Rgb direct;
        heightColor(float(height), direct[0], direct[1], direct[2]);
        QCOMPARE(direct, bandRgb(band));
        const QVector<float> v = mesh(HgtTileGenerator(qint16(height)), 14, 49, 4);
        QCOMPARE(rgbOf(v.constData()), bandRgb(band));
        QCOMPARE(rgbOf(v.constData() + v.size() - 6), bandRgb(band));
    }

    void wholeTileMatchesReference_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("lon");
        QTest::addColumn<int>("lat");
        QTest::addColumn<qint64>("bytes");
        QTest::newRow("q1") << 1 << 14 << 49 << qint64(207360000);
        QTest::newRow("q2") << 2 << 0 << 0 << qint64(51840000);
        QTest::newRow("q3") << 3 << 17 << 50 << qint64(23040000);
        QTest::newRow("q4") << 4 << 12 << 48 << qint64(12960000);
        QTest::newRow("q5") << 5 << 99 << 99 << qint64(8294400);
    }

    // Byte for byte against the plain computation: coordinates, vertex order,
    // one colour per cell, the sample each cell reads and the column count.
    void wholeTileMatchesReference()
    {
        QFETCH(int, q);
        QFETCH(int, lon);
        QFETCH(int, lat);
        QFETCH(qint64, bytes);
        if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
            QSKIP("compares the in-memory floats with file bytes");
        HgtTileGenerator tile;
        tile.fillRandom(quint32(q * 1000 + lon));
        const QByteArray expected = referenceMesh(tile.bytes(), lon, lat, q);
        const QVector<float> v = mesh(tile, lon, lat, q);
        QCOMPARE(ChgtTile::fileSize(q), bytes);
        QCOMPARE(qint64(v.size()) * 4, bytes);
        QCOMPARE(qint64(expected.size()), bytes);
        const auto *got = reinterpret_cast<const quint32 *>(v.constData());
        const auto *want = reinterpret_cast<const quint32 *>(expected.constData());
        const qsizetype at = std::mismatch(got, got + v.size(), want).first - got;
        QVERIFY2(at == v.size(), qPrintable(QStringLiteral("cell %1, vertex %2, float %3 differs")
                                                .arg(at / 36).arg(at % 36 / 6 + 1).arg(at % 6)));

        // The comparison only has power if the tile spans every colour band.
        std::set<Rgb> colours;
        for (qsizetype i = 0; i < v.size(); i += 36)
            colours.insert(rgbOf(v.constData() + i));
        QCOMPARE(colours.size(), size_t(HeightBandCount));
    }
};

RZ_REGISTER_TEST(TileMeshTest);
#include "tst_tilemesh.moc"
