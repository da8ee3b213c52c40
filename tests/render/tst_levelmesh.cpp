#include "LevelMesh.h"
#include "LodTiles.h"
#include "TestRegistry.h"

#include <QTest>

#include <cstring>

class LevelMeshTest : public QObject
{
    Q_OBJECT

    LodTiles tiles;

private slots:
    // Merged runs paint the pixels of their cells, through the painter view's
    // drawing, at coarse and fine levels, whole tiles and cut ones, across
    // the seam of N49E014 and N49E015, with cells left out; and they are fewer.
    void runsPaintTheirCells_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("level");
        QTest::addColumn<QRect>("window"); // hundredths of a degree
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("holes");
        QTest::addColumn<bool>("inRows");
        const QRect twoTiles(1390, 5010, 220, -120), cut(1420, 4990, 130, -60);
        for (bool rows : {false, true}) {
            const auto row = [rows](const char *name, int q, int level, QRect window, QSize size, bool holes) {
                QTest::addRow("%sq%d level %d, %s, %s", holes ? "holes " : "", q, level, name, rows ? "rows" : "columns")
                    << q << level << window << size << holes << rows;
            };
            row("two whole tiles", 5, 5, twoTiles, QSize(1280, 700), true);
            row("up close", 1, 1, QRect(1420, 4975, 3, -2), QSize(900, 600), true);
            row("cut", 1, 4, cut, QSize(1203, 877), true);
            row("two whole tiles", 5, 5, twoTiles, QSize(1280, 700), false);
            row("odd size", 5, 10, twoTiles, QSize(603, 331), false);
            row("the seam up close", 1, 1, QRect(1497, 4953, 6, -3), QSize(1100, 520), false);
            row("cut", 1, 3, cut, QSize(1203, 877), false);
            row("tiny", 2, 24, QRect(1380, 5020, 240, -140), QSize(97, 61), false);
            row("corner of cells", 1, 2, QRect(1449, 4951, 2, -2), QSize(640, 480), false);
        }
    }

    void runsPaintTheirCells()
    {
        QFETCH(int, q);
        QFETCH(int, level);
        QFETCH(QRect, window);
        QFETCH(QSize, size);
        QFETCH(bool, holes);
        QFETCH(bool, inRows);
        Triangles cells, runs;
        qint64 rectangles = 0, holesSeen = 0;
        for (int lon : {14, 15}) {
            const TileGrid &g = *tiles.grid(Kind::Relief, 49, lon, q, holes);
            QCOMPARE(g.hasHoles(), holes);
            const TileLevel l(g, level, CellEdges::FarEdge::Shared);
            const CellRange range = l.visibleCells(areaOf(window));
            const QByteArray floats = levelCells(l, range);
            cells.add(floats);
            const LevelMesh mesh(l, inRows ? LevelMesh::Runs::InRows : LevelMesh::Runs::InColumns);
            const QByteArray runFloats = mesh.vertices(range);
            QCOMPARE(runFloats.size(), qsizetype(mesh.rectangleCount(range) * LevelMesh::BytesPerRectangle));
            runs.add(runFloats);
            rectangles += mesh.rectangleCount(range);
            holesSeen += range.cellCount() - floats.size() / 144;
        }
        QVERIFY(!cells.polygons.isEmpty());
        QCOMPARE(holesSeen > 0, holes);
        QCOMPARE(qint64(runs.polygons.size()), 2 * rectangles);
        // Relief lies in bands: many cells of a column share one.
        QVERIFY2(rectangles < cells.polygons.size() / 4,
                 qPrintable(QStringLiteral("%1 rectangles of %2 cells").arg(rectangles).arg(cells.polygons.size() / 2)));
        QVERIFY(runs.painted(size, window) == cells.painted(size, window));
    }

    // The records themselves: a run's corners are its first and last cells'
    // outer corners, its colour theirs, in a cell's vertex order.
    void recordsOfARun_data()
    {
        QTest::addColumn<bool>("inRows");
        QTest::addColumn<bool>("holes");
        QTest::newRow("a column") << false << false;
        QTest::newRow("a row") << true << false;
        QTest::newRow("a column with holes") << false << true;
        QTest::newRow("a row with holes") << true << true;
    }

    void recordsOfARun()
    {
        QFETCH(bool, inRows);
        QFETCH(bool, holes);
        const TileLevel l(*tiles.grid(Kind::Relief, 49, 14, 5, holes), 5, CellEdges::FarEdge::Shared);
        const int line = 100;
        const CellRange range = inRows ? CellRange{0, l.side(), line, line + 1} : CellRange{line, line + 1, 0, l.side()};
        // The line's cells one by one, in their order along it; where each one's floats begin.
        const QByteArray floats = levelCells(l, range);
        const auto *cell = reinterpret_cast<const float *>(floats.constData());
        const auto band = [&](int i) { return inRows ? l.band(i, line) : l.band(line, i); };
        std::vector<int> at(size_t(l.side()), -1);
        int present = 0;
        for (int i = 0; i < l.side(); ++i) {
            if (band(i) != TileGrid::NoCell)
                at[size_t(i)] = 36 * present++;
        }
        QCOMPARE(qsizetype(present) * 144, floats.size());
        QCOMPARE(present < l.side(), holes);
        const QByteArray runFloats =
            LevelMesh(l, inRows ? LevelMesh::Runs::InRows : LevelMesh::Runs::InColumns).vertices(range);
        const auto *run = reinterpret_cast<const float *>(runFloats.constData());
        const int rectangles = int(runFloats.size() / LevelMesh::BytesPerRectangle);
        int i = 0;
        for (int n = 0; n < rectangles; ++n, run += 36) {
            while (i < l.side() && band(i) == TileGrid::NoCell)
                ++i;
            QVERIFY(i < l.side());
            int end = i + 1;
            while (end < l.side() && band(end) == band(i))
                ++end;
            const float *first = cell + at[size_t(i)], *last = cell + at[size_t(end - 1)];
            // Vertices SW, SE, NW, NW, NE, SE: in a column the south ones come from
            // the first cell, the north ones from the last; in a row the west
            // ones from the first, the east ones from the last.
            const bool fromLast[6] = {false, inRows, !inRows, !inRows, true, inRows};
            for (int v = 0; v < 6; ++v) {
                // Bit for bit: the shared edges are the very floats of the cells.
                QVERIFY2(std::memcmp(run + 6 * v, (fromLast[v] ? last : first) + 6 * v, 6 * sizeof(float)) == 0,
                         qPrintable(QStringLiteral("rectangle %1 vertex %2").arg(n).arg(v)));
            }
            i = end;
        }
        while (i < l.side() && band(i) == TileGrid::NoCell)
            ++i;
        QCOMPARE(i, l.side());
    }
};

RZ_REGISTER_TEST(LevelMeshTest);
#include "tst_levelmesh.moc"
