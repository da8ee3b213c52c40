#include "HeightColors.h"
#include "LevelChoice.h"
#include "LodTiles.h"
#include "TestRegistry.h"
#include "TileReading.h"

#include <QTest>

#include <cmath>
#include <cstring>
#include <functional>

namespace {

quint32 bitsOf(float f)
{
    quint32 b;
    std::memcpy(&b, &f, 4);
    return b;
}

// The first cell index (bytes / 144) where two tiles differ, or -1.
qint64 firstDifferentCell(const QByteArray &a, const QByteArray &b)
{
    const qsizetype n = qMin(a.size(), b.size());
    const auto at = std::mismatch(a.cbegin(), a.cbegin() + n, b.cbegin()).first - a.cbegin();
    return at < n ? at / 144 : a.size() == b.size() ? -1 : n / 144;
}

// The grid holds corner, quantity, a byte per cell, and gives cells back.
void checkGrid(const TileGrid &grid, int q, int lat, int lon, const QByteArray &cells)
{
    QCOMPARE(grid.quantity(), q);
    QCOMPARE(grid.lat(), lat);
    QCOMPARE(grid.lon(), lon);
    QCOMPARE(grid.side(), 1199 / q + 1);
    QCOMPARE(grid.heldBytes(), qint64(grid.side()) * grid.side());
    QCOMPARE(grid.cellCount(), cells.size() / 144);
    QCOMPARE(grid.hasHoles(), cells.size() < TileGrid::fileBytes(q));
    const TileLevel stored(grid, q);
    QCOMPARE(firstDifferentCell(levelCells(stored, stored.wholeTile()), cells), -1);
}

qsizetype middleOf(const QByteArray &tile)
{
    return tile.size() / 144 / 2 * 144;
}

void setWord(QByteArray &tile, qsizetype byte, quint32 value)
{
    qToLittleEndian(value, tile.data() + byte);
}

void flipBits(QByteArray &tile, qsizetype byte, quint32 mask)
{
    setWord(tile, byte, qFromLittleEndian<quint32>(tile.constData() + byte) ^ mask);
}

using Damage = std::function<void(QByteArray &tile)>;

// What a recognised tile holds.
constexpr int NoGrid = 0, Intact = 1, AsItIs = 2;

// quantity, the border's cells left out first, damage (null: every column
// one cell east), what a recognised tile holds
using Damaged = std::tuple<int, bool, Damage, int>;
// kind, quantity, level, border's cells left out, corner latitude and longitude
using Level = std::tuple<Kind, int, int, bool, int, int>;
using Rule = std::tuple<int, QSize, QRectF, int>;

} // namespace

Q_DECLARE_METATYPE(Damaged)
Q_DECLARE_METATYPE(Level)

class TileGridTest : public QObject
{
    Q_OBJECT

