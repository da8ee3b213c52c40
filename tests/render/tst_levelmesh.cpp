#include "HgtTileGenerator.h"
#include "LevelMesh.h"
#include "MapPainter.h"
#include "TestRegistry.h"
#include "TestTiles.h"
#include "TileGrid.h"
#include "TileLevel.h"
#include "TileMeshBuilder.h"
#include "TilePolygons.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <cstring>
#include <map>

namespace {

// A tile as the conversion writes it, recognised as a grid; with holes,
// the border's cells left out.
TileGrid reliefGrid(int lat, int lon, int q, bool holes = false)
{
    HgtTileGenerator hgt;
    hgt.fillRelief(lat, lon, 7);
    const QByteArray source = hgt.bytes();
    const TileMeshBuilder builder(source.constData(), lon, lat, q);
    QByteArray cells(qsizetype(builder.floatCount()) * 4, Qt::Uninitialized);
    builder.buildColumns(reinterpret_cast<float *>(cells.data()), 0, builder.columnCount());
    if (holes)
        cells = TestTiles::withHoles(cells, q, TestTiles::borderHoles);
    return TileGrid::recognise(cells.constData(), cells.size());
}

// The cells of range the level has, as floats.
QByteArray cellFloats(const TileLevel &level, const CellRange &range)
{
    QByteArray floats(qsizetype(range.cellCount()) * 144, Qt::Uninitialized);
    floats.truncate(qsizetype(level.writeCells(range, reinterpret_cast<float *>(floats.data()))) * 144);
    return floats;
}

void appendFloats(const QByteArray &floats, QVector<ColoredPolygon> &polygons)
{
    TilePolygons::appendTriangles(reinterpret_cast<const float *>(floats.constData()), floats.size() / 4,
                                  polygons);
}

QImage paint(const QVector<ColoredPolygon> &polygons, const QSize &size, const QRect &window)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    MapPainter().paint(painter, size, window, polygons, {}, false);
    return image;
}

} // namespace

class LevelMeshTest : public QObject
{
    Q_OBJECT

    std::map<int, TileGrid> grids; // N49E014 and N49E015 by holes, quantity, then lon

    const TileGrid &grid(int q, int lon, bool holes = false)
    {
        const int key = holes * 10000 + q * 1000 + lon;
        auto it = grids.find(key);
        if (it == grids.end())
            it = grids.emplace(key, reliefGrid(49, lon, q, holes)).first;
        return it->second;
    }

private slots:
    // Merged runs paint the pixels of their cells, through the painter view's
    // drawing, at coarse and fine levels, whole tiles and cut ones, across
    // the seam of two tiles; and they are fewer.
    void runsPaintTheirCells_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("level");
        QTest::addColumn<QRect>("window"); // hundredths of a degree
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("inRows");
        QTest::addColumn<bool>("holes");
        for (bool rows : {false, true}) {
            const char *runs = rows ? "rows" : "columns";
            // Cells left out: runs stop at them.
            QTest::addRow("holes q5 level 5, two whole tiles, %s", runs) << 5 << 5 << QRect(1390, 5010, 220, -120)
                                                                         << QSize(1280, 700) << rows << true;
            QTest::addRow("holes q1 level 1, up close, %s", runs) << 1 << 1 << QRect(1420, 4975, 3, -2)
                                                                  << QSize(900, 600) << rows << true;
            QTest::addRow("holes q1 level 4, cut, %s", runs) << 1 << 4 << QRect(1420, 4990, 130, -60) << QSize(1203, 877)
                                                             << rows << true;
            QTest::addRow("q5 level 5, two whole tiles, %s", runs) << 5 << 5 << QRect(1390, 5010, 220, -120)
                                                                   << QSize(1280, 700) << rows << false;
            QTest::addRow("q5 level 10, odd size, %s", runs) << 5 << 10 << QRect(1390, 5010, 220, -120)
                                                             << QSize(603, 331) << rows << false;
            QTest::addRow("q1 level 1, the seam up close, %s", runs) << 1 << 1 << QRect(1497, 4953, 6, -3)
                                                                     << QSize(1100, 520) << rows << false;
            QTest::addRow("q1 level 3, cut, %s", runs) << 1 << 3 << QRect(1420, 4990, 130, -60) << QSize(1203, 877)
                                                       << rows << false;
            QTest::addRow("q2 level 24, tiny, %s", runs) << 2 << 24 << QRect(1380, 5020, 240, -140) << QSize(97, 61)
                                                         << rows << false;
            QTest::addRow("q1 level 2, corner of cells, %s", runs) << 1 << 2 << QRect(1449, 4951, 2, -2)
                                                                   << QSize(640, 480) << rows << false;
        }
    }

    void runsPaintTheirCells()
    {
        QFETCH(int, q);
        QFETCH(int, level);
        QFETCH(QRect, window);
        QFETCH(QSize, size);
        QFETCH(bool, inRows);
        QFETCH(bool, holes);
        const GeoBox area{window.x() / 100.0, (window.x() + window.width()) / 100.0,
                          (window.y() + window.height()) / 100.0, window.y() / 100.0};
        QVector<ColoredPolygon> cellPolygons, runPolygons;
        qint64 cells = 0, rectangles = 0, holesSeen = 0;
        for (int lon : {14, 15}) {
            const TileGrid &g = grid(q, lon, holes);
            QVERIFY(!g.isNull());
            QCOMPARE(g.hasHoles(), holes);
            const TileLevel l(g, level, CellEdges::FarEdge::Shared);
            const CellRange range = l.visibleCells(area);
            const QByteArray floats = cellFloats(l, range);
            appendFloats(floats, cellPolygons);
            const LevelMesh mesh(l, inRows ? LevelMesh::Runs::InRows : LevelMesh::Runs::InColumns);
            const QByteArray runFloats = mesh.vertices(range);
            QCOMPARE(runFloats.size(), qsizetype(mesh.rectangleCount(range) * LevelMesh::BytesPerRectangle));
            appendFloats(runFloats, runPolygons);
            cells += floats.size() / 144;
            rectangles += mesh.rectangleCount(range);
            holesSeen += range.cellCount() - floats.size() / 144;
        }
        QVERIFY(cells > 0);
        QCOMPARE(holesSeen > 0, holes);
        QCOMPARE(qint64(cellPolygons.size()), 2 * cells);
        QCOMPARE(qint64(runPolygons.size()), 2 * rectangles);
        // Relief lies in bands: many cells of a column share one.
        QVERIFY2(rectangles * 2 < cells, qPrintable(QStringLiteral("%1 rectangles of %2 cells").arg(rectangles).arg(cells)));
        qInfo("%lld cells in %lld rectangles", cells, rectangles);
        const QImage expected = paint(cellPolygons, size, window);
        const QImage got = paint(runPolygons, size, window);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                if (got.pixel(x, y) != expected.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
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
        const TileGrid &g = grid(5, 14, holes);
        const TileLevel l(g, 5, CellEdges::FarEdge::Shared);
        const int line = 100;
        const CellRange range = inRows ? CellRange{0, l.side(), line, line + 1} : CellRange{line, line + 1, 0, l.side()};
        // The line's cells one by one, in their order along it; where each one's floats begin.
        const QByteArray floats = cellFloats(l, range);
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
            const bool fromLast[6] = {false, !inRows ? false : true, !inRows, !inRows, true, inRows};
            for (int v = 0; v < 6; ++v) {
                const float *want = (fromLast[v] ? last : first) + 6 * v;
                // Bit for bit: the shared edges are the very floats of the cells.
                QVERIFY2(std::memcmp(run + 6 * v, want, 6 * sizeof(float)) == 0,
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
