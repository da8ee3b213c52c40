#include "CellEdges.h"
#include "LevelMesh.h"
#include "LodTiles.h"
#include "MapContent.h"
#include "TestRegistry.h"
#include "ViewExtent.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>

namespace {

constexpr QRgb White = 0xffffffff;

// Three grids (N49E014, N49E015, N50E015) of quantity q, painted so, in
// sizes each 3 pixels wider than the one before (height 0: four thirds of
// the width).
struct Scene
{
    int q;
    QRect window;
    QSize size;
    bool loose = false; // triangles between the first two
    qreal ratio = 1.0;
    int mode = 0; // MapPainter::Mode
    int bands = 0;
    int level = 0; // the rule's choice; 0: not checked
    int sizes = 1;
};

// How many pixels differ, or -1 for one that differs where the reference
// is not white: only its hairlines may change.
int differencesOnlyOnLines(const QImage &got, const QImage &reference)
{
    int lines = 0;
    for (int y = 0; y < got.height(); ++y) {
        const QRgb *a = reinterpret_cast<const QRgb *>(got.constScanLine(y));
        const QRgb *b = reinterpret_cast<const QRgb *>(reference.constScanLine(y));
        for (int x = 0; x < got.width(); ++x) {
            if (a[x] != b[x] && b[x] != White)
                return -1;
            lines += a[x] != b[x];
        }
    }
    return lines;
}

// q, level, window (hundredths of a degree), size, holes, runs laid in rows
using Runs = std::tuple<int, int, QRect, QSize, bool, bool>;

} // namespace

Q_DECLARE_METATYPE(Scene)
Q_DECLARE_METATYPE(Runs)

class GridPaintTest : public QObject
{
    Q_OBJECT

    LodTiles tiles;

    bool addTriangles(MapContent &content, const QString &name, const QVector<float> &floats)
    {
        if (!TestTiles::writeFloats(tiles.path(name), floats))
            return false;
        TilePolygons::FileTriangles read = TilePolygons::readFile(tiles.path(name));
        return content.addTriangles(read);
    }

private slots:
    // Grids give exactly the pixels of the level's triangles (shared edges)
    // painted one polygon each; at a given level, those of the tiles
    // converted at that level but for their hairlines. Sweeps of sizes leave
    // no white at all.
    void gridsPaintAsTheirTriangles_data()
    {
        QTest::addColumn<Scene>("scene");
        QTest::addColumn<bool>("holes");
        const QRect startUp = ViewExtentMath::windowRect(ViewExtentMath::scaled(ViewExtentMath::InitialDegrees, 100.0));
        for (bool holes : {false, true}) {
            const char *prefix = holes ? "holes " : "";
            QTest::addRow("%sq5 start-up 1280x1024", prefix) << Scene{5, startUp, {1280, 1024}} << holes;
            QTest::addRow("%sq2 start-up 900x300 serial", prefix) << Scene{2, startUp, {900, 300}, true, 1.0, 1} << holes;
            QTest::addRow("%sq5 zoomed 1037x611", prefix) << Scene{5, {1425, 4975, 150, -50}, {1037, 611}, !holes} << holes;
            QTest::addRow("%sq5 seam on the sides 1001x757, 7 bands", prefix) << Scene{5, {1499, 4951, 2, -2}, {1001, 757}, false, 1.0, 2, 7} << holes;
            QTest::addRow("%sq5 high DPI 2x 401x203", prefix) << Scene{5, {1470, 4980, 60, -30}, {401, 203}, !holes, 2.0} << holes;
        }
        QTest::newRow("q1 seam, big cells 640x480") << Scene{1, {1499, 5001, 2, -3}, {640, 480}, true} << false;
        QTest::newRow("holes q1 start-up 1203x877, level 5") << Scene{1, startUp, {1203, 877}, true} << true;
        QTest::newRow("holes q1 north-east corner 700x500") << Scene{1, {1496, 5004, 8, -8}, {700, 500}} << true;
        QTest::newRow("holes q1 coarsest, 2 pixels wide") << Scene{1, {1300, 5100, 300, -300}, {2, 93}} << true;
        // At the level the rule picks, nothing beneath to show in the hairlines.
        const auto atLevel = [](const char *name, int q, QRect window, QSize size, int level, int sizes = 1) {
            QTest::newRow(name) << Scene{q, window, size, false, 1.0, 0, 0, level, sizes} << false;
        };
        atLevel("q5 start-up 1080x360", 5, startUp, {1080, 360}, 5);
        atLevel("q5 one tile 1080x700", 5, {1400, 5000, 100, -100}, {1080, 700}, 5);
        atLevel("q5 narrowest wheel window 1280x1024", 5, {1505, 4965, 90, -30}, {1280, 1024}, 5);
        atLevel("q1 start-up 1203x877", 1, startUp, {1203, 877}, 5);
        atLevel("q1 start-up 2400x800", 1, startUp, {2400, 800}, 3);
        atLevel("q1 start-up 1280x300: the height decides", 1, startUp, {1280, 300}, 6);
        atLevel("q1 two tiles 1000x500", 1, {1400, 5000, 200, -100}, {1000, 500}, 2);
        atLevel("q1 inside a tile, 201 sizes", 1, {1450, 4920, 2, -2}, {100, 0}, 1, 201);
        atLevel("q3 the seam of E014 and E015, 201 sizes", 3, {1499, 4952, 2, -1}, {1000, 24}, 3, 201);
        atLevel("q5 the seam of E014 and E015, 201 sizes", 5, {1499, 4952, 2, -2}, {300, 0}, 5, 201);
    }