    LodTiles tiles;

private slots:
    // A tile of random bands, damaged or with cells left out, gives no grid,
    // the intact tile's (what a reader drops was damaged) or its own. The
    // first cell present gives quantity and corner, wherever it lies.
    void recognition_data()
    {
        QTest::addColumn<Damaged>("damaged");
        QTest::addRow("q1 shifted east by one cell") << Damaged{1, false, Damage(), NoGrid};
        for (int q : {3, 4})
            QTest::addRow("q%d with holes", q) << Damaged{q, true, [](QByteArray &) {}, Intact};
        for (int q : {1, 5}) {
            const auto leaving = [q](const TestTiles::Holes &h) { return Damage([q, h](QByteArray &t) { t = TestTiles::withHoles(t, q, h); }); };
            // At q = 1 the last cell's far x and y are whole degrees.
            QTest::addRow("q%d only the last cell", q) << Damaged{q, false, leaving([q](int i, int j) { return i <= 1200 - q || j <= 1200 - q; }), AsItIs};
            QTest::addRow("q%d a single cell", q) << Damaged{q, false, leaving([](int i, int j) { return i != 601 || j != 301; }), AsItIs};
            QTest::addRow("q%d only the first column", q) << Damaged{q, false, leaving([](int i, int) { return i > 1; }), AsItIs};
            if (q == 5) {
                QTest::newRow("q5 north and east edges left out") << Damaged{q, false, leaving([](int i, int j) { return i >= 1196 || j >= 1196; }), AsItIs};
                QTest::newRow("q5 first cell left out") << Damaged{q, false, leaving([](int i, int j) { return i == 1 && j == 1; }), AsItIs};
            }
        }
        for (const auto &[q, holes] : {std::pair{5, false}, {5, true}, {2, true}}) {
            const auto row = [q = q, holes = holes](const char *name, int holds, const Damage &d) {
                if (!holes || d)
                    QTest::addRow("q%d%s %s", q, holes ? " with holes" : "", name) << Damaged{q, holes, d, holds};
            };
            row("intact", Intact, [](QByteArray &) {});
            row("flipped low bit of a far x", NoGrid, [](QByteArray &t) { flipBits(t, middleOf(t) + 24, 1); });
            row("flipped bit of a y in the last cell", NoGrid, [](QByteArray &t) { flipBits(t, t.size() - 44, 0x100); });
            row("flipped exponent bit of the first x", NoGrid, [](QByteArray &t) { flipBits(t, 0, 0x00800000); });
            row("z 1.0", NoGrid, [](QByteArray &t) { setWord(t, middleOf(t) + 3 * 24 + 8, bitsOf(1.0f)); });
            // The same picture, but not what is written.
            row("z -0.0", NoGrid, [](QByteArray &t) { setWord(t, middleOf(t) + 5 * 24 + 8, 0x80000000u); });
            row("colour not in the table", NoGrid, [](QByteArray &t) {
                for (int v = 0; v < 6; ++v)
                    setWord(t, middleOf(t) + v * 24 + 12, bitsOf(0.5f));
            });
            row("cell of mixed colours", NoGrid, [](QByteArray &t) {
                // Vertex 4 gets a band other than the cell's.
                const qsizetype m = middleOf(t);
                const int other = qFromLittleEndian<quint32>(t.constData() + m + 12) == bitsOf(float(heightColors[3].red / 255.0)) ? 7 : 3;
                float rgb[3];
                heightColor(float(heightColors[other].bound), rgb[0], rgb[1], rgb[2]);
                for (int i = 0; i < 3; ++i)
                    setWord(t, m + 3 * 24 + 12 + 4 * i, bitsOf(rgb[i]));
            });
            row("NaN colour", NoGrid, [](QByteArray &t) { setWord(t, middleOf(t) + 2 * 24 + 16, 0x7fc00000u); });
            row("one cell short", AsItIs, [](QByteArray &t) { t.chop(144); });
            row("NaN triangle appended", Intact, [](QByteArray &t) { t.append(TestTiles::nanTriangle()); });
            row("NaN triangle in the middle", Intact, [](QByteArray &t) { t.insert(middleOf(t) + 72, TestTiles::nanTriangle()); });
            row("triangle with infinite z appended", Intact, [](QByteArray &t) {
                t += t.left(72);
                setWord(t, t.size() - 64, bitsOf(INFINITY));
            });
            row("30 bytes appended", Intact, [](QByteArray &t) { t.append(QByteArray(30, '\0')); });
            // Half a cell is left when the reader drops it.
            row("NaN x in a cell", NoGrid, [](QByteArray &t) { setWord(t, middleOf(t) + 72, 0x7fc00000u); });
            row("first cell twice", NoGrid, [](QByteArray &t) { t.insert(0, t.left(144)); });
            row("one byte short", NoGrid, [](QByteArray &t) { t.chop(1); });
            row("one cell longer", NoGrid, [](QByteArray &t) { t.append(t.right(144)); });
            row("empty", NoGrid, [](QByteArray &t) { t.clear(); });
            row("shifted east by one cell", NoGrid, Damage());
            row("cells rotated by one", NoGrid, [](QByteArray &t) { t = t.mid(144) + t.right(144); });
            row("two cells swapped", NoGrid, [](QByteArray &t) {
                std::swap_ranges(t.data() + middleOf(t), t.data() + middleOf(t) + 144, t.data() + middleOf(t) + 144);
            });
        }
    }

