#include "ChgtTile.h"
#include "HeightColors.h"
#include "HgtTile.h"
#include "HgtTileGenerator.h"
#include "ReferenceMesh.h"
#include "TileMesh.h"

#include <QTest>

#include <cstring>

#include "TestRegistry.h"

namespace {

// A height inside each colour band.
const qint16 bandHeights[HeightBandCount] = {-5, 100, 250, 350, 450, 550, 700, 900, 1100, 1300, 1600, 2500};

struct Rgb
{
    float r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb bandRgb(int band)
{
    const HeightBand &c = heightColors[band];
    return {float(c.red / 255.0), float(c.green / 255.0), float(c.blue / 255.0)};
}

Rgb rgbOf(const float *vertex)
{
    return {vertex[3], vertex[4], vertex[5]};
}

// Floats must match to the bit: QCOMPARE would forgive a last-place slip.
#define COMPARE_EXACT(actual, expected) \
    QVERIFY2((actual) == (expected), \
             qPrintable(QStringLiteral("%1 != %2").arg(double(actual), 0, 'g', 9).arg(double(expected), 0, 'g', 9)))

// Band chosen by the position of a sample, so a cell's colour tells which
// sample it was built from.
int bandAt(int row, int col)
{
    return (row * 7 + col) % HeightBandCount;
}

} // namespace

class TileMeshTest : public QObject
{
    Q_OBJECT

private slots:
    void rejectsWrongInput_data();
    void rejectsWrongInput();
    void firstCell_data();
    void firstCell();
    void cellLayout_data();
    void cellLayout();
    void cellsReadTheirSample_data();
    void cellsReadTheirSample();
    void topRowAndLastColumnAtQ1();
    void bandEdges_data();
    void bandEdges();
    void wholeTileMatchesReference_data();
    void wholeTileMatchesReference();
};

void TileMeshTest::rejectsWrongInput_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("nullData");
    QTest::addColumn<int>("q");

    QTest::newRow("one byte short") << HgtTile::FileSize - 1 << false << 2;
    QTest::newRow("one byte over") << HgtTile::FileSize + 1 << false << 2;
    QTest::newRow("empty") << 0 << false << 2;
    QTest::newRow("no data") << HgtTile::FileSize << true << 2;
    QTest::newRow("quantity 0") << HgtTile::FileSize << false << 0;
}

void TileMeshTest::rejectsWrongInput()
{
    QFETCH(int, size);
    QFETCH(bool, nullData);
    QFETCH(int, q);

    const QByteArray bytes(HgtTile::FileSize + 1, '\x01');
    QVector<float> vertices(36, 1.0f); // left over from an earlier tile
    QVERIFY(!createTileMesh(nullData ? nullptr : bytes.constData(), size, vertices, 14, 49, q));
    QVERIFY(vertices.isEmpty());
}

void TileMeshTest::firstCell_data()
{
    QTest::addColumn<int>("q");
    QTest::addColumn<int>("lon");
    QTest::addColumn<int>("lat");
    for (int q = 1; q <= 5; ++q)
        QTest::addRow("q%d", q) << q << 14 << 49;
    QTest::newRow("zero corner") << 5 << 0 << 0;
}

void TileMeshTest::firstCell()
{
    QFETCH(int, q);
    QFETCH(int, lon);
    QFETCH(int, lat);

    // The first cell is built from HGT row 1200, column 1; its neighbours
    // carry other heights so a wrong pick shows in the colour.
    HgtTileGenerator tile(1500);
    tile.setSample(1200, 1, 300);
    QVector<float> v;
    QVERIFY(createTileMesh(tile.bytes().constData(), HgtTile::FileSize, v, lon, lat, q));
    QCOMPARE(v.size(), ChgtTile::floatCount(q));

    const float x = float(lon + 1 / 1200.0);
    const float y = float(lat + 1 / 1200.0);
    const float xd = float(double(x) + q / 1200.0);
    const float yd = float(double(y) + q / 1200.0);
    const float expected[6][2] = {{x, y}, {xd, y}, {x, yd}, {x, yd}, {xd, yd}, {xd, y}};
    const Rgb entry2 = bandRgb(2);
    for (int i = 0; i < 6; ++i) {
        const float *vertex = v.constData() + 6 * i;
        COMPARE_EXACT(vertex[0], expected[i][0]);
        COMPARE_EXACT(vertex[1], expected[i][1]);
        COMPARE_EXACT(vertex[2], 0.0f);
        QVERIFY(rgbOf(vertex) == entry2);
    }
}