    void gridsPaintAsTheirTriangles()
    {
        QFETCH(Scene, scene);
        QFETCH(bool, holes);
        const QRect window = scene.window;
        const GeoBox area = areaOf(window);
        MapContent content;
        if (holes)
            QVERIFY(addTriangles(content, QStringLiteral("under.chgt"), underTile(12, 47, 60, 50)));
        content.addGrid(tiles.grid(Kind::Relief, 49, 14, scene.q, holes));
        if (scene.loose) {
            QVector<float> f;
            TestTiles::addTriangle(f, 14.9, 49.4, 15.1, 49.45, 15.0, 49.6, Qt::magenta);
            TestTiles::addTriangle(f, 12.0, 48.0, 19.0, 49.0, 14.0, 51.0, QColor(10, 20, 30));
            QVERIFY(addTriangles(content, QStringLiteral("loose.chgt"), f));
        }
        content.addGrid(tiles.grid(Kind::Relief, 49, 15, scene.q, holes));
        content.addGrid(tiles.grid(Kind::Relief, 50, 15, scene.q, holes));
        int sizesWithLines = 0;
        for (int width = scene.size.width(); width < scene.size.width() + 3 * scene.sizes; width += 3) {
            const QSize size(width, scene.size.height() > 0 ? scene.size.height() : width + width / 3);
            QImage got = blank(size, scene.ratio);
            QPainter gotPainter(&got);
            MapPainter renderer;
            renderer.setMode(MapPainter::Mode(scene.mode));
            renderer.setBandCount(scene.bands);
            renderer.paint(gotPainter, size, window, content, {}, false);
            gotPainter.end();
            const std::vector<int> levels = renderer.lastLevels();
            QCOMPARE(int(levels.size()), 3);
            QVERIFY(scene.level == 0 || levels == std::vector<int>(3, scene.level));
            if (width == scene.size.width()) { // the plain paint is slow: one size
                QImage expected = blank(size, scene.ratio);
                QPainter painter(&expected);
                MapPainter::paintPlain(painter, size, window, content, {}, false);
                painter.end();
                QCOMPARE(got, expected);
            }
            // Something of the map shows, and the earlier tile through the holes.
            QVERIFY(got != blank(size, scene.ratio));
            QCOMPARE(countOf(got, UnderColour) + countOf(got, UnderColour2) > 0, holes);
            if (scene.level == 0)
                continue;
            Triangles converted;
            for (size_t i = 0; i < 3; ++i) {
                const TileGrid &g = *content.entries()[i].grid;
                const TileLevel l(g, levels[i]);
                // Only the cells that can show: none of a tile beyond the window
                // (cells reach 1/1200 degree past it).
                const CellRange range = l.visibleCells(area);
                QCOMPARE(range.isEmpty(), area.east <= g.lon() || area.west > g.lon() + 1.002 || area.north <= g.lat()
                                              || area.south > g.lat() + 1.002);
                QVERIFY(scene.sizes == 1 || range.cellCount() < l.wholeTile().cellCount() / 100);
                converted.add(levelCells(l, range));
            }
            const int lines = differencesOnlyOnLines(got, converted.painted(size, window, true, scene.ratio));
            QVERIFY(lines >= 0);
            sizesWithLines += lines > 0;
            QVERIFY(scene.sizes == 1 || countOf(got, White) == 0);
        }
        QVERIFY(scene.sizes == 1 || sizesWithLines > 0); // else the sizes tried show nothing
    }