    void recognition()
    {
        QFETCH(Damaged, damaged);
        const auto &[q, holes, damage, holds] = damaged;
        const int lat = 49, lon = 15;
        QByteArray tile = damage ? tiles.cells(Kind::Random, lat, lon, q, holes)
                                 : TestTiles::referenceMesh(tiles.hgt(Kind::Random, lat, lon), lon, lat, q, false, 1);
        const QByteArray intact = tile;
        if (damage)
            damage(tile);
        const TileGrid grid = TileGrid::recognise(tile.constData(), tile.size());
        QCOMPARE(grid.isNull(), holds == NoGrid);
        const QByteArray expected = holds == Intact ? intact : tile;
        if (holds != NoGrid)
            checkGrid(grid, q, lat, lon, expected);
        // Unaligned, and with a NaN triangle appended to whole triangles, the same.
        if (QTest::currentTestFailed() || q != 5)
            return;
        const QByteArray shifted = QByteArray(1, 'x') + tile + TestTiles::nanTriangle();
        QCOMPARE(TileGrid::recognise(shifted.constData() + 1, tile.size()).isNull(), holds == NoGrid);
        if (holds != NoGrid && tile.size() % 72 == 0)
            checkGrid(TileGrid::recognise(shifted.constData() + 1, shifted.size() - 1), q, lat, lon, expected);
    }

    // Level k of a finer tile is, byte for byte, the tile converted at k
    // (above 5 by the same rule); with holes, the same posts' cells left
    // out. The file the conversion writes, opened as the views open it, is
    // a grid without floats that gives the file back byte for byte.
    void levelsMatchConversion_data()
    {
        QTest::addColumn<Level>("level");
        for (int k : {1, 2, 3, 4, 5, 6, 8, 25, 48, 1200})
            QTest::addRow("relief q1 k%d", k) << Level{Kind::Relief, 1, k, false, 50, 13};
        for (const auto &[kind, q, k, lat, lon] :
             {std::tuple{Kind::Random, 1, 5, 50, 13}, {Kind::Relief, 2, 4, 50, 13}, {Kind::Random, 2, 4, 50, 13},
              {Kind::Relief, 3, 3, 50, 13}, {Kind::Relief, 4, 4, 50, 13}, {Kind::Relief, 5, 5, 50, 13},
              {Kind::Random, 5, 10, 50, 13}, {Kind::Random, 5, 600, 50, 13}, {Kind::Random, 4, 12, 50, 13},
              {Kind::Random, 3, 3, 50, 17}, {Kind::Relief, 2, 2, 0, 0}, {Kind::Random, 4, 4, 99, 99}})
            QTest::addRow("%s q%d k%d N%dE%d", kind == Kind::Relief ? "relief" : "random", q, k, lat, lon)
                << Level{kind, q, k, false, lat, lon};
        for (const auto &[q, k] : {std::pair{1, 1}, {1, 5}, {1, 6}, {1, 1200}, {2, 4}, {5, 10}, {4, 12}})
            QTest::addRow("relief q%d k%d with holes", q, k) << Level{Kind::Relief, q, k, true, 50, 13};
    }

    void levelsMatchConversion()
    {
        QFETCH(Level, level);
        const auto &[kind, q, k, holes, lat, lon] = level;
        const TileGrid &g = *tiles.grid(kind, lat, lon, q, holes);
        if (k == q && !holes) {
            const QString path = tiles.converted(kind, lat, lon, q);
            QCOMPARE(QFileInfo(path).size(), TileGrid::fileBytes(q));
            const TileReading::OpenedTile opened = TileReading::open(path, true);
            QVERIFY(opened.grid && opened.triangles.polygons.isEmpty() && opened.triangles.floats.isEmpty());
            checkGrid(*opened.grid, q, lat, lon, TestTiles::fileBytes(path));
            QFile::remove(path);
        }
        QVERIFY(g.hasLevel(k));
        QCOMPARE(g.hasHoles(), holes);
        const TileLevel l(g, k);
        QCOMPARE(l.side(), 1199 / k + 1);
        const QByteArray full = k <= 5 ? tiles.cells(kind, lat, lon, k)
                                       : TestTiles::referenceMesh(tiles.hgt(kind, lat, lon), lon, lat, k);
        const auto present = [&](int c, int r) { return !holes || !TestTiles::leftOut(TestTiles::borderHoles, k, c, r); };
        // The whole level, and a part of it: the same cells, in the same order.
        for (const CellRange &range : {l.wholeTile(), CellRange{l.side() / 3, l.side() / 2 + 1, l.side() / 4, l.side() - 1}}) {
            QByteArray expected;
            expected.reserve(range.cellCount() * 144);
            for (int c = range.column0; c < range.column1; ++c) {
                for (int r = range.row0; r < range.row1; ++r) {
                    if (present(c, r))
                        expected += full.mid((qsizetype(c) * l.side() + r) * 144, 144);
                }
            }
            if (range == l.wholeTile())
                QCOMPARE(expected.size() < full.size(), holes);
            QCOMPARE(firstDifferentCell(levelCells(l, range), expected), -1);
        }
    }

