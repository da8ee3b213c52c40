#include "CellEdges.h"
#include "GridFill.h"
#include "LodTiles.h"
#include "MapContent.h"
#include "TestRegistry.h"
#include "TileReading.h"
#include "ViewExtent.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <cstring>

// Regular tiles drawn as grids: the painter's pictures against the plain
// painting of the drawn level's triangles, and against the tiles converted
// at that level, whose stored edges leave hairlines.
namespace {

constexpr QRgb White = 0xffffffff;
constexpr QRgb UnderColour = 0xff20c0a0;
constexpr QRgb UnderColour2 = 0xffc020a0;

QRect startUpWindow()
{
    return ViewExtentMath::windowRect(ViewExtentMath::scaled(ViewExtentMath::InitialDegrees, 100.0));
}

QImage drawn(const MapContent &content, QSize size, const QRect &window, std::vector<int> *levels = nullptr,
             MapPainter::Mode mode = MapPainter::Mode::Automatic, int bands = 0, qreal ratio = 1.0)
{
    QImage image = blank(size, ratio);
    QPainter painter(&image);
    MapPainter renderer;
    renderer.setMode(mode);
    renderer.setBandCount(bands);
    renderer.paint(painter, size, window, content, {}, false);
    if (levels)
        *levels = renderer.lastLevels();
    return image;
}

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

QImage chgt2png(const QString &png, const QStringList &arguments)
{
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/chgt2png", QStringList{"-o", png} + arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

} // namespace

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

    // An earlier tile under the others: triangles of two colours, slanted,
    // so no two pixel rows of a hole show the same.
    bool addUnderTile(MapContent &content)
    {
        QVector<float> f;
        for (int i = 0; i < 60; ++i) {
            for (int j = 0; j < 50; ++j) {
                const double x = 12.0 + i * 0.1, y = 47.0 + j * 0.1;
                TestTiles::addTriangle(f, x, y, x + 0.1, y, x, y + 0.1, UnderColour);
                TestTiles::addTriangle(f, x, y + 0.1, x + 0.1, y + 0.1, x + 0.1, y, UnderColour2);
            }
        }
        return addTriangles(content, QStringLiteral("under.chgt"), f);
    }

private slots:
    void initTestCase() { QVERIFY(tiles.isValid()); }