    // The pointer readout: the topmost entry's colour, for a grid its stored
    // cell's, as the lookup finds it in the cells' triangles.
    void pointerReadsTopmost()
    {
        MapContent content;
        Triangles asTriangles;
        const auto addGrid = [&](const std::shared_ptr<const TileGrid> &g) {
            content.addGrid(g);
            const TileLevel stored(*g, g->quantity(), CellEdges::FarEdge::Shared);
            asTriangles.add(levelCells(stored, stored.wholeTile()));
        };
        addGrid(tiles.grid(Kind::Random, 49, 14, 4));
        QVector<float> f;
        TestTiles::addTriangle(f, 14.5, 49.5, 14.7, 49.5, 14.5, 49.7, Qt::magenta);
        QVERIFY(addTriangles(content, QStringLiteral("pointer.chgt"), f));
        asTriangles.add(QByteArray(reinterpret_cast<const char *>(f.constData()), f.size() * 4));
        addGrid(tiles.grid(Kind::Relief, 49, 14, 5, true));
        addGrid(tiles.grid(Kind::Relief, 50, 14, 5, true));
        const MapContent lookup(asTriangles.polygons);
        MapPainter renderer, painter;
        QRandomGenerator random(5);
        int nothing = 0;
        for (int i = 0; i < 6000; ++i) {
            // Around the tiles, a little beyond them on every side.
            const QPointF p(13.99 + random.generateDouble() * 1.02, 48.99 + random.generateDouble() * 2.02);
            const QColor expected = painter.colorAt(lookup, p);
            nothing += !expected.isValid();
            QCOMPARE(renderer.colorAt(content, p), expected);
        }
        QVERIFY2(nothing > 500 && nothing < 3000, qPrintable(QString::number(nothing)));
        // On the edge two cells share, the later one.
        const CellEdges columns(14, 4);
        QCOMPARE(columns.cellAt(columns.nearEdge(7)), 7);
        QCOMPARE(columns.cellAt(columns.farEdge(columns.count() - 1)), columns.count() - 1);
        QCOMPARE(columns.cellAt(std::nextafter(double(columns.nearEdge(0)), 0.0)), -1);
    }

    // Merged runs paint the pixels of their cells, and are fewer.
    void runsPaintTheirCells_data()
    {
        QTest::addColumn<Runs>("runs");
        const QRect twoTiles(1390, 5010, 220, -120), cut(1420, 4990, 130, -60);
        for (bool rows : {false, true}) {
            const auto row = [rows](const char *name, int q, int level, QRect window, QSize size, bool holes) {
                QTest::addRow("%sq%d level %d, %s, %s", holes ? "holes " : "", q, level, name, rows ? "rows" : "columns")
                    << Runs{q, level, window, size, holes, rows};
            };
            row("two whole tiles", 5, 5, twoTiles, QSize(1280, 700), true);
            row("up close", 1, 1, QRect(1420, 4975, 3, -2), QSize(900, 600), true);
            row("cut", 1, 4, cut, QSize(1203, 877), true);
            row("odd size", 5, 10, twoTiles, QSize(603, 331), false);
            row("tiny", 2, 24, QRect(1380, 5020, 240, -140), QSize(97, 61), false);
        }
    }

    void runsPaintTheirCells()
    {
        QFETCH(Runs, runs);
        const auto &[q, level, window, size, holes, inRows] = runs;
        Triangles cells, merged;
        qint64 rectangles = 0, holesSeen = 0;
        for (int lon : {14, 15}) {
            const TileGrid &g = *tiles.grid(Kind::Relief, 49, lon, q, holes);
            QCOMPARE(g.hasHoles(), holes);
            const TileLevel l(g, level, CellEdges::FarEdge::Shared);
            const CellRange range = l.visibleCells(areaOf(window));
            const QByteArray floats = levelCells(l, range);
            cells.add(floats);
            const LevelMesh mesh(l, inRows ? LevelMesh::Runs::InRows : LevelMesh::Runs::InColumns);
            const qint64 n = mesh.rectangleCount(range);
            // Written into room for twice as many: the rest stays untouched.
            QByteArray runFloats(2 * n * LevelMesh::BytesPerRectangle, '\x55');
            mesh.write(range, reinterpret_cast<float *>(runFloats.data()));
            QCOMPARE(runFloats.mid(n * LevelMesh::BytesPerRectangle), QByteArray(n * LevelMesh::BytesPerRectangle, '\x55'));
            runFloats.truncate(n * LevelMesh::BytesPerRectangle);
            QCOMPARE(mesh.vertices(range), runFloats);
            merged.add(runFloats);
            rectangles += n;
            holesSeen += range.cellCount() - floats.size() / 144;
        }
        QCOMPARE(holesSeen > 0, holes);
        QCOMPARE(qint64(merged.polygons.size()), 2 * rectangles);
        // Relief lies in bands: many cells of a column share one.
        QVERIFY(rectangles < cells.polygons.size() / 4);
        QVERIFY(merged.painted(size, window) == cells.painted(size, window));
    }
};

RZ_REGISTER_TEST(GridPaintTest);
#include "tst_gridpaint.moc"
