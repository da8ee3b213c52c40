#include "TestRegistry.h"
#include "Waits.h"

#include "BorderOutline.h"
#include "GlBufferFunctions.h"
#include "ConvertHgt.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "HeightColors.h"
#include "HgtTileGenerator.h"
#include "GridFill.h"
#include "OpenTiles.h"
#include "TileGrid.h"
#include "TestTiles.h"

#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QScreen>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>

Q_DECLARE_METATYPE(ViewExtent)

using TestTiles::addTriangle;
using TestTiles::writeFloats;

namespace {

// Converts a generated tile N49E<lon> at q = 5; returns the CHGT path or "".
QString makeChgt(const QString &dir, int lon, const std::function<void(HgtTileGenerator &)> &fill)
{
    HgtTileGenerator tile;
    fill(tile);
    const QString hgt = QDir(dir).filePath(QStringLiteral("N49E%1.hgt").arg(lon, 3, 10, QLatin1Char('0')));
    if (!tile.save(hgt) || ConvertHgt::convertFile(hgt, QDir(dir), 5) != ConvertHgt::Outcome::Converted)
        return {};
    return hgt.chopped(4) + QStringLiteral(".chgt");
}

bool sameColor(QRgb a, QColor b, int tolerance = 2)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
        && qAbs(qBlue(a) - b.blue()) <= tolerance;
}

// Whether every pixel within radius of p (inside the image) passes ok.
bool allNear(const QImage &img, QPoint p, int radius, const std::function<bool(QRgb)> &ok)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (img.rect().contains(p + QPoint(dx, dy)) && !ok(img.pixel(p + QPoint(dx, dy))))
                return false;
    return true;
}

bool blackNear(const QImage &img, QPoint p, int radius)
{
    return !allNear(img, p, radius, [](QRgb c) { return !sameColor(c, Qt::black, 40); });
}

// Shows a 900 x 300 view: at the initial window one pixel is a hundredth of a degree.
bool show(QWidget *v)
{
    v->resize(900, 300);
    v->show();
    return QTest::qWaitForWindowExposed(v);
}

// Finds no buffer-object entry point, like a GL 1.1 driver without them.
GlBufferFunctions::Lookup withoutBufferObjects()
{
    const GlBufferFunctions::Lookup real = GlBufferFunctions::currentContextLookup();
    return [real](const char *name) { return qstrcmp(name, "glBindBuffer") == 0 ? nullptr : real(name); };
}

// Lets the driver refuse the upload of blue triangles, as it does when out
// of memory: a size of -1 is refused with a GL error just the same. Uploads
// may come from several threads, each looking the function up itself.
std::atomic<GlBufferFunctions::BufferData> realBufferData = nullptr;

void QOPENGLF_APIENTRY refusingBufferData(GLenum target, GLsizeiptr size, const void *data, GLenum usage)
{
    const auto *f = static_cast<const float *>(data);
    const bool blue = f && size >= 24 && f[3] == 0.0f && f[4] == 0.0f && f[5] == 1.0f;
    realBufferData.load()(target, blue ? -1 : size, data, usage);
}

GlBufferFunctions::Lookup refusingBlueUploads()
{
    const GlBufferFunctions::Lookup real = GlBufferFunctions::currentContextLookup();
    return [real](const char *name) {
        const QFunctionPointer f = real(name);
        if (qstrcmp(name, "glBufferData") != 0)
            return f;
        realBufferData = reinterpret_cast<GlBufferFunctions::BufferData>(f);
        return reinterpret_cast<QFunctionPointer>(&refusingBufferData);
    };
}

const float QuadrantHeights[] = {120, 350, 700, 1500}; // NW, NE, SW, SE

QRgb bandColor(float height)
{
    float r, g, b;
    heightColor(height, r, g, b);
    return QColor::fromRgbF(r, g, b).rgb();
}

} // namespace