void TileMeshTest::cellLayout_data()
{
    QTest::addColumn<int>("q");
    for (int q = 1; q <= 5; ++q)
        QTest::addRow("q%d", q) << q;
}

void TileMeshTest::cellLayout()
{
    QFETCH(int, q);
    HgtTileGenerator tile;
    tile.fillRandom(7);
    QVector<float> v;
    QVERIFY(createTileMesh(tile.bytes().constData(), HgtTile::FileSize, v, 17, 50, q));

    const int side = ChgtTile::cellsPerSide(q);
    QCOMPARE(v.size(), qsizetype(side) * side * 36);
    const float *p = v.constData();
    float previousX = 0;
    for (int k = 0; k < side; ++k) {
        float previousY = 0;
        const float x = p[0];
        // Columns run west to east with one X each, at (1 + k q) / 1200.
        COMPARE_EXACT(x, float((1 + k * q) / 1200.0 + 17));
        QVERIFY(k == 0 || x > previousX);
        for (int m = 0; m < side; ++m, p += 36) {
            const float y = p[1];
            const float xd = p[6];
            const float yd = p[13];
            QVERIFY2(p[0] == x, qPrintable(QStringLiteral("cell %1/%2").arg(k).arg(m)));
            QVERIFY(m == 0 || y > previousY);
            previousY = y;
            COMPARE_EXACT(xd, float(double(x) + q / 1200.0));
            COMPARE_EXACT(yd, float(double(y) + q / 1200.0));
            const float corners[6][2] = {{x, y}, {xd, y}, {x, yd}, {x, yd}, {xd, yd}, {xd, y}};
            for (int i = 0; i < 6; ++i) {
                const float *vertex = p + 6 * i;
                if (vertex[0] != corners[i][0] || vertex[1] != corners[i][1] || vertex[2] != 0.0f
                    || !(rgbOf(vertex) == rgbOf(p)))
                    QFAIL(qPrintable(QStringLiteral("column %1 cell %2 vertex %3").arg(k).arg(m).arg(i + 1)));
            }
        }
        previousX = x;
    }
}

void TileMeshTest::cellsReadTheirSample_data()
{
    QTest::addColumn<int>("q");
    for (int q = 1; q <= 5; ++q)
        QTest::addRow("q%d", q) << q;
}

void TileMeshTest::cellsReadTheirSample()
{
    QFETCH(int, q);
    HgtTileGenerator tile;
    tile.fillWith([](int row, int col) { return bandHeights[bandAt(row, col)]; });
    QVector<float> v;
    QVERIFY(createTileMesh(tile.bytes().constData(), HgtTile::FileSize, v, 14, 49, q));

    // Cell (c, r) takes HGT row 1201 - r, column c; at q = 5 that is
    // columns 1, 6, ..., 1196.
    const int side = ChgtTile::cellsPerSide(q);
    int checked = 0;
    for (int k = 0; k < side; ++k) {
        const int c = 1 + k * q;
        for (int m = 0; m < side; ++m) {
            const int r = 1 + m * q;
            if (c > 1199 || r > 1199)
                continue;
            const float *cell = v.constData() + (qsizetype(k) * side + m) * 36;
            if (!(rgbOf(cell) == bandRgb(bandAt(1201 - r, c))))
                QFAIL(qPrintable(QStringLiteral("c=%1 r=%2").arg(c).arg(r)));
            ++checked;
        }
    }
    QCOMPARE(checked, q == 1 ? 1199 * 1199 : side * side);
    if (q == 5)
        COMPARE_EXACT(v.constData()[(qsizetype(side) - 1) * side * 36], float(1196 / 1200.0 + 14));
}