    // The grid path gives exactly the pixels of the drawn level's triangles
    // (shared edges) painted one polygon each: partial pixels, the image's
    // sides, tiny images, bands, high DPI, triangles between the grids, and
    // cells left out over an earlier tile.
    void gridsPaintAsTheirTriangles_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("mode"); // MapPainter::Mode
        QTest::addColumn<int>("bands");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<bool>("loose"); // triangles between the two tiles
        QTest::addColumn<bool>("holes");
        const QRect startUp = startUpWindow();
        for (bool holes : {false, true}) {
            const auto row = [holes](const char *name, int q, QRect window, QSize size, bool loose, qreal ratio = 1.0,
                                     int mode = 0, int bands = 0) {
                QTest::addRow("%s%s", holes ? "holes " : "", name) << q << window << size << mode << bands << ratio << loose << holes;
            };
            row("q5 start-up 1280x1024", 5, startUp, QSize(1280, 1024), false);
            row("q2 start-up 900x300 serial", 2, startUp, QSize(900, 300), true, 1.0, 1);
            row("q5 zoomed 1037x611", 5, QRect(1425, 4975, 150, -50), QSize(1037, 611), !holes);
            row("q5 seam on the sides 1001x757, 7 bands", 5, QRect(1499, 4951, 2, -2), QSize(1001, 757), false, 1.0, 2, 7);
            row("q5 high DPI 2x 401x203", 5, QRect(1470, 4980, 60, -30), QSize(401, 203), !holes, 2.0);
            // The cells' edges anywhere in a pixel.
            for (int w = 37 + 20 * holes; w <= 1400; w += 227) {
                const QSize size(w, 20 + (w * 7) % 500);
                const QRect window(1400 - 10 * holes + (w % 97), 5002 - (w % 13), 3 + (w * 3) % 200, -(2 + (w % 60)));
                QTest::addRow("%ssweep %dx%d", holes ? "holes " : "", w, size.height()) << 5 << window << size << 0 << 0 << 1.0 << false << holes;
            }
        }
        const auto row = [](const char *name, int q, QRect window, QSize size, bool loose, bool holes) {
            QTest::newRow(name) << q << window << size << 0 << 0 << 1.0 << loose << holes;
        };
        row("q5 start-up 1203x877, loose triangles", 5, startUp, QSize(1203, 877), true, false);
        row("q1 seam, big cells 640x480", 1, QRect(1499, 5001, 2, -3), QSize(640, 480), true, false);
        row("q5 map edge 500x17", 5, QRect(1350, 4925, 200, -50), QSize(500, 17), false, false);
        row("q5 two pixels wide", 5, QRect(1480, 4960, 40, -20), QSize(2, 93), false, false);
        row("q5 narrowest wheel window 1280x1024", 5, QRect(1505, 4995, 90, -30), QSize(1280, 1024), false, false);
        row("holes q1 start-up 1203x877, level 5", 1, startUp, QSize(1203, 877), true, true);
        row("holes q1 north-east corner 700x500", 1, QRect(1496, 5004, 8, -8), QSize(700, 500), false, true);
        row("holes q1 coarsest, 2 pixels wide", 1, QRect(1300, 5100, 300, -300), QSize(2, 93), false, true);
    }

    void gridsPaintAsTheirTriangles()
    {
        QFETCH(int, q);
        QFETCH(QRect, window);
        QFETCH(QSize, size);
        QFETCH(int, mode);
        QFETCH(int, bands);
        QFETCH(qreal, ratio);
        QFETCH(bool, loose);
        QFETCH(bool, holes);
        MapContent content;
        if (holes)
            QVERIFY(addUnderTile(content));
        content.addGrid(tiles.grid(Kind::Relief, 49, 14, q, holes));
        if (loose) {
            QVector<float> f;
            TestTiles::addTriangle(f, 14.9, 49.4, 15.1, 49.45, 15.0, 49.6, Qt::magenta);
            TestTiles::addTriangle(f, 12.0, 48.0, 19.0, 49.0, 14.0, 51.0, QColor(10, 20, 30));
            QVERIFY(addTriangles(content, QStringLiteral("loose.chgt"), f));
        }
        content.addGrid(tiles.grid(Kind::Relief, 49, 15, q, holes));
        content.addGrid(tiles.grid(Kind::Relief, 50, 15, q, holes));
        QVERIFY(!holes || content.entries()[1].grid->hasHoles());
        std::vector<int> levels;
        const QImage got = drawn(content, size, window, &levels, MapPainter::Mode(mode), bands, ratio);
        QCOMPARE(int(levels.size()), 3);
        QImage expected = blank(size, ratio);
        {
            QPainter painter(&expected);
            MapPainter::paintPlain(painter, size, window, content, {}, false);
        }
        QVERIFY2(got == expected, qPrintable(QStringLiteral("level %1").arg(levels[0])));
        // Something of the map is in the picture, and the earlier tile
        // shows through the holes.
        QVERIFY(got != blank(size, ratio));
        if (holes && !got.isNull()) {
            bool under = false;
            for (int y = 0; y < got.height() && !under; ++y) {
                for (int x = 0; x < got.width() && !under; ++x)
                    under = got.pixel(x, y) == UnderColour || got.pixel(x, y) == UnderColour2;
            }
            QVERIFY(under);
        }
    }

    // Grids drawn at a level give the picture of that level's stored
    // triangles (the tiles converted at that level) but for the hairlines
    // those leave. Zoomed in, over sweeps of window sizes inside a tile and
    // across seams, the grids leave no white at all, the stored edges white
    // lines at some sizes.
    void levelsAsConverted_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("level"); // the rule's choice
        QTest::addColumn<QRect>("window");
        QTest::addColumn<int>("westLon"); // the tiles: N49 at westLon and east of it
        QTest::addColumn<int>("width0");  // widths width0, width0 + 3, ...
        QTest::addColumn<int>("height");  // 0: four thirds of the width
        QTest::addColumn<int>("sizes");
        const QRect startUp = startUpWindow();
        QTest::newRow("q5 start-up 1080x360") << 5 << 5 << startUp << 14 << 1080 << 360 << 1;
        QTest::newRow("q5 one tile 1080x700") << 5 << 5 << QRect(1400, 5000, 100, -100) << 14 << 1080 << 700 << 1;
        QTest::newRow("q5 narrowest wheel window 1280x1024") << 5 << 5 << QRect(1505, 4965, 90, -30) << 14 << 1280 << 1024 << 1;
        QTest::newRow("q1 start-up 1203x877") << 1 << 5 << startUp << 14 << 1203 << 877 << 1;
        QTest::newRow("q1 start-up 2400x800") << 1 << 3 << startUp << 14 << 2400 << 800 << 1;
        QTest::newRow("q1 two tiles 1000x500") << 1 << 2 << QRect(1400, 5000, 200, -100) << 14 << 1000 << 500 << 1;
        QTest::newRow("q1 inside a tile, 201 sizes") << 1 << 1 << QRect(1450, 4920, 2, -2) << 14 << 100 << 0 << 201;
        QTest::newRow("q3 the seam of E013 and E014, 201 sizes") << 3 << 3 << QRect(1399, 4952, 2, -1) << 13 << 1000 << 24 << 201;
        QTest::newRow("q5 the seam of E014 and E015, 201 sizes") << 5 << 5 << QRect(1499, 4952, 2, -2) << 14 << 300 << 0 << 201;
    }

    void levelsAsConverted()
    {
        QFETCH(int, q);
        QFETCH(int, level);
        QFETCH(QRect, window);
        QFETCH(int, westLon);
        QFETCH(int, width0);
        QFETCH(int, height);
        QFETCH(int, sizes);
        const GeoBox area = areaOf(window);
        Triangles stored;
        MapContent content;
        for (int lon = westLon; lon <= westLon + 1; ++lon) {
            const std::shared_ptr<const TileGrid> g = tiles.grid(Kind::Relief, 49, lon, q);
            const TileLevel l(*g, level);
            // Only the cells that can show: none of a tile beyond the window.
            const CellRange range = l.visibleCells(area);
            QCOMPARE(range.isEmpty(), area.east <= lon || area.west > lon + 1.002); // cells reach 1/1200 degree past it
            QVERIFY(sizes == 1 || range.cellCount() < l.wholeTile().cellCount() / 100);
            stored.add(levelCells(l, range));
            content.addGrid(g);
        }
        int sizesWithLines = 0;
        for (int width = width0; width < width0 + 3 * sizes; width += 3) {
            const QSize size(width, height > 0 ? height : width + width / 3);
            std::vector<int> levels;
            const QImage got = drawn(content, size, window, &levels);
            QCOMPARE(levels, std::vector<int>(2, level));
            const int lines = differencesOnlyOnLines(got, stored.painted(size, window, true));
            QVERIFY2(lines >= 0, qPrintable(QStringLiteral("width %1").arg(width)));
            sizesWithLines += lines > 0;
            for (int y = 0; y < got.height() && sizes > 1; ++y) {
                const QRgb *row = reinterpret_cast<const QRgb *>(got.constScanLine(y));
                QVERIFY2(std::find(row, row + got.width(), White) == row + got.width(),
                         qPrintable(QStringLiteral("width %1: white in row %2").arg(width).arg(y)));
            }
        }
        QVERIFY(sizes == 1 || sizesWithLines > 0); // else the sizes tried show nothing
    }

    // chgt2png --size 1203x877 --no-border of a quantity-1 tile at the
    // start-up window: its stored edges leave a white row where a row
    // boundary's gap lies over a pixel centre; chgt2png's picture none.
    void chgt2pngNoWhiteRow()
    {
        const QSize size(1203, 877);
        const QRect window = startUpWindow();
        QImage probe = blank(size);
        QPainter painter(&probe);
        painter.setWindow(window);
        painter.setViewport(QRect(QPoint(0, 0), size));
        const QTransform t = painter.combinedTransform();
        painter.end();
        // The pixel row whose centre lies in a gap of the stored q = 1 edges.
        int lineLat = 0, lineRow = -1;
        for (int lat = 48; lat <= 50 && lineRow < 0; ++lat) {
            const CellEdges rows(lat, 1), next(lat + 1, 1);
            for (int r = 0; r < rows.count() && lineRow < 0; ++r) {
                const float near = r + 1 < rows.count() ? rows.nearEdge(r + 1) : next.nearEdge(0);
                const qint64 top = qRound((t.m22() * (100.0 * double(near)) + t.dy()) * 64);
                const qint64 bottom = qRound((t.m22() * (100.0 * double(rows.farEdge(r))) + t.dy()) * 64);
                const qint64 row = (top + 32) >> 6; // the first centre below the next cell
                if (64 * row + 32 <= bottom && row < 877) {
                    lineLat = lat;
                    lineRow = int(row);
                }
            }
        }
        QVERIFY(lineRow >= 0);
        const QString file = tiles.converted(Kind::Relief, lineLat, 14, 1);
        QVERIFY(!file.isEmpty());
        const int x0 = int(t.map(QPointF(1401, 0)).x()) + 1, x1 = int(t.map(QPointF(1499, 0)).x()) - 1;

        // The stored triangles near the line leave the row white.
        const TileReading::OpenedTile tile = TileReading::open(file, false);
        QVERIFY(tile.grid);
        const TileLevel stored(*tile.grid, 1);
        const double lat = (t.inverted().map(QPointF(0, lineRow + 0.5)).y()) / 100.0;
        Triangles near;
        near.add(levelCells(stored, stored.visibleCells(GeoBox{14, 15, lat - 0.01, lat + 0.01})));
        const QImage today = near.painted(size, window, true);
        for (int x = x0; x < x1; ++x)
            QCOMPARE(today.pixel(x, lineRow), White);
        QVERIFY(today.pixel(x0, lineRow - 1) != White && today.pixel(x0, lineRow + 1) != White);

        const QImage picture = chgt2png(tiles.path("q1.png"), {"--size", "1203x877", "--no-border", file});
        QCOMPARE(picture.size(), size);
        for (int y = lineRow - 2; y <= lineRow + 2; ++y) {
            for (int x = x0; x < x1; ++x)
                QVERIFY2(picture.pixel(x, y) != White, qPrintable(QStringLiteral("white at %1,%2").arg(x).arg(y)));
        }
        QFile::remove(file);
    }

    // Opening a file whose records are a regular tile's cells with some left
    // out, or with triangles a reader drops among them, gives that grid (a
    // byte per cell, no floats kept); one with a bit changed, or its cells
    // out of order, is read into triangles as before.
    void openAsGridOrTriangles()
    {
        const QByteArray bytes = TestTiles::fileBytes(tiles.converted(Kind::Relief, 48, 16, 5));
        QCOMPARE(bytes.size(), TileGrid::fileBytes(5));
        const QByteArray holed = TestTiles::withHoles(bytes, 5, TestTiles::borderHoles);
        const QByteArray nan = TestTiles::nanTriangle();
        QByteArray damaged = bytes;
        damaged[qsizetype(144) * 1000 + 24] = char(damaged.at(qsizetype(144) * 1000 + 24) ^ 1); // an x of cell 1000
        QByteArray swapped = holed;
        swapped.replace(144 * 500, 144, holed.mid(144 * 501, 144));
        swapped.replace(144 * 501, 144, holed.mid(144 * 500, 144));
        const qint64 all = 240 * 240, present = holed.size() / 144;
        // Name, bytes, and the cells of its grid (0: triangles).
        const std::tuple<const char *, QByteArray, qint64> files[] = {
            {"short", bytes.chopped(144), all - 1},
            {"holes", holed, present},
            {"nan", bytes + nan, all},
            {"holes-nan", nan + holed.left(144 * 777) + nan + nan + holed.mid(144 * 777) + nan, present},
            {"damaged", damaged, 0},
            {"swapped", swapped, 0},
            {"twice", holed.left(144 * 301) + holed.mid(144 * 300), 0},
            {"twice-nan", holed.left(144 * 301) + nan + holed.mid(144 * 300), 0},
        };
        for (const auto &[name, content, cells] : files) {
            const QString path = tiles.path(QString::fromLatin1(name) + ".chgt");
            QVERIFY(TestTiles::writeBytes(path, content));
            const TileReading::OpenedTile opened = TileReading::open(path, true);
            QVERIFY2(bool(opened.grid) == (cells > 0), name);
            if (opened.grid) {
                QCOMPARE(opened.grid->cellCount(), cells);
                QCOMPARE(opened.grid->heldBytes(), all);
                QVERIFY(opened.triangles.polygons.isEmpty() && opened.triangles.floats.isEmpty());
                continue;
            }
            QVERIFY(opened.triangles.ok);
            const bool withNan = content.contains(nan);
            QCOMPARE(opened.triangles.polygons.size(), content.size() / 72 - withNan);
            if (!withNan)
                QCOMPARE(opened.triangles.floats, content);
        }
        TileReading::OpenedTile missing = TileReading::open(tiles.path("none.chgt"), false);
        QVERIFY(!missing.grid && !missing.triangles.ok);
    }

    // The pointer readout: the topmost entry at the point; for a grid the
    // colour of the triangle of its stored cell there, as the painter's
    // lookup in the triangles finds it, whatever level is drawn.
    void pointerReadsTopmost()
    {
        MapContent content;
        const std::shared_ptr<const TileGrid> g = tiles.grid(Kind::Random, 49, 14, 5);
        content.addGrid(g);
        QVector<float> f;
        TestTiles::addTriangle(f, 14.5, 49.5, 14.7, 49.5, 14.5, 49.7, Qt::magenta);
        QVERIFY(addTriangles(content, QStringLiteral("pointer.chgt"), f));
        const auto onMagenta = [](QPointF p) { return p.x() > 14.49 && p.x() < 14.71 && p.y() > 49.49 && p.y() < 49.71; };
        const TileLevel stored(*g, 5);
        Triangles cells;
        cells.add(levelCells(stored, stored.wholeTile()));
        const MapContent asTriangles(cells.polygons);
        MapPainter renderer, lookup;
        QCOMPARE(renderer.colorAt(content, QPointF(14.61, 49.51)), QColor(Qt::magenta));
        QRandomGenerator random(5);
        int inside = 0;
        for (int i = 0; i < 4000; ++i) {
            // Around the tile, a little beyond it on every side.
            const QPointF p(13.99 + random.generateDouble() * 1.02, 48.99 + random.generateDouble() * 1.02);
            const QColor expected = lookup.colorAt(asTriangles, p);
            inside += expected.isValid();
            if (!onMagenta(p))
                QCOMPARE(renderer.colorAt(content, p), expected);
        }
        QVERIFY(inside > 3000 && inside < 4000);
        // On the edge two cells share, the later one.
        const CellEdges &columns = stored.columnEdges();
        QCOMPARE(columns.cellAt(columns.nearEdge(7)), 7);
        QCOMPARE(columns.cellAt(columns.farEdge(columns.count() - 1)), columns.count() - 1);
        QCOMPARE(columns.cellAt(std::nextafter(double(columns.nearEdge(0)), 0.0)), -1);

        // A second grid on top of the first answers where it lies.
        const std::shared_ptr<const TileGrid> north = tiles.grid(Kind::Relief, 50, 14, 5);
        content.addGrid(north);
        const TileLevel northStored(*north, 5);
        const int c = northStored.columnEdges().cellAt(14.3), r = northStored.rowEdges().cellAt(50.3);
        QCOMPARE(renderer.colorAt(content, QPointF(14.3, 50.3)), GridFill::bandColor(north->band(c, r)));

        // A grid with holes on top: where it has no cell, what lies below,
        // or nothing.
        const std::shared_ptr<const TileGrid> holed = tiles.grid(Kind::Relief, 49, 14, 1, true);
        const std::shared_ptr<const TileGrid> holedNorth = tiles.grid(Kind::Relief, 50, 14, 1, true);
        content.addGrid(holed);
        MapContent alone;
        alone.addGrid(holedNorth);
        const CellEdges columns1(14, 1, CellEdges::FarEdge::Shared), rows(49, 1, CellEdges::FarEdge::Shared);
        const CellEdges northRows(50, 1, CellEdges::FarEdge::Shared);
        const CellEdges below(14, 5, CellEdges::FarEdge::Shared), belowRows(49, 5, CellEdges::FarEdge::Shared);
        int holes = 0;
        for (int i = 0; i < 400; ++i) {
            const QPointF p(14.0 + (i * 0.6180339) - std::floor(i * 0.6180339), 49.0 + (i * 0.4142135) - std::floor(i * 0.4142135));
            const int pc = columns1.cellAt(p.x()), pr = rows.cellAt(p.y());
            if (pc < 0 || pr < 0 || onMagenta(p))
                continue;
            const bool hole = holed->band(pc, pr) == TileGrid::NoCell;
            holes += hole;
            const int sc = below.cellAt(p.x()), sr = belowRows.cellAt(p.y());
            QCOMPARE(renderer.colorAt(content, p), GridFill::bandColor(hole ? g->band(sc, sr) : holed->band(pc, pr)));
            const int qr = northRows.cellAt(p.y() + 1);
            const int northBand = qr < 0 ? TileGrid::NoCell : holedNorth->band(pc, qr);
            QCOMPARE(renderer.colorAt(alone, p + QPointF(0, 1)), northBand == TileGrid::NoCell ? QColor() : GridFill::bandColor(northBand));
        }
        QVERIFY2(holes > 50 && holes < 350, qPrintable(QStringLiteral("%1 holes").arg(holes)));
    }
};

RZ_REGISTER_TEST(GridPaintTest);
#include "tst_gridpaint.moc"