class TestViews : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString quadrants; // N49E016 of four flat quadrants
    QStringList relief; // N49E014 and N49E015 of generated relief
    std::unique_ptr<DrawQtWdg> qtView; // both views of the relief tiles
    std::unique_ptr<DrawGLWdg> glView;

    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void initTestCase()
    {
        quadrants = makeChgt(dir.path(), 16, [](HgtTileGenerator &t) {
            t.fillWith([](int row, int col) { return qint16(QuadrantHeights[(row >= 600) * 2 + (col >= 600)]); });
        });
        for (int lon : {14, 15})
            relief << makeChgt(dir.path(), lon, [lon](HgtTileGenerator &t) { t.fillRelief(49, lon, 11); });
        QVERIFY(!quadrants.isEmpty() && !relief.contains(QString()));
        // One cell as the converter writes it: two triangles SW-SE-NW, NW-NE-SE.
        const auto cell = [this](const char *name, double west, double south, QColor c, int tail) {
            QVector<float> v;
            addTriangle(v, west, south, west + 1, south, west, south + 1, c);
            addTriangle(v, west, south + 1, west + 1, south + 1, west + 1, south, c);
            return writeFloats(path(name), v, QByteArray(tail, '\x7f'));
        };
        QVERIFY(cell("red.chgt", 14.0, 49.0, Qt::red, 0) && cell("blue.chgt", 14.5, 49.5, Qt::blue, 0));
        QVERIFY(cell("partial.chgt", 16.0, 49.0, Qt::darkGreen, 50) && writeFloats(path("empty.chgt"), {}));
        QVERIFY(writeFloats(path("huge.chgt"), {}) && QFile::resize(path("huge.chgt"), qint64(1) << 31));
    }

    void borderOutline()
    {
        const QByteArray bytes = BorderOutline::readResource();
        QCOMPARE(bytes.size(), 2835 * 24);
        QCOMPARE(bytes.right(24), bytes.left(24));
        for (int i = 0; i < 2835; ++i)
            for (int field = 2; field < 6; ++field)
                QCOMPARE(qFromLittleEndian<float>(bytes.constData() + 24 * i + 4 * field), 0.0f);
        const QVector<QPointF> points = DrawQtWdg().borderPoints();
        QCOMPARE(points.size(), 2835);
        for (const QPointF &p : {points.first(), points.last()})
            QCOMPARE(QPointF(std::round(p.x() * 10), std::round(p.y() * 10)), QPointF(17635, 50273));
        double twiceArea = 0.0; // negative: clockwise with north up
        for (int i = 0; i + 1 < points.size(); ++i)
            twiceArea += points[i].x() * points[i + 1].y() - points[i + 1].x() * points[i].y();
        QVERIFY(twiceArea < -2 * 9e4 && twiceArea > -2 * 11e4); // about 10 square degrees
    }

    // Whole triangles only; the first vertex gives the colour, bad components are clamped.
    void qtLoading_data()
    {
        QTest::addColumn<int>("floats"); // -1: a sparse 2 GiB file
        for (int floats : {0, 17, 28, -1})
            QTest::addRow("%d floats", floats) << floats;
    }

    void qtLoading()
    {
        QFETCH(int, floats);
        QVector<float> f;
        addTriangle(f, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, Qt::red);
        f[3] = std::nanf(""), f[4] = 1.5f, f[5] = -INFINITY, f[9] = 0.5f;
        const QByteArray tail(floats > 0 ? 3 : 0, '\x7f');
        QVERIFY(writeFloats(path("loading.chgt"), (f + f).mid(0, qMax(floats, 0)), tail));
        QVERIFY(floats >= 0 || QFile::resize(path("loading.chgt"), qint64(1) << 31));
        DrawQtWdg w;
        w.createHeightsBuffer({path("loading.chgt")});
        QCOMPARE(w.storedPolygons().size(), qMax(floats, 0) / 18);
        for (const ColoredPolygon &t : w.storedPolygons()) {
            QCOMPARE(t.color.rgba(), qRgb(0, 255, 0));
            QCOMPARE(t.polygon, QPolygonF({{1400, 4900}, {1450, 4900}, {1400, 4950}}));
        }
    }

    // Each action brings one paint pass ending with 100; only the timed repaint logs; band colours show.
    void qtPaintPasses()
    {
        QFile::remove(QStringLiteral("log.txt"));
        DrawQtWdg::resetViewExtent();
        DrawQtWdg w;
        QSignalSpy progress(&w, &DrawQtWdg::sProgress);
        QVERIFY(show(&w));
        // Painted once, so exposed: from now on a repaint is done before the
        // call returns, and no pass of showing can come between.
        QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty(), Waits::Event);
        const auto onePass = [&](const std::function<void()> &action) {
            progress.clear();
            action();
            return progress.count() == 1 && progress.first().first().toInt() == 100;
        };
        QVERIFY(onePass([&] { w.createHeightsBuffer({}); }));
        QVERIFY(onePass([&] { w.createHeightsBuffer({quadrants, path("none.chgt"), quadrants}); }));
        // Regular tiles: held as grids, read back at the finest data.
        QCOMPARE(w.mapContent().gridCount(), 2);
        QCOMPARE(w.storedPolygons().size(), 0);
        for (int i = 0; i < 4; ++i) {
            const QPointF at(16.25 + 0.5 * (i % 2), 49.75 - 0.5 * (i / 2)); // index: south * 2 + east
            QCOMPARE(w.colorAt(at).rgb(), bandColor(QuadrantHeights[i]));
        }
        QVERIFY(onePass([&] { w.viewBorder(false); }));
        const QImage image = w.grab().toImage();
        for (int i = 0; i < 4; ++i) // near the tile's corners
            QCOMPARE(image.pixel(503 + 93 * (i % 2), 133 + 93 * (i / 2)), bandColor(QuadrantHeights[i]));
        QVERIFY(onePass([&] { w.repaintQtWdg(); }));
        QFile log(QStringLiteral("log.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first().section('\t', 1, 1), QStringLiteral("Repaint Qt widget"));
    }

    // chgt2png, and the view painted at an offset (as a page) after each file, give the plain serial paint
    // of every triangle; loose triangles from slivers to larger than the window follow the tiles.
    void qtPictures_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<ViewExtent>("extent");
        QTest::newRow("bad size") << QStringList{"--size", "0x10"} << 2 << QSize() << ViewExtent();
        QTest::newRow("defaults") << QStringList() << 0 << QSize(1800, 600) << DrawQtWdg::initialExtent;
        QTest::newRow("zoomed, odd size, no border, one file missing")
            << QStringList{"--size", "1037x611", "--window", "14.25,15.75,49.25,49.75", "--no-border"} << 1
            << QSize(1037, 611) << ViewExtent{1425, 1575, 4925, 4975};
        QTest::newRow("map edge, 17 rows") << QStringList{"--size", "500x17", "--window", "13,15,48.5,49"} << 0
                                           << QSize(500, 17) << ViewExtent{1300, 1500, 4850, 4900};
    }

    void qtPictures()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QSize, size);
        QFETCH(ViewExtent, extent);
        QRandomGenerator random(42);
        QVector<float> f;
        for (int i = 0; i < 3000; ++i) {
            const double x = 13 + 4 * random.generateDouble(), y = 48 + 4 * random.generateDouble();
            const double s = std::pow(10.0, 0.5 - 4.5 * random.generateDouble()), u = random.generateDouble();
            addTriangle(f, x, y, x + s * u, y - s / 2, x - s / 3, y + s * (1 - u), QColor::fromRgb(random.generate()));
        }
        const QStringList files = relief + QStringList{path("loose.chgt")};
        const QString out = path("out.png"), missing = path("N48E013.chgt");
        QVERIFY(writeFloats(files.last(), f) && (!QFile::exists(out) || QFile::remove(out)));
        QProcess process;
        const QStringList inputs = exitCode == 1 ? QStringList{missing} + files : files;
        process.start(QCoreApplication::applicationDirPath() + "/chgt2png", options + QStringList{"-o", out} + inputs);
        QVERIFY(process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        QCOMPARE(QFile::exists(out), exitCode != 2);
        if (exitCode == 2)
            return;
        QVERIFY(exitCode == 0 || process.readAllStandardError().contains(missing.toLocal8Bit()));
        DrawQtWdg view;
        view.resize(size);
        view.viewBorder(!options.contains("--no-border"));
        view.mapPainter().setMode(MapPainter::Mode::Bands);
        DrawQtWdg::setViewExtent(extent);
        QImage page(size + QSize(60, 40), QImage::Format_RGB32);
        for (const QString &file : files) {
            view.createHeightsBuffer({file});
            page.fill(Qt::white);
            view.render(&page, QPoint(37, 23), QRegion(), QWidget::DrawChildren);
        }
        DrawQtWdg::resetViewExtent();
        const qsizetype culled = view.storedPolygons().size() / 2;
        QVERIFY(extent == DrawQtWdg::initialExtent || view.mapPainter().lastPaintedTriangles() < culled);
        QImage expected(size, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter painter(&expected);
        MapPainter::paintPlain(painter, size, ViewExtentMath::windowRect(extent), view.mapContent(),
                               view.borderPoints(), view.isBorderShown());
        painter.end();
        QCOMPARE(page.copy(QRect(QPoint(37, 23), size)), expected);
        QCOMPARE(QImage(out).convertToFormat(QImage::Format_RGB32), expected);
    }

    // Files opened one at a time with counts that leave the culling chunks
    // partly filled: the later triangles of a chunk lie where the earlier
    // ones do not, and the zoomed picture is still the plain paint.
    void cullingAfterSeveralOpens()
    {
        DrawQtWdg view;
        view.viewBorder(false);
        view.mapPainter().setMode(MapPainter::Mode::Serial);
        const ViewExtent zoomed{1440, 1460, 4940, 4960};
        DrawQtWdg::setViewExtent(zoomed);
        const QSize size(400, 300);
        view.resize(size);
        QImage page(size, QImage::Format_RGB32);
        QRandomGenerator random(7);
        int file = 0;
        // Far outside the window, or inside it; the list grows in place
        // between reallocations, so a chunk can be extended without a rebuild.
        for (const auto &[count, inside] : {std::pair{37, false}, {1, false}, {3, true}, {90, false}, {64, true},
                                             {5, false}, {130, true}}) {
            QVector<float> f;
            const double x = inside ? 14.42 : 12.0, y = inside ? 49.42 : 50.5;
            for (int i = 0; i < count; ++i) {
                const double dx = 0.16 * random.generateDouble(), dy = 0.16 * random.generateDouble();
                addTriangle(f, x + dx, y + dy, x + dx + 0.02, y + dy, x + dx, y + dy + 0.02,
                            QColor::fromRgb(random.generate()));
            }
            const QString name = path(QStringLiteral("awkward%1.chgt").arg(file++));
            QVERIFY(writeFloats(name, f));
            view.createHeightsBuffer({name});
            page.fill(Qt::white);
            view.render(&page, QPoint(), QRegion(), QWidget::DrawChildren);
            QImage expected(size, QImage::Format_RGB32);
            expected.fill(Qt::white);
            QPainter painter(&expected);
            MapPainter::paintPlain(painter, size, ViewExtentMath::windowRect(zoomed), view.storedPolygons(), {}, false);
            painter.end();
            QVERIFY2(page == expected, qPrintable(QStringLiteral("after %1 files").arg(file)));
        }
        DrawQtWdg::resetViewExtent();
        QVERIFY(view.mapPainter().lastPaintedTriangles() < view.storedPolygons().size());
    }

    // The painter keeps its band images between paints, not for good.
    void bandImagesReleased()
    {
        DrawQtWdg view;
        view.resize(800, 400);
        view.mapPainter().setMode(MapPainter::Mode::Bands);
        view.createHeightsBuffer(relief);
        QImage page(view.size(), QImage::Format_RGB32);
        view.render(&page, QPoint(), QRegion(), QWidget::DrawChildren);
        QVERIFY(view.mapPainter().bandImageBytes() > 0);
        QVERIFY(view.mapPainter().bandImageBytes() <= qint64(128) << 20);
        QTRY_COMPARE_WITH_TIMEOUT(view.mapPainter().bandImageBytes(), 0, Waits::Event);
    }

    void glLoadsAndDraws_data()
    {
        QTest::addColumn<int>("variant"); // 0 shown view, 1 files opened before showing, 2 no buffer objects
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QVector<int>>("counts");
        QTest::addColumn<QPointF>("probe");
        QTest::addColumn<QColor>("expected");
        QTest::addColumn<QList<int>>("progress"); // of the first paint after opening
        const QColor white(Qt::white);
        QTest::newRow("no files") << 0 << QStringList() << QVector<int>() << QPointF(14.5, 49.5) << white
                                  << QList<int>{100};
        QTest::newRow("four tiles, later covers earlier; unreadable, 2 GiB and partial triangle")
            << 0 << QStringList{"red", "missing", "huge", "empty", "blue", "partial"} << QVector<int>{6, 0, 6, 6}
            << QPointF(14.7, 49.7) << QColor(Qt::blue) << QList<int>{0, 25, 50, 75, 100};
        QTest::newRow("opened before shown") << 1 << QStringList{"red"} << QVector<int>{6} << QPointF(14.9, 49.4)
                                             << QColor(Qt::red) << QList<int>();
        QTest::newRow("no buffer objects") << 2 << QStringList{"red"} << QVector<int>() << QPointF(14.5, 49.5) << white
                                           << QList<int>{100};
    }

    void glLoadsAndDraws()
    {
        QFETCH(int, variant);
        QFETCH(QStringList, files);
        QFETCH(QVector<int>, counts);
        QFETCH(QPointF, probe);
        QFETCH(QColor, expected);
        QFETCH(QList<int>, progress);
        for (QString &f : files)
            f = path(f + ".chgt");
        if (variant == 2)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("buffer objects"));
        auto view = std::make_unique<DrawGLWdg>();
        if (variant == 2)
            view->setGlLookup(withoutBufferObjects());
        QVERIFY(variant != 1 || view->createHeightsGenBuffer(files));
        QVERIFY(show(view.get()));
        QCOMPARE(view->hasBufferObjects(), variant != 2);
        if (variant != 1) {
            QSignalSpy painted(view.get(), &DrawGLWdg::sProgress);
            QVERIFY(view->createHeightsGenBuffer(files));
            QTRY_VERIFY_WITH_TIMEOUT(painted.count() >= progress.size(), Waits::Event);
            for (int i = 0; i < progress.size(); ++i)
                QCOMPARE(painted[i].first().toInt(), progress[i]);
        }
        QCOMPARE(view->vertexCounts(), counts);
        const QPoint pixel((probe.x() - 11) * 100, (51.3 - probe.y()) * 100);
        QVERIFY(sameColor(view->grabFramebuffer().pixel(pixel), expected));
    }

    // Opaque white in a window of another colour, after another view died with this context current.
    void glOpaqueWhiteAndDeletion()
    {
        QWidget window;
        window.setPalette(QPalette(QColor(40, 80, 120)));
        window.setAutoFillBackground(true);
        auto *view = new DrawGLWdg(&window);
        view->resize(900, 300);
        QVERIFY(show(&window));
        view->createHeightsGenBuffer({path("red.chgt")});
        auto *other = new DrawGLWdg;
        QVERIFY(show(other));
        other->createHeightsGenBuffer({path("blue.chgt")});
        view->makeCurrent();
        delete other;
        const auto screen = [&] { return window.screen()->grabWindow(window.winId()).toImage(); };
        QTRY_VERIFY_WITH_TIMEOUT(sameColor(screen().pixel(350, 180), Qt::red), Waits::Event);
        for (const QImage &img : {screen(), window.grab().toImage(), view->grabFramebuffer()})
            QVERIFY(sameColor(img.pixel(100, 150), Qt::white) && sameColor(img.pixel(350, 180), Qt::red));
    }

    // Files that are not tiles, or hold damaged triangles, are left out of
    // both views and chgt2png without hanging: the pictures are those of
    // the good triangles alone.
    void hostileFiles()
    {
        QVector<float> good, bad;
        addTriangle(good, 14.0, 49.0, 15.0, 49.0, 14.0, 50.0, Qt::red);
        addTriangle(good, 14.0, 50.0, 15.0, 50.0, 15.0, 49.0, Qt::darkYellow);
        bad = good.mid(0, 18);
        addTriangle(bad, std::nan(""), 49.5, 16.0, 49.0, 16.0, 50.5, Qt::gray);
        addTriangle(bad, 13.0, INFINITY, 16.0, 49.0, 16.0, 50.5, Qt::gray);
        addTriangle(bad, 13.0, 48.5, 16.0, 49.0, 16.0, 50.5, Qt::gray);
        bad[18 * 3 + 6 * 2 + 2] = -INFINITY; // z of the third bad triangle
        bad += good.mid(18);
        QVERIFY(writeFloats(path("good.chgt"), good) && writeFloats(path("damaged.chgt"), bad));
        QVERIFY(mkfifo(QFile::encodeName(path("fifo.chgt")), 0600) == 0 && QDir().mkpath(path("folder.chgt")));
        QVERIFY(QFile::link("/dev/zero", path("zero.chgt")));
        const QStringList hostile{path("fifo.chgt"), path("folder.chgt"), path("zero.chgt"), path("damaged.chgt"),
                                  path("huge.chgt")};

        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        DrawQtWdg qtGood, qtHostile;
        DrawGLWdg glGood, glHostile;
        for (QWidget *v : std::initializer_list<QWidget *>{&qtGood, &qtHostile, &glGood, &glHostile})
            QVERIFY(show(v));
        qtGood.createHeightsBuffer({path("good.chgt")});
        qtHostile.createHeightsBuffer(hostile);
        QVERIFY(glGood.createHeightsGenBuffer({path("good.chgt")}) && glHostile.createHeightsGenBuffer(hostile));
        QCOMPARE(qtHostile.storedPolygons().size(), 2);
        QCOMPARE(glHostile.vertexCounts(), QVector<int>{6});
        QCOMPARE(qtHostile.grab().toImage(), qtGood.grab().toImage());
        QCOMPARE(glHostile.grabFramebuffer(), glGood.grabFramebuffer());

        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + "/chgt2png",
                      QStringList{"-o", path("hostile.png")} + hostile);
        QVERIFY(process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        for (const char *name : {"fifo.chgt", "folder.chgt", "zero.chgt"})
            QVERIFY2(err.contains(path(name) + ": not a regular file, skipped"), qPrintable(err));
        QVERIFY(err.contains(path("huge.chgt") + ": file too large, skipped"));
        process.start(QCoreApplication::applicationDirPath() + "/chgt2png", {"-o", path("good.png"), path("good.chgt")});
        QVERIFY(process.waitForFinished(60000) && process.exitCode() == 0);
        QCOMPARE(QImage(path("hostile.png")), QImage(path("good.png")));
    }

    // A tile whose triangles do not fit in memory is left out and the rest
    // is drawn: chgt2png with its address space cut to 300 MB.
    void allocationFailure()
    {
#ifdef RZMAP_SANITIZED
        QSKIP("the sanitizers need far more address space than the limit leaves");
#endif
        HgtTileGenerator tile(150);
        const QString hgt = path("N48E013.hgt");
        QVERIFY(tile.save(hgt));
        QTemporaryDir fine;
        QCOMPARE(ConvertHgt::convertFile(hgt, QDir(fine.path()), 1), ConvertHgt::Outcome::Converted);
        const QString big = fine.filePath("N48E013.chgt");
        // One triangle more makes it no regular tile, so it is read as
        // triangles, which do not fit (a regular tile would, as its grid).
        {
            QFile file(big);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray first = file.read(72);
            QVERIFY(file.seek(file.size()) && file.write(first) == 72);
        }
        const auto run = [&](const QStringList &files, const QString &out, QString *err) {
            QProcess process;
            process.setChildProcessModifier([] {
                const rlimit limit{300u << 20, 300u << 20};
                setrlimit(RLIMIT_AS, &limit);
            });
            process.start(QCoreApplication::applicationDirPath() + "/chgt2png", QStringList{"-o", out} + files);
            process.waitForFinished(60000);
            *err = QString::fromLocal8Bit(process.readAllStandardError());
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        };
        QString err;
        QCOMPARE(run({big, quadrants}, path("squeezed.png"), &err), 1);
        QVERIFY2(err.contains(big + ": not enough memory, skipped"), qPrintable(err));
        const QString squeezedErr = err;
        QCOMPARE(run({quadrants}, path("alone.png"), &err), 0);
        QVERIFY2(!QImage(path("squeezed.png")).isNull(), qPrintable(squeezedErr));
        QCOMPARE(QImage(path("squeezed.png")), QImage(path("alone.png")));
    }

    // "Otevřít..." reads each file once for both views; they must end as if
    // each had read the list itself, also when the OpenGL view has no
    // context yet and reads its files when first shown.
    void openIntoBothViews_data()
    {
        QTest::addColumn<bool>("glShown");
        QTest::newRow("OpenGL view shown") << true;
        QTest::newRow("OpenGL view not shown yet") << false;
    }

    void openIntoBothViews()
    {
        QFETCH(bool, glShown);
        // Loose triangles under the regular tiles and on top of them: the
        // order opened holds across grids and triangles.
        QVector<float> under, over;
        addTriangle(under, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, Qt::red);
        addTriangle(under, 14.2, 49.1, 14.6, 49.2, 14.3, 49.7, Qt::blue);
        addTriangle(over, 16.2, 49.2, 16.8, 49.3, 16.4, 49.8, Qt::green);
        QVERIFY(writeFloats(path("loose-under.chgt"), under) && writeFloats(path("loose-over.chgt"), over));
        const QStringList files = QStringList{path("loose-under.chgt")} + relief
                                  + QStringList{path("missing.chgt"), quadrants, path("loose-over.chgt")};
        DrawQtWdg referenceQt;
        DrawGLWdg referenceGl;
        QVERIFY(show(&referenceGl));
        referenceQt.createHeightsBuffer(files);
        referenceGl.createHeightsGenBuffer(files);

        DrawQtWdg qt;
        DrawGLWdg gl;
        if (glShown)
            QVERIFY(show(&gl));
        OpenTiles::intoViews(files, qt, gl);
        // Regular tiles are held as grids even without a context; the loose
        // triangles wait for one.
        QCOMPARE(gl.tileCount(), glShown ? 5 : 3);
        if (!glShown)
            QVERIFY(show(&gl));
        QCOMPARE(gl.vertexCounts(), referenceGl.vertexCounts());
        QCOMPARE(gl.grabFramebuffer(), referenceGl.grabFramebuffer());

        QCOMPARE(qt.mapContent().gridCount(), 3);
        QCOMPARE(qt.mapContent().entries().size(), referenceQt.mapContent().entries().size());
        const QVector<ColoredPolygon> &got = qt.storedPolygons();
        const QVector<ColoredPolygon> &expected = referenceQt.storedPolygons();
        QCOMPARE(got.size(), 3);
        QCOMPARE(got.size(), expected.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            if (got[i].polygon != expected[i].polygon || got[i].color != expected[i].color)
                QFAIL(qPrintable(QStringLiteral("triangle %1 differs").arg(i)));
        }
        referenceQt.resize(400, 200);
        qt.resize(400, 200);
        QCOMPARE(qt.grab().toImage(), referenceQt.grab().toImage());

        // The points live in blocks shared by a file's polygons: changing a
        // copy must not reach the stored triangles.
        QVector<ColoredPolygon> copy = got;
        const QPolygonF before = got[1].polygon;
        copy[1].polygon[0] = QPointF(-1, -1);
        QCOMPARE(got[1].polygon, before);
        QCOMPARE(copy[1].polygon[1], before[1]);
    }

    // Tiles with cells left out (one with a damaged triangle among its
    // records) open into both views as grids holding what full tiles hold;
    // the earlier tile shows through the holes, and the pointer readout
    // there gives it, or nothing.
    void tilesWithHoles()
    {
        QVector<float> under;
        addTriangle(under, 13.9, 48.9, 16.1, 48.9, 13.9, 50.1, Qt::red);
        addTriangle(under, 13.9, 50.1, 16.1, 50.1, 16.1, 48.9, Qt::red);
        QVERIFY(writeFloats(path("under-holes.chgt"), under));
        QStringList holed;
        for (int i = 0; i < 2; ++i) {
            QByteArray bytes = TestTiles::withHoles(TestTiles::fileBytes(relief[i]), 5, TestTiles::borderHoles);
            if (i == 1)
                bytes.insert(144 * 1000, TestTiles::nanTriangle());
            holed << path(QStringLiteral("holes-%1.chgt").arg(i));
            QVERIFY(TestTiles::writeBytes(holed.last(), bytes));
        }
        DrawQtWdg qt, fullQt, aloneQt;
        DrawGLWdg gl, fullGl, aloneGl;
        QVERIFY(show(&qt) && show(&gl));
        OpenTiles::intoViews(QStringList{path("under-holes.chgt")} + holed, qt, gl);
        OpenTiles::intoViews(relief, fullQt, fullGl);
        OpenTiles::intoViews(holed, aloneQt, aloneGl);
        QCOMPARE(qt.mapContent().gridCount(), 2);
        QCOMPARE(gl.tileCount(), 3);
        QCOMPARE(gl.drawnLevels().size(), 2);
        // A byte per cell, present or not.
        QCOMPARE(qt.mapContent().gridBytes(), qint64(2) * 240 * 240);
        QCOMPARE(qt.mapContent().gridBytes(), fullQt.mapContent().gridBytes());

        const QRgb red = qRgb(255, 0, 0);
        int holes = 0, cells = 0;
        for (int i = 0; i < 300; ++i) {
            const QPointF p(14.0 + 2.0 * ((i * 0.6180339) - std::floor(i * 0.6180339)),
                            49.0 + ((i * 0.4142135) - std::floor(i * 0.4142135)));
            const int t = p.x() < 15.0 ? 0 : 1;
            const TileGrid &full = *fullQt.mapContent().entries()[size_t(t)].grid;
            const CellEdges columns(full.lon(), 5, CellEdges::FarEdge::Shared), rows(full.lat(), 5, CellEdges::FarEdge::Shared);
            const int c = columns.cellAt(p.x()), r = rows.cellAt(p.y());
            if (c < 0 || r < 0)
                continue;
            const bool hole = TestTiles::leftOut(TestTiles::borderHoles, 5, c, r);
            holes += hole;
            cells += !hole;
            QCOMPARE(qt.colorAt(p).rgb(), hole ? red : GridFill::bandColor(full.band(c, r)).rgb());
            QCOMPARE(aloneQt.colorAt(p).isValid(), !hole);
        }
        QVERIFY2(holes > 30 && cells > 30, qPrintable(QStringLiteral("%1 holes, %2 cells").arg(holes).arg(cells)));

        // The middle of the lake in E014 and the west of E014 show the earlier
        // tile in both views; the cells around them do not.
        const QImage qtImg = qt.grab().toImage(), glImg = gl.grabFramebuffer();
        const auto pixel = [](double lon, double lat) { return QPoint(int((lon - 11.0) * 100), int((51.3 - lat) * 100)); };
        for (const QImage &img : {qtImg, glImg}) {
            QCOMPARE(img.pixel(pixel(14.68, 49.53)) | 0xff000000u, red);
            QCOMPARE(img.pixel(pixel(14.03, 49.5)) | 0xff000000u, red);
            QVERIFY((img.pixel(pixel(14.95, 49.1)) | 0xff000000u) != red);
            QVERIFY((img.pixel(pixel(15.9, 49.9)) | 0xff000000u) != red);
        }
    }

    // A tile the driver refuses to store is left out with one warning; the
    // others are drawn.
    void glUploadRefused_data()
    {
        QTest::addColumn<bool>("throughOpen");
        QTest::newRow("the view's own upload") << false;
        QTest::newRow("the open's upload") << true;
    }

    void glUploadRefused()
    {
        QFETCH(bool, throughOpen);
        DrawGLWdg::resetViewExtent();
        DrawGLWdg view;
        view.setGlLookup(refusingBlueUploads());
        QVERIFY(show(&view));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("blue.chgt could not be uploaded"));
        const QStringList files{path("red.chgt"), path("blue.chgt"), path("partial.chgt")};
        if (throughOpen) {
            DrawQtWdg qt;
            OpenTiles::intoViews(files, qt, view);
            QCOMPARE(qt.storedPolygons().size(), 6); // the painter keeps blue
        } else {
            QVERIFY(view.createHeightsGenBuffer(files));
        }
        QCOMPARE(view.vertexCounts(), (QVector<int>{6, 6}));
        const QImage img = view.grabFramebuffer();
        QVERIFY(sameColor(img.pixel(350, 180), Qt::red)); // 14.5 E, 49.5 N: blue would lie on top
        QVERIFY(sameColor(img.pixel(550, 180), Qt::darkGreen));
    }

    void wheelTurns_data()
    {
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<QPoint>("pixels");
        QTest::addColumn<int>("phase");
        QTest::addColumn<int>("step"); // +1 in, -1 out, 0 nothing
        QTest::newRow("touchpad begins") << QPoint() << QPoint() << int(Qt::ScrollBegin) << 0;
        QTest::newRow("touchpad ends") << QPoint() << QPoint() << int(Qt::ScrollEnd) << 0;
        QTest::newRow("touchpad moves") << QPoint() << QPoint(0, 12) << int(Qt::ScrollUpdate) << 1;
        QTest::newRow("tilt right") << QPoint(120, 0) << QPoint() << int(Qt::NoScrollPhase) << 1;
        QTest::newRow("tilt left") << QPoint(-120, 0) << QPoint() << int(Qt::NoScrollPhase) << -1;
        QTest::newRow("vertical counts first") << QPoint(120, -120) << QPoint() << int(Qt::NoScrollPhase) << -1;
        QTest::newRow("plain delta 0") << QPoint() << QPoint() << int(Qt::NoScrollPhase) << -1;
    }

    void wheelTurns()
    {
        QFETCH(QPoint, angle);
        QFETCH(QPoint, pixels);
        QFETCH(int, phase);
        QFETCH(int, step);
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        DrawQtWdg qt;
        DrawGLWdg gl;
        QVERIFY(show(&qt) && show(&gl));
        for (QWidget *v : std::initializer_list<QWidget *>{&qt, &gl}) {
            const QPointF at(450, 150);
            QWheelEvent event(at, v->mapToGlobal(at), pixels, angle, {}, {}, Qt::ScrollPhase(phase), false);
            QApplication::sendEvent(v, &event);
        }
        const ViewExtent q = DrawQtWdg::viewExtent(), g = DrawGLWdg::viewExtent();
        QCOMPARE(q.left, float(1100 + 45 * step));
        QCOMPARE(q.top, float(5130 - 15 * step));
        QCOMPARE(g.left, float(11.0 + 0.45 * step));
        QCOMPARE(g.top, float(51.3 - 0.15 * step));
    }

    // The same wheel steps and drag (pressed at 500,150) from the whole country: same window and picture.
    void viewsAgree_data()
    {
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<QRectF>("expected"); // left, bottom, width, height
        const QRectF country(1100, 4830, 900, 300);
        const QPoint click(500, 150);
        QTest::newRow("whole country, with the border") << QList<int>{} << 0 << click << country;
        QTest::newRow("zoom in then out") << QList<int>{120, -120} << 0 << click << country;
        QTest::newRow("delta 0 zooms out") << QList<int>{0} << 0 << click << QRectF(1055, 4815, 990, 330);
        QTest::newRow("zoom in stops with the map left") << QList<int>(12, 120) << 0 << click
                                                         << QRectF(1505, 4965, 90, 30);
        QTest::newRow("left drag 100 px left, 30 up") << QList<int>{} << int(Qt::LeftButton) << QPoint(400, 120)
                                                      << QRectF(1200, 4800, 900, 300);
        QTest::newRow("left click") << QList<int>{} << int(Qt::LeftButton) << click << country;
        QTest::newRow("right drag") << QList<int>{} << int(Qt::RightButton) << QPoint(400, 100) << country;
        QTest::newRow("middle drag") << QList<int>{} << int(Qt::MiddleButton) << QPoint(400, 100) << country;
    }

    void viewsAgree()
    {
        QFETCH(QList<int>, deltas);
        QFETCH(int, button);
        QFETCH(QPoint, release);
        QFETCH(QRectF, expected);
        const bool border = deltas.isEmpty() && !button;
        if (!qtView) {
            qtView = std::make_unique<DrawQtWdg>();
            glView = std::make_unique<DrawGLWdg>();
            QVERIFY(show(qtView.get()) && show(glView.get()));
            qtView->createHeightsBuffer(relief);
            QVERIFY(glView->createHeightsGenBuffer(relief));
        }
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        qtView->viewBorder(border);
        glView->viewBorder(border);
        QSignalSpy qtPasses(qtView.get(), &DrawQtWdg::sProgress);
        for (QWidget *v : {static_cast<QWidget *>(qtView.get()), static_cast<QWidget *>(glView.get())}) {
            for (int delta : deltas) {
                const QPointF at(450, 150);
                QWheelEvent event(at, v->mapToGlobal(at), {}, {0, delta}, {}, {}, Qt::NoScrollPhase, false);
                QApplication::sendEvent(v, &event);
            }
            if (button) {
                QTest::mousePress(v, Qt::MouseButton(button), Qt::NoModifier, QPoint(500, 150));
                QTest::mouseRelease(v, Qt::MouseButton(button), Qt::NoModifier, release);
            }
        }
        QCOMPARE(qtPasses.count(), deltas.size() + (button == Qt::LeftButton ? 1 : 0));
        const float l = expected.left(), r = expected.right(), b = expected.top(), t = expected.bottom();
        QCOMPARE(DrawQtWdg::viewExtent(), (ViewExtent{l, r, b, t}));

        // Each sampled map colour of the painter view is within a pixel in the OpenGL view (so is its window).
        const QImage qtImg = qtView->grab().toImage(), glImg = glView->grabFramebuffer();
        const auto toPixel = [&](QPointF m) { return QPoint((m.x() - l) * 900 / (r - l), (t - m.y()) * 300 / (t - b)); };
        const QRect tiles = QRect(toPixel({1401, 4999}), toPixel({1599, 4901})) & QRect(0, 0, 900, 300);
        QVERIFY(tiles.width() > 150);
        for (int y = tiles.top(); y < tiles.bottom(); y += 5)
            for (int x = tiles.left(); x < tiles.right(); x += 5) {
                const QRgb c = qtImg.pixel(x, y);
                const bool found = !allNear(glImg, {x, y}, 1, [&](QRgb g) { return !sameColor(g, c); });
                QVERIFY2(found, qPrintable(QString("at %1,%2").arg(x).arg(y)));
            }

        // Outline points in sight and the middles of the pieces are black exactly when the border is shown.
        const QVector<QPointF> &outline = qtView->borderPoints();
        int inSight = 0;
        for (int i = 0; i + 1 < outline.size(); ++i)
            for (const QPointF &pt : {outline[i], (outline[i] + outline[i + 1]) / 2}) {
                const QPoint p = toPixel(pt);
                if (QRect(1, 1, 898, 298).contains(p)) {
                    ++inSight;
                    QVERIFY(blackNear(qtImg, p, 1) == border && blackNear(glImg, p, 1) == border);
                }
            }
        QVERIFY(inSight > 100 || expected.width() < 900);
    }
};

RZ_REGISTER_TEST(TestViews);
#include "tst_views.moc"