void TileMeshTest::topRowAndLastColumnAtQ1()
{
    // Past the last sample row and column a cell repeats the height read
    // last: the top cell of a column the one below it, the whole last column
    // the sample at c = 1199, r = 1199.
    HgtTileGenerator tile(100);
    tile.setSample(2, 5, 1500);
    tile.setSample(2, 1199, 2000);
    tile.setSample(1, 5, 700);     // row 1 is never read
    tile.setSample(2, 1200, 900);  // nor column 1200
    QVector<float> v;
    QVERIFY(createTileMesh(tile.bytes().constData(), HgtTile::FileSize, v, 14, 49, 1));

    auto cell = [&](int c, int r) { return rgbOf(v.constData() + (qsizetype(c - 1) * 1200 + (r - 1)) * 36); };
    QVERIFY(cell(5, 1200) == bandRgb(10));
    QVERIFY(cell(5, 1199) == bandRgb(10));
    QVERIFY(cell(6, 1200) == bandRgb(1));
    QVERIFY(cell(1199, 1200) == bandRgb(11));
    for (int r = 1; r <= 1200; ++r) {
        if (!(cell(1200, r) == bandRgb(11)))
            QFAIL(qPrintable(QStringLiteral("last column, r=%1").arg(r)));
    }
}

void TileMeshTest::bandEdges_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("band");

    QTest::newRow("void") << -32768 << 0;
    QTest::newRow("-1 m") << -1 << 0;
    QTest::newRow("0 m") << 0 << 0;
    QTest::newRow("1 m") << 1 << 1;
    QTest::newRow("200 m") << 200 << 1;
    QTest::newRow("201 m") << 201 << 2;
    QTest::newRow("300 m") << 300 << 2;
    QTest::newRow("301 m") << 301 << 3;
    QTest::newRow("500 m") << 500 << 4;
    QTest::newRow("501 m") << 501 << 5;
    QTest::newRow("800 m") << 800 << 6;
    QTest::newRow("1000 m") << 1000 << 7;
    QTest::newRow("1001 m") << 1001 << 8;
    QTest::newRow("1200 m") << 1200 << 8;
    QTest::newRow("1400 m") << 1400 << 9;
    QTest::newRow("1401 m") << 1401 << 10;
    QTest::newRow("1800 m") << 1800 << 10;
    QTest::newRow("1801 m") << 1801 << 11;
    QTest::newRow("8000 m") << 8000 << 11;
    QTest::newRow("32767 m") << 32767 << 11;
}

void TileMeshTest::bandEdges()
{
    QFETCH(int, height);
    QFETCH(int, band);

    Rgb direct;
    heightColor(float(height), direct.r, direct.g, direct.b);
    QVERIFY(direct == bandRgb(band));

    HgtTileGenerator tile{qint16(height)};
    QVector<float> v;
    QVERIFY(createTileMesh(tile.bytes().constData(), HgtTile::FileSize, v, 14, 49, 4));
    QVERIFY(rgbOf(v.constData()) == bandRgb(band));
    QVERIFY(rgbOf(v.constData() + v.size() - 6) == bandRgb(band));
}

void TileMeshTest::wholeTileMatchesReference_data()
{
    QTest::addColumn<int>("q");
    QTest::addColumn<int>("lon");
    QTest::addColumn<int>("lat");
    QTest::addColumn<bool>("relief");

    QTest::newRow("q1 random") << 1 << 14 << 49 << false;
    QTest::newRow("q2 relief") << 2 << 0 << 0 << true;
    QTest::newRow("q3 random") << 3 << 99 << 99 << false;
    QTest::newRow("q4 relief") << 4 << 12 << 48 << true;
    QTest::newRow("q5 random") << 5 << 18 << 51 << false;
    QTest::newRow("q5 relief") << 5 << 15 << 50 << true;
}

void TileMeshTest::wholeTileMatchesReference()
{
    QFETCH(int, q);
    QFETCH(int, lon);
    QFETCH(int, lat);
    QFETCH(bool, relief);
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
        QSKIP("compares the in-memory floats with file bytes");

    HgtTileGenerator tile;
    if (relief)
        tile.fillRelief(lat, lon, 11);
    else
        tile.fillRandom(quint32(q * 1000 + lon));
    const QByteArray expected = referenceMesh(tile.bytes(), lon, lat, q);
    QCOMPARE(expected.size(), ChgtTile::fileSize(q));

    QVector<float> v;
    QVERIFY(createTileMesh(tile.bytes().constData(), HgtTile::FileSize, v, lon, lat, q));
    QCOMPARE(qint64(v.size()) * 4, qint64(expected.size()));
    QVERIFY(std::memcmp(v.constData(), expected.constData(), size_t(expected.size())) == 0);
}

RZ_REGISTER_TEST(TileMeshTest);
#include "tst_tilemesh.moc"
