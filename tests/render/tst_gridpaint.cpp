#include "CellEdges.h"
#include "ChgtTile.h"
#include "ConvertHgt.h"
#include "GridFill.h"
#include "HgtTileGenerator.h"
#include "MapContent.h"
#include "MapPainter.h"
#include "TestRegistry.h"
#include "TestTiles.h"
#include "TileGrid.h"
#include "TileLevel.h"
#include "TileMeshBuilder.h"
#include "TilePolygons.h"
#include "TileReading.h"
#include "ViewExtent.h"

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <map>
#include <memory>

// Regular tiles drawn as grids: the painter's pictures against today's
// triangle painting of the same cells, of the tiles converted at the level
// drawn, and of the stored tiles, which leave hairlines.
namespace {

constexpr QRgb White = 0xffffffff;

// The painter view's start-up window, in hundredths of a degree.
ViewExtent startUpExtent()
{
    return ViewExtentMath::scaled(ViewExtentMath::InitialDegrees, 100.0);
}

QString hgtName(int lat, int lon)
{
    return QStringLiteral("N%1E%2.hgt").arg(lat, 2, 10, QLatin1Char('0')).arg(lon, 3, 10, QLatin1Char('0'));
}

QImage blank(QSize size, qreal ratio = 1.0)
{
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    return image;
}

// How many pixels differ, failing at once for one that differs where the
// reference is not white (only its hairlines may change).
int differencesOnlyOnLines(const QImage &got, const QImage &reference, QString *where)
{
    int lines = 0;
    for (int y = 0; y < got.height(); ++y) {
        const QRgb *a = reinterpret_cast<const QRgb *>(got.constScanLine(y));
        const QRgb *b = reinterpret_cast<const QRgb *>(reference.constScanLine(y));
        for (int x = 0; x < got.width(); ++x) {
            if (a[x] == b[x])
                continue;
            if (b[x] != White) {
                *where = QStringLiteral("pixel %1,%2").arg(x).arg(y);
                return -1;
            }
            ++lines;
        }
    }
    return lines;
}

} // namespace

class GridPaintTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::map<QString, QByteArray> sources;
    std::map<QString, std::shared_ptr<const TileGrid>> grids;

    const QByteArray &source(int lat, int lon)
    {
        const QString key = QStringLiteral("%1 %2").arg(lat).arg(lon);
        auto it = sources.find(key);
        if (it == sources.end()) {
            HgtTileGenerator hgt;
            hgt.fillRelief(lat, lon, 7);
            it = sources.emplace(key, hgt.bytes()).first;
        }
        return it->second;
    }

    // The tile as the import writes it.
    QString convertedFile(int lat, int lon, int q)
    {
        const QDir out(dir.filePath(QStringLiteral("q%1").arg(q)));
        const QString chgt = out.filePath(ChgtTile::fileName(lat, lon));
        if (!QFile::exists(chgt)) {
            QDir().mkpath(out.path());
            const QString hgt = out.filePath(hgtName(lat, lon));
            QFile file(hgt);
            if (!file.open(QIODevice::WriteOnly) || file.write(source(lat, lon)) != HgtTileGenerator::TileBytes)
                return {};
            file.close();
            if (ConvertHgt::convertFile(hgt, out, q) != ConvertHgt::Outcome::Converted)
                return {};
            QFile::remove(hgt);
        }
        return chgt;
    }

    // The grid of that tile, made from the conversion's cells in memory.
    std::shared_ptr<const TileGrid> grid(int lat, int lon, int q)
    {
        const QString key = QStringLiteral("%1 %2 %3").arg(lat).arg(lon).arg(q);
        auto it = grids.find(key);
        if (it == grids.end()) {
            const TileMeshBuilder builder(source(lat, lon).constData(), lon, lat, q);
            std::vector<float> cells(size_t(builder.floatCount()));
            builder.buildColumns(cells.data(), 0, builder.columnCount());
            auto g = std::make_shared<const TileGrid>(TileGrid::recognise(
                reinterpret_cast<const char *>(cells.data()), qint64(cells.size()) * 4));
            it = grids.emplace(key, g).first;
        }
        return it->second;
    }

    // The same with the border's cells left out.
    std::shared_ptr<const TileGrid> holedGrid(int lat, int lon, int q)
    {
        const QString key = QStringLiteral("holes %1 %2 %3").arg(lat).arg(lon).arg(q);
        auto it = grids.find(key);
        if (it == grids.end()) {
            const TileMeshBuilder builder(source(lat, lon).constData(), lon, lat, q);
            QByteArray cells(qsizetype(builder.floatCount()) * 4, Qt::Uninitialized);
            builder.buildColumns(reinterpret_cast<float *>(cells.data()), 0, builder.columnCount());
            cells = TestTiles::withHoles(cells, q, TestTiles::borderHoles);
            auto g = std::make_shared<const TileGrid>(TileGrid::recognise(cells.constData(), cells.size()));
            it = grids.emplace(key, g).first;
        }
        return it->second;
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
        const QString name = dir.filePath(QStringLiteral("under.chgt"));
        if (!TestTiles::writeFloats(name, f))
            return false;
        TilePolygons::FileTriangles read = TilePolygons::readFile(name);
        return content.addTriangles(read);
    }
    static constexpr QRgb UnderColour = 0xff20c0a0;
    static constexpr QRgb UnderColour2 = 0xffc020a0;

    // Today's picture: the files' triangles, one polygon each, drawn plainly.
    QImage todays(const QStringList &files, QSize size, const QRect &window)
    {
        QVector<ColoredPolygon> polygons;
        for (const QString &file : files) {
            TilePolygons::FileTriangles read = TilePolygons::readFile(file);
            TilePolygons::append(read, polygons);
        }
        QImage image = blank(size);
        QPainter painter(&image);
        MapPainter::paintPlain(painter, size, window, polygons, {}, false);
        return image;
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

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // The grid path gives exactly the pixels of the drawn level's triangles
    // (shared edges) painted one polygon each: partial pixels, the image's
    // sides, tiny images, bands, high DPI, and triangles between the grids.
    void gridsPaintAsTheirTriangles_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("mode"); // MapPainter::Mode
        QTest::addColumn<int>("bands");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<bool>("loose"); // triangles between the two tiles
        QTest::addColumn<bool>("holes"); // cells left out, over an earlier tile
        const QRect startUp = ViewExtentMath::windowRect(startUpExtent());
        QTest::newRow("q5 start-up 1280x1024") << 5 << startUp << QSize(1280, 1024) << 0 << 0 << 1.0 << false << false;
        QTest::newRow("q5 start-up 1203x877, loose triangles") << 5 << startUp << QSize(1203, 877) << 0 << 0 << 1.0 << true << false;
        QTest::newRow("q2 start-up 900x300 serial") << 2 << startUp << QSize(900, 300) << 1 << 0 << 1.0 << true << false;
        QTest::newRow("q5 zoomed 1037x611") << 5 << QRect(1425, 4975, 150, -50) << QSize(1037, 611) << 0 << 0 << 1.0 << true << false;
        QTest::newRow("q5 seam on the sides 1001x757, 7 bands") << 5 << QRect(1499, 4951, 2, -2) << QSize(1001, 757) << 2 << 7 << 1.0 << false << false;
        QTest::newRow("q1 seam, big cells 640x480") << 1 << QRect(1499, 5001, 2, -3) << QSize(640, 480) << 0 << 0 << 1.0 << true << false;
        QTest::newRow("q5 map edge 500x17") << 5 << QRect(1350, 4925, 200, -50) << QSize(500, 17) << 0 << 0 << 1.0 << false << false;
        QTest::newRow("q5 two pixels wide") << 5 << QRect(1480, 4960, 40, -20) << QSize(2, 93) << 0 << 0 << 1.0 << false << false;
        QTest::newRow("q5 high DPI 2x 401x203") << 5 << QRect(1470, 4980, 60, -30) << QSize(401, 203) << 0 << 0 << 2.0 << true << false;
        QTest::newRow("q5 narrowest wheel window 1280x1024") << 5 << QRect(1505, 4995, 90, -30) << QSize(1280, 1024) << 0 << 0 << 1.0 << false << false;
        // Cells left out: nothing drawn there, the earlier tile shows.
        QTest::newRow("holes q5 start-up 1280x1024") << 5 << startUp << QSize(1280, 1024) << 0 << 0 << 1.0 << false << true;
        QTest::newRow("holes q1 start-up 1203x877, level 5") << 1 << startUp << QSize(1203, 877) << 0 << 0 << 1.0 << true << true;
        QTest::newRow("holes q2 start-up 900x300 serial") << 2 << startUp << QSize(900, 300) << 1 << 0 << 1.0 << true << true;
        QTest::newRow("holes q5 zoomed 1037x611") << 5 << QRect(1425, 4975, 150, -50) << QSize(1037, 611) << 0 << 0 << 1.0 << false << true;
        QTest::newRow("holes q5 seam on the sides 1001x757, 7 bands") << 5 << QRect(1499, 4951, 2, -2) << QSize(1001, 757) << 2 << 7 << 1.0 << false << true;
        QTest::newRow("holes q1 big cells 640x480") << 1 << QRect(1420, 4975, 3, -2) << QSize(640, 480) << 0 << 0 << 1.0 << false << true;
        QTest::newRow("holes q1 north-east corner 700x500") << 1 << QRect(1496, 5004, 8, -8) << QSize(700, 500) << 0 << 0 << 1.0 << false << true;
        QTest::newRow("holes q5 high DPI 2x 401x203") << 5 << QRect(1470, 4980, 60, -30) << QSize(401, 203) << 0 << 0 << 2.0 << false << true;
        QTest::newRow("holes q1 coarsest, 2 pixels wide") << 1 << QRect(1300, 5100, 300, -300) << QSize(2, 93) << 0 << 0 << 1.0 << false << true;
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
        const auto tile = [&](int lat, int lon) { return holes ? holedGrid(lat, lon, q) : grid(lat, lon, q); };
        content.addGrid(tile(49, 14));
        if (loose) {
            QVector<float> f;
            TestTiles::addTriangle(f, 14.9, 49.4, 15.1, 49.45, 15.0, 49.6, Qt::magenta);
            TestTiles::addTriangle(f, 12.0, 48.0, 19.0, 49.0, 14.0, 51.0, QColor(10, 20, 30));
            const QString name = dir.filePath(QStringLiteral("loose.chgt"));
            QVERIFY(TestTiles::writeFloats(name, f));
            TilePolygons::FileTriangles read = TilePolygons::readFile(name);
            QVERIFY(content.addTriangles(read));
        }
        content.addGrid(tile(49, 15));
        content.addGrid(tile(50, 15));
        QVERIFY(!holes || (content.entries()[1].grid->hasHoles() && content.entries()[3].grid->hasHoles()));
        std::vector<int> levels;
        const QImage got = drawn(content, size, window, &levels, MapPainter::Mode(mode), bands, ratio);
        QCOMPARE(int(levels.size()), 3);
        QImage expected = blank(size, ratio);
        {
            QPainter painter(&expected);
            MapPainter::paintPlain(painter, size, window, content, {}, false);
        }
        QCOMPARE(got.size(), size * ratio);
        for (int y = 0; y < got.height(); ++y) {
            if (std::memcmp(got.constScanLine(y), expected.constScanLine(y), size_t(got.bytesPerLine())) != 0) {
                int x = 0;
                while (got.pixel(x, y) == expected.pixel(x, y))
                    ++x;
                QFAIL(qPrintable(QStringLiteral("level %1: pixel %2,%3 is %4, the triangles give %5")
                                     .arg(levels[0]).arg(x).arg(y).arg(got.pixel(x, y), 0, 16)
                                     .arg(expected.pixel(x, y), 0, 16)));
            }
        }
        // Something of the map is in the picture, and the earlier tile
        // shows through the holes.
        QVERIFY(got != blank(size, ratio));
        if (holes) {
            qint64 under = 0;
            for (int y = 0; y < got.height(); ++y) {
                for (int x = 0; x < got.width(); ++x)
                    under += got.pixel(x, y) == UnderColour || got.pixel(x, y) == UnderColour2;
            }
            QVERIFY(under > 0);
        }
    }

    // A sweep of sizes and windows, the cells' edges anywhere in a pixel.
    void gridsPaintAsTheirTrianglesSweep()
    {
        MapContent content;
        content.addGrid(grid(49, 14, 5));
        content.addGrid(grid(49, 15, 5));
        int sizes = 0;
        for (int w = 37; w <= 1400; w += 61) {
            const QSize size(w, 20 + (w * 7) % 500);
            const QRect window(1400 + (w % 97), 5002 - (w % 13), 3 + (w * 3) % 200, -(2 + (w % 60)));
            const QImage got = drawn(content, size, window);
            QImage expected = blank(size);
            {
                QPainter painter(&expected);
                MapPainter::paintPlain(painter, size, window, content, {}, false);
            }
            QVERIFY2(got == expected, qPrintable(QStringLiteral("size %1x%2").arg(w).arg(size.height())));
            ++sizes;
        }
        QVERIFY(sizes > 20);
        // Tiles with holes over an earlier tile, at their own level and coarser.
        MapContent holed;
        QVERIFY(addUnderTile(holed));
        holed.addGrid(holedGrid(49, 14, 5));
        holed.addGrid(holedGrid(49, 15, 1));
        for (int w = 41; w <= 1400; w += 97) {
            const QSize size(w, 30 + (w * 7) % 500);
            const QRect window(1390 + (w % 97), 5002 - (w % 13), 3 + (w * 3) % 200, -(2 + (w % 60)));
            const QImage got = drawn(holed, size, window);
            QImage expected = blank(size);
            {
                QPainter painter(&expected);
                MapPainter::paintPlain(painter, size, window, holed, {}, false);
            }
            QVERIFY2(got == expected, qPrintable(QStringLiteral("holes, size %1x%2").arg(w).arg(size.height())));
        }
    }

    // Where the stored level is drawn the picture is today's (apart from
    // hairlines): quantity-5 tiles at the start-up window in views at least
    // 1080 px wide and closer.
    void storedLevelAsToday_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QSize>("size");
        const QRect startUp = ViewExtentMath::windowRect(startUpExtent());
        QTest::newRow("start-up 1080x360") << startUp << QSize(1080, 360);
        QTest::newRow("start-up 1280x1024") << startUp << QSize(1280, 1024);
        QTest::newRow("one tile 1080x700") << QRect(1400, 5000, 100, -100) << QSize(1080, 700);
        QTest::newRow("narrowest wheel window 1280x1024") << QRect(1505, 4965, 90, -30) << QSize(1280, 1024);
        QTest::newRow("seam 1203x877") << QRect(1480, 5010, 40, -30) << QSize(1203, 877);
    }

    void storedLevelAsToday()
    {
        QFETCH(QRect, window);
        QFETCH(QSize, size);
        QStringList files;
        MapContent content;
        for (const auto &[lat, lon] : {std::pair{49, 14}, {49, 15}, {50, 14}, {50, 15}}) {
            files << convertedFile(lat, lon, 5);
            QVERIFY(!files.last().isEmpty());
            TileReading::OpenedTile tile = TileReading::open(files.last(), false);
            QVERIFY(tile.grid);
            content.addGrid(tile.grid);
        }
        std::vector<int> levels;
        const QImage got = drawn(content, size, window, &levels);
        QCOMPARE(levels, std::vector<int>(4, 5));
        QString where;
        const int lines = differencesOnlyOnLines(got, todays(files, size, window), &where);
        QVERIFY2(lines >= 0, qPrintable(where));
    }

    // Where a coarser level k is drawn the picture is that of the tiles
    // converted at k: quantity-1 tiles at the start-up window.
    void coarserLevelAsConverted_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("level");
        const QRect startUp = ViewExtentMath::windowRect(startUpExtent());
        QTest::newRow("start-up 1280x1024: 5") << startUp << QSize(1280, 1024) << 5;
        QTest::newRow("start-up 1203x877: 5") << startUp << QSize(1203, 877) << 5;
        QTest::newRow("start-up 2400x800: 3") << startUp << QSize(2400, 800) << 3;
        QTest::newRow("two tiles 1000x500: 2") << QRect(1400, 5000, 200, -100) << QSize(1000, 500) << 2;
    }

    void coarserLevelAsConverted()
    {
        QFETCH(QRect, window);
        QFETCH(QSize, size);
        QFETCH(int, level);
        QStringList files;
        MapContent content;
        for (int lon : {14, 15}) {
            content.addGrid(grid(49, lon, 1));
            files << convertedFile(49, lon, level);
        }
        std::vector<int> levels;
        const QImage got = drawn(content, size, window, &levels);
        QCOMPARE(levels, std::vector<int>(2, level));
        QString where;
        const int lines = differencesOnlyOnLines(got, todays(files, size, window), &where);
        QVERIFY2(lines >= 0, qPrintable(where));
    }

    // A sweep of window sizes over a seam of quantity-5 tiles drawn at
    // their stored level: today's stored edges leave white lines at some
    // sizes, the grids at none, and nothing else changes.
    void hairlinesGone()
    {
        const QRect window(1499, 4952, 2, -2);
        QStringList files;
        MapContent content;
        for (int lon : {14, 15}) {
            files << convertedFile(49, lon, 5);
            content.addGrid(grid(49, lon, 5));
        }
        int sizesWithLines = 0;
        for (int side = 300; side <= 1500; side += 7) {
            const QSize size(side, side * 3 / 4);
            const QImage got = drawn(content, size, window);
            QString where;
            const int lines = differencesOnlyOnLines(got, todays(files, size, window), &where);
            QVERIFY2(lines >= 0, qPrintable(QStringLiteral("size %1: %2").arg(side).arg(where)));
            sizesWithLines += lines > 0;
            for (int y = 0; y < got.height(); ++y) {
                const QRgb *row = reinterpret_cast<const QRgb *>(got.constScanLine(y));
                QVERIFY2(std::find(row, row + got.width(), White) == row + got.width(),
                         qPrintable(QStringLiteral("size %1: white in row %2").arg(side).arg(y)));
            }
        }
        qInfo("today's stored edges leave lines at %d of %d sizes", sizesWithLines, (1500 - 300) / 7 + 1);
        QVERIFY(sizesWithLines > 0);
    }

    // chgt2png --size 1203x877 --no-border of quantity-1 tiles at the
    // start-up window: today a white row crosses the country where a row
    // boundary's stored edges leave a gap over a pixel centre; now none.
    void chgt2pngNoWhiteRow()
    {
        const QSize size(1203, 877);
        const QRect window = ViewExtentMath::windowRect(startUpExtent());
        QImage probe = blank(size);
        QPainter painter(&probe);
        painter.setWindow(window);
        painter.setViewport(QRect(QPoint(0, 0), size));
        const QTransform t = painter.combinedTransform();
        painter.end();
        // The pixel row whose centre lies in a gap of the stored q = 1 edges.
        int lineLat = 0, lineRow = -1;
        for (int lat = 48; lat <= 50 && lineRow < 0; ++lat) {
            const CellEdges rows(lat, 1);
            const CellEdges next(lat + 1, 1);
            for (int r = 0; r < rows.count() && lineRow < 0; ++r) {
                const float far = rows.farEdge(r);
                const float near = r + 1 < rows.count() ? rows.nearEdge(r + 1) : next.nearEdge(0);
                const qint64 top = qRound((t.m22() * (100.0 * double(near)) + t.dy()) * 64);
                const qint64 bottom = qRound((t.m22() * (100.0 * double(far)) + t.dy()) * 64);
                const qint64 row = (top + 32) >> 6; // the first centre below the next cell
                if (64 * row + 32 <= bottom && row < 877) {
                    lineLat = lat;
                    lineRow = int(row);
                }
            }
        }
        QVERIFY(lineRow >= 0);
        qInfo("stored q = 1 edges leave pixel row %d (N%d) white at 1203x877", lineRow, lineLat);
        const QString file = convertedFile(lineLat, 14, 1);
        QVERIFY(!file.isEmpty());
        const int x0 = int(t.map(QPointF(1401, 0)).x()) + 1, x1 = int(t.map(QPointF(1499, 0)).x()) - 1;

        // Today: the stored triangles near the line leave the row white.
        {
            const TileReading::OpenedTile tile = TileReading::open(file, false);
            QVERIFY(tile.grid);
            const TileLevel stored(*tile.grid, 1);
            const double lat = (t.inverted().map(QPointF(0, lineRow + 0.5)).y()) / 100.0;
            const CellRange near = stored.visibleCells(GeoBox{14, 15, lat - 0.01, lat + 0.01});
            std::vector<float> floats(size_t(near.cellCount()) * 36);
            stored.writeCells(near, floats.data());
            QVector<ColoredPolygon> polygons;
            TilePolygons::appendTriangles(floats.data(), qint64(floats.size()), polygons);
            QImage today = blank(size);
            QPainter p(&today);
            MapPainter::paintPlain(p, size, window, polygons, {}, false);
            p.end();
            for (int x = x0; x < x1; ++x)
                QCOMPARE(today.pixel(x, lineRow), White);
            QVERIFY(today.pixel(x0, lineRow - 1) != White && today.pixel(x0, lineRow + 1) != White);
        }

        const QString out = dir.filePath(QStringLiteral("q1.png"));
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + "/chgt2png",
                      {"--size", "1203x877", "--no-border", "-o", out, file});
        QVERIFY(process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const QImage picture = QImage(out).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.size(), size);
        for (int y = lineRow - 2; y <= lineRow + 2; ++y) {
            for (int x = x0; x < x1; ++x)
                QVERIFY2(picture.pixel(x, y) != White, qPrintable(QStringLiteral("white at %1,%2").arg(x).arg(y)));
        }
        QFile::remove(file);
    }

    // Opening: a regular file becomes its grid (a byte per cell, no
    // floats kept), also with cells left out or damaged triangles among its
    // records; one with a single bit changed, or its cells out of order, is
    // read into triangles as before.
    void openAsGridOrTriangles()
    {
        const QString regular = convertedFile(48, 16, 5);
        const QByteArray bytes = TestTiles::fileBytes(regular);
        QCOMPARE(bytes.size(), TileGrid::fileBytes(5));
        const TileReading::OpenedTile tile = TileReading::open(regular, true);
        QVERIFY(tile.grid);
        QCOMPARE(tile.grid->heldBytes(), qint64(240) * 240);
        QVERIFY(tile.triangles.polygons.isEmpty() && tile.triangles.floats.isEmpty());

        // Grids: the same tile's cells, some left out.
        const QByteArray holed = TestTiles::withHoles(bytes, 5, TestTiles::borderHoles);
        const QByteArray nan = TestTiles::nanTriangle();
        const std::pair<const char *, QByteArray> grids[] = {
            {"short.chgt", bytes.left(bytes.size() - 144)},
            {"holes.chgt", holed},
            {"nan.chgt", bytes + nan},
            {"holes-nan.chgt", nan + holed.left(144 * 777) + nan + nan + holed.mid(144 * 777) + nan},
        };
        for (const auto &[name, content] : grids) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            QVERIFY(TestTiles::writeBytes(path, content));
            const TileReading::OpenedTile opened = TileReading::open(path, true);
            QVERIFY2(opened.grid, name);
            QVERIFY(opened.triangles.polygons.isEmpty() && opened.triangles.floats.isEmpty());
            // A byte per cell, present or not.
            QCOMPARE(opened.grid->heldBytes(), tile.grid->heldBytes());
            const bool withHoles = QByteArray(name).startsWith("holes");
            QCOMPARE(opened.grid->cellCount(), withHoles ? holed.size() / 144 : qstrcmp(name, "short.chgt") == 0 ? 240 * 240 - 1 : 240 * 240);
            for (int c = 0; c < 240; ++c) {
                for (int r = 0; r < 240; ++r) {
                    const bool missing = withHoles ? TestTiles::leftOut(TestTiles::borderHoles, 5, c, r)
                                                   : qstrcmp(name, "short.chgt") == 0 && c == 239 && r == 239;
                    QCOMPARE(opened.grid->band(c, r), missing ? int(TileGrid::NoCell) : tile.grid->band(c, r));
                }
            }
        }

        // Triangles: a bit changed, two cells swapped, a cell twice.
        QByteArray damaged = bytes;
        damaged[qsizetype(144) * 1000 + 24] = char(damaged.at(qsizetype(144) * 1000 + 24) ^ 1); // an x of cell 1000
        QByteArray swapped = holed;
        swapped.replace(144 * 500, 144, holed.mid(144 * 501, 144));
        swapped.replace(144 * 501, 144, holed.mid(144 * 500, 144));
        const std::pair<const char *, QByteArray> others[] = {
            {"damaged.chgt", damaged},
            {"swapped.chgt", swapped},
            {"twice.chgt", holed.left(144 * 301) + holed.mid(144 * 300)},
            {"twice-nan.chgt", holed.left(144 * 301) + nan + holed.mid(144 * 300)},
        };
        for (const auto &[name, content] : others) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            QVERIFY(TestTiles::writeBytes(path, content));
            const TileReading::OpenedTile opened = TileReading::open(path, true);
            QVERIFY2(!opened.grid, name);
            QVERIFY(opened.triangles.ok);
            const bool withNan = content.contains(nan);
            QCOMPARE(opened.triangles.polygons.size(), content.size() / 72 - withNan);
            if (!withNan)
                QCOMPARE(opened.triangles.floats, content);
        }
        TileReading::OpenedTile missing = TileReading::open(dir.filePath(QStringLiteral("none.chgt")), false);
        QVERIFY(!missing.grid && !missing.triangles.ok);
    }

    // The pointer readout: the topmost entry at the point; for a grid its
    // stored cell, whatever level is drawn.
    void pointerReadsTopmost()
    {
        MapContent content;
        const std::shared_ptr<const TileGrid> g = grid(49, 14, 5);
        content.addGrid(g);
        QVector<float> f;
        TestTiles::addTriangle(f, 14.5, 49.5, 14.7, 49.5, 14.5, 49.7, Qt::magenta);
        const QString name = dir.filePath(QStringLiteral("pointer.chgt"));
        QVERIFY(TestTiles::writeFloats(name, f));
        TilePolygons::FileTriangles read = TilePolygons::readFile(name);
        QVERIFY(content.addTriangles(read));
        MapPainter renderer;
        const TileLevel stored(*g, 5);
        for (const QPointF &p : {QPointF(14.3, 49.3), QPointF(14.001, 49.99), QPointF(14.9991, 49.0009),
                                 QPointF(14.61, 49.51), QPointF(15.2, 49.5), QPointF(14.5, 48.9)}) {
            const int c = stored.columnEdges().cellAt(p.x()), r = stored.rowEdges().cellAt(p.y());
            const QColor expected = p == QPointF(14.61, 49.51) ? QColor(Qt::magenta)
                                    : c >= 0 && r >= 0     ? GridFill::bandColor(g->band(c, r))
                                                           : QColor();
            QCOMPARE(renderer.colorAt(content, p), expected);
        }
        // A second grid on top of the first answers where it lies.
        const std::shared_ptr<const TileGrid> north = grid(50, 14, 5);
        content.addGrid(north);
        const TileLevel northStored(*north, 5);
        const int c = northStored.columnEdges().cellAt(14.3), r = northStored.rowEdges().cellAt(50.3);
        QCOMPARE(renderer.colorAt(content, QPointF(14.3, 50.3)), GridFill::bandColor(north->band(c, r)));

        // A grid with holes on top: where it has no cell, what lies below,
        // or nothing.
        const std::shared_ptr<const TileGrid> holed = holedGrid(49, 14, 1);
        const std::shared_ptr<const TileGrid> holedNorth = holedGrid(50, 14, 1);
        content.addGrid(holed);
        MapContent alone;
        alone.addGrid(holedNorth);
        const CellEdges columns(14, 1, CellEdges::FarEdge::Shared), rows(49, 1, CellEdges::FarEdge::Shared);
        const CellEdges northRows(50, 1, CellEdges::FarEdge::Shared);
        const CellEdges below(14, 5, CellEdges::FarEdge::Shared), belowRows(49, 5, CellEdges::FarEdge::Shared);
        int holes = 0, cells = 0;
        for (int i = 0; i < 400; ++i) {
            const QPointF p(14.0 + (i * 0.6180339) - std::floor(i * 0.6180339), 49.0 + (i * 0.4142135) - std::floor(i * 0.4142135));
            const int pc = columns.cellAt(p.x()), pr = rows.cellAt(p.y());
            if (pc < 0 || pr < 0 || magentaAt(p))
                continue;
            const bool hole = !holed->hasCell(pc, pr);
            holes += hole;
            cells += !hole;
            const int sc = below.cellAt(p.x()), sr = belowRows.cellAt(p.y());
            QCOMPARE(renderer.colorAt(content, p), GridFill::bandColor(hole ? g->band(sc, sr) : holed->band(pc, pr)));
            const QPointF q = p + QPointF(0, 1);
            const int qr = northRows.cellAt(q.y());
            if (qr < 0)
                continue;
            QCOMPARE(renderer.colorAt(alone, q), holedNorth->hasCell(pc, qr) ? GridFill::bandColor(holedNorth->band(pc, qr)) : QColor());
        }
        QVERIFY2(holes > 50 && cells > 50, qPrintable(QStringLiteral("%1 holes, %2 cells").arg(holes).arg(cells)));
    }

    // The magenta triangle of pointerReadsTopmost, with a margin.
    static bool magentaAt(QPointF p) { return p.x() > 14.49 && p.x() < 14.71 && p.y() > 49.49 && p.y() < 49.71; }

    // A damaged triangle among a regular tile's records, with or without
    // holes, is dropped and the tile drawn as before: chgt2png gives the
    // picture of the tile alone.
    void damagedTriangleKeepsTheLevel()
    {
        const QByteArray full = TestTiles::fileBytes(convertedFile(49, 15, 5));
        QCOMPARE(full.size(), TileGrid::fileBytes(5));
        const QByteArray holed = TestTiles::withHoles(full, 5, TestTiles::borderHoles);
        const QByteArray nan = TestTiles::nanTriangle();
        const auto picture = [&](const QString &name, const QByteArray &content) {
            const QString chgt = dir.filePath(name + QStringLiteral(".chgt"));
            const QString png = dir.filePath(name + QStringLiteral(".png"));
            if (!TestTiles::writeBytes(chgt, content))
                return QImage();
            QProcess process;
            process.start(QCoreApplication::applicationDirPath() + "/chgt2png", {"--size", "600x300", "-o", png, chgt});
            if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
                return QImage();
            return QImage(png).convertToFormat(QImage::Format_RGB32);
        };
        for (const auto &[name, tile] : {std::pair{QStringLiteral("whole"), full}, {QStringLiteral("holes"), holed}}) {
            const QImage alone = picture(name, tile);
            QVERIFY(!alone.isNull());
            QCOMPARE(alone.size(), QSize(600, 300));
            const QImage appended = picture(name + QStringLiteral("-nan"), tile + nan);
            QVERIFY(!appended.isNull());
            QVERIFY2(appended == alone, qPrintable(name));
            const QImage inside = picture(name + QStringLiteral("-nan-inside"), tile.left(144 * 1234) + nan + tile.mid(144 * 1234));
            QVERIFY2(inside == alone, qPrintable(name));
        }
        // The level drawn there is coarser than the stored one: the full
        // density of the triangles would not give that picture.
        MapContent content;
        content.addGrid(grid(49, 15, 5));
        std::vector<int> levels;
        drawn(content, QSize(600, 300), ViewExtentMath::windowRect(startUpExtent()), &levels);
        QCOMPARE(levels, std::vector<int>{10});
    }
};

RZ_REGISTER_TEST(GridPaintTest);
#include "tst_gridpaint.moc"