    // Shared far edges are, bit for bit, the next cell's near edge (the
    // last one's the next tile's first at any level); stored ones leave gaps.
    void sharedEdges_data()
    {
        QTest::addColumn<int>("corner");
        QTest::addColumn<int>("k");
        QTest::addColumn<bool>("endGap"); // the stored last cell misses the next tile
        for (const auto &[corner, k, endGap] : {std::tuple{14, 1, false}, {18, 5, false}, {12, 5, false},
                                                {99, 2, false}, {0, 2, false}, {13, 3, true}, {17, 6, true}})
            QTest::addRow("%d k%d", corner, k) << corner << k << endGap;
    }

    void sharedEdges()
    {
        QFETCH(int, corner);
        QFETCH(int, k);
        QFETCH(bool, endGap);
        const CellEdges stored(corner, k), shared(corner, k, CellEdges::FarEdge::Shared);
        const CellEdges nextTile(corner + 1, 5 * k);
        const int n = stored.count();
        QCOMPARE(shared.count(), n);
        int gaps = 0;
        for (int i = 0; i < n; ++i) {
            const float next = i + 1 < n ? stored.nearEdge(i + 1) : nextTile.nearEdge(0);
            // Bit for bit: QCOMPARE would call floats one step apart equal.
            QVERIFY2(bitsOf(shared.nearEdge(i)) == bitsOf(stored.nearEdge(i)) && bitsOf(shared.farEdge(i)) == bitsOf(next),
                     qPrintable(QString::number(i)));
            gaps += bitsOf(stored.farEdge(i)) != bitsOf(next);
        }
        QVERIFY(gaps > 0); // else this shows nothing
        QCOMPARE(bitsOf(stored.farEdge(n - 1)) != bitsOf(nextTile.nearEdge(0)), endGap);
        // The cells reaching into a span and one more each way, within the tile.
        const auto reaching = [&](double low, double high) {
            QPoint cells;
            stored.reaching(low, high, &cells.rx(), &cells.ry());
            return cells;
        };
        const auto middle = [&](int i) { return (double(stored.nearEdge(i)) + stored.farEdge(i)) / 2; };
        QCOMPARE(reaching(middle(3), middle(n / 2)), QPoint(2, n / 2 + 2));
        QCOMPARE(reaching(corner - 1.0, middle(0)), QPoint(0, 2));
        QCOMPARE(reaching(middle(n - 1), corner + 2.0), QPoint(n - 2, n));
        QCOMPARE(reaching(corner + 1.5, corner + 2.0), QPoint());
    }

    void levelRule()
    {
        const QRectF s(QPointF(11.0, 48.3), QPointF(20.0, 51.3)); // the start-up extent
        // quantity, view's pixels, extent, the level chosen
        for (const auto &[q, pixels, extent, level] : {Rule{1, QSize(1800, 600), s, 3}, // chgt2png
                                                       {3, QSize(1280, 900), s, 6},
                                                       {4, QSize(1280, 900), s, 8},
                                                       {5, QSize(1079, 900), s, 10}, // cells just over half a pixel
                                                       {1, QSize(100, 100), s, 60},
                                                       {1, QSize(2, 2), s, 1200}, // the coarsest
                                                       {5, QSize(1, 1), s, 1200}})
            QCOMPARE(LevelChoice::levelFor(q, pixels.width() / extent.width(), pixels.height() / extent.height()), level);
    }
};

RZ_REGISTER_TEST(TileGridTest);
#include "tst_tilegrid.moc"
