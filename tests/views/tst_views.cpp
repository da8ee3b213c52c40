#include "TestRegistry.h"
#include "ViewTesting.h"
#include "Waits.h"

#include "OpenTiles.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QScreen>
#include <QtTest>

#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace TestTiles;
using namespace ViewTesting;

namespace {

// chgt2png's exit code (-1: it crashed or hung); squeezed, in 300 MB of address space.
int runChgt2png(const QStringList &arguments, QString *err = nullptr, bool squeezed = false)
{
    QProcess process;
    if (squeezed) {
        process.setChildProcessModifier([] {
            const rlimit limit{300u << 20, 300u << 20};
            setrlimit(RLIMIT_AS, &limit);
        });
    }
    process.start(QCoreApplication::applicationDirPath() + "/chgt2png", arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (err)
        *err = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitCode();
}

// ratio, size, extent, border, bands, offset, chgt2png's options, its exit code, huge
using Picture = std::tuple<qreal, QSize, ViewExtent, bool, int, QPoint, QStringList, int, bool>;
// variant, files, vertex counts, probe, its colour, progress
using GlLoad = std::tuple<int, QStringList, QVector<int>, QPointF, QColor, QList<int>>;
// angles, pixels, phase, button, release, expected
using Steering = std::tuple<QList<QPoint>, QPoint, int, int, QPoint, QRectF>;

} // namespace

Q_DECLARE_METATYPE(Picture)
Q_DECLARE_METATYPE(Steering)
Q_DECLARE_METATYPE(GlLoad)

class TestViews : public QObject
{
    Q_OBJECT

    LodTiles tiles;
    QTemporaryDir dir;
    QString quadrants; // N49E016 of four flat quadrants
    QStringList relief; // N49E014 and N49E015 of relief
    std::unique_ptr<DrawQtWdg> qtView; // both views of the relief tiles
    std::unique_ptr<DrawGLWdg> glView;

    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void initTestCase()
    {
        const qint16 heights[] = {120, 350, 700, 1500}; // NW, NE, SW, SE
        quadrants = constantTile(dir.path(), "N49E016", 0, [&](int row, int col) {
            return heights[(row >= 600) * 2 + (col >= 600)];
        });
        QVERIFY(!quadrants.isEmpty());
        relief = reliefTiles(tiles, 5);
        for (const QString &f : relief) // by name beside the other files
            QVERIFY(QFile::link(f, path(QFileInfo(f).fileName())));
        // Loose triangles from slivers to larger than a tile, over the country and beyond.
        QRandomGenerator random(19);
        QVector<float> loose;
        for (int i = 0; i < 4000; ++i) {
            const double x = 12 + 7 * random.generateDouble(), y = 48.5 + 2.5 * random.generateDouble();
            const double s = std::pow(10.0, 0.3 - 4.0 * random.generateDouble()), u = random.generateDouble();
            addTriangle(loose, x, y, x + s * u, y - s / 2, x - s / 3, y + s * (1 - u),
                        QColor::fromRgb(random.generate()));
        }
        QVERIFY(writeFloats(path("loose.chgt"), loose));
        QVector<float> far;
        addTriangle(far, -1.6746942e34, -3.697314e28, 48.57, 48.56, 48.56, 3.94e33, Qt::darkCyan);
        QVERIFY(writeFloats(path("far.chgt"), far));
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

    // The state border: a closed ring, clockwise, of about ten square degrees.
    void borderOutline()
    {
        const QVector<QPointF> points = DrawQtWdg().borderPoints();
        QCOMPARE(points.size(), 2835);
        for (const QPointF &p : {points.first(), points.last()})
            QCOMPARE(QPointF(std::round(p.x() * 10), std::round(p.y() * 10)), QPointF(17635, 50273));
        double twiceArea = 0.0; // negative: clockwise with north up
        for (int i = 0; i + 1 < points.size(); ++i)
            twiceArea += points[i].x() * points[i + 1].y() - points[i + 1].x() * points[i].y();
        QVERIFY(twiceArea < -2 * 9e4 && twiceArea > -2 * 11e4); // about 10 square degrees
    }

    // Each action brings one paint pass ending with 100; only the timed repaint logs.
    void qtPaintPasses()
    {
        QFile::remove(QStringLiteral("log.txt"));
        DrawQtWdg::resetViewExtent();
        DrawQtWdg w;
        QSignalSpy progress(&w, &DrawQtWdg::sProgress);
        QVERIFY(showAt(&w));
        // Painted once: from now on a repaint is done before the call returns.
        QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty(), Waits::Event);
        const auto onePass = [&](const std::function<void()> &action) {
            progress.clear();
            action();
            return progress.count() == 1 && progress.first().first().toInt() == 100;
        };
        QVERIFY(onePass([&] { w.createHeightsBuffer({}); }));
        QVERIFY(onePass([&] { w.createHeightsBuffer({quadrants, path("none.chgt"), quadrants}); }));
        // Regular tiles: held as grids.
        QCOMPARE(w.mapContent().gridCount(), 2);
        QCOMPARE(w.storedPolygons().size(), 0);
        QVERIFY(onePass([&] { w.viewBorder(false); }));
        QVERIFY(onePass([&] { w.repaintQtWdg(); }));
        // The band images of grids are kept between paints, not for good.
        QVERIFY(w.mapPainter().bandImageBytes() > 0 && w.mapPainter().bandImageBytes() <= qint64(128) << 20);
        QTRY_COMPARE_WITH_TIMEOUT(w.mapPainter().bandImageBytes(), 0, Waits::Event);
        const QStringList lines = QString::fromUtf8(TestTiles::fileBytes("log.txt")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first().section('\t', 1, 1), QStringLiteral("Repaint Qt widget"));
    }

    // The painter view rendered in bands into a page of its ratio is the
    // plain paint of every tile and triangle, and so is chgt2png's picture.
    void painterPictures_data()
    {
        // bands 0: as the view picks them; exit code -1: chgt2png not run; huge:
        // a triangle beyond the fast fill's reach, so that all goes to QPainter.
        QTest::addColumn<Picture>("picture");
        const ViewExtent country = DrawQtWdg::initialExtent, zoomed{1425, 1575, 4925, 4975};
        const auto tool = [](const char *name, QSize size, ViewExtent e, bool border, QStringList options, int exit) {
            QTest::newRow(name) << Picture{1.0, size, e, border, 0, QPoint(37, 23), options, exit, false};
        };
        const auto view = [](const char *name, qreal ratio, QSize size, ViewExtent e, bool border, int bands,
                             QPoint offset, bool huge = false) {
            QTest::newRow(name) << Picture{ratio, size, e, border, bands, offset, QStringList(), -1, huge};
        };
        tool("bad size", QSize(), country, true, {"--size", "0x10"}, 2);
        tool("defaults", QSize(1800, 600), country, true, {}, 0);
        tool("zoomed, odd size, no border, one file missing", QSize(1037, 611), zoomed, false,
             {"--size", "1037x611", "--window", "14.25,15.75,49.25,49.75", "--no-border"}, 1);
        tool("map edge, 17 rows", QSize(500, 17), {1300, 1500, 4850, 4900}, true,
             {"--size", "500x17", "--window", "13,15,48.5,49"}, 0);
        view("ratio 2, whole country", 2.0, QSize(700, 300), country, true, 0, QPoint());
        view("ratio 2, odd size, zoomed, no border", 2.0, QSize(517, 233), zoomed, false, 5, QPoint());
        view("ratio 2, 9 rows", 2.0, QSize(400, 9), country, true, 2, QPoint());
        view("ratio 2, at an offset", 2.0, QSize(480, 270), country, true, 3, QPoint(37, 23));
        view("ratio 2, a triangle far beyond the map", 2.0, QSize(640, 360), country, false, 4, QPoint(), true);
        view("ratio 3, west edge", 3.0, QSize(301, 201), {1380, 1480, 4880, 4990}, true, 4, QPoint());
    }

    void painterPictures()
    {
        QFETCH(Picture, picture);
        const auto &[ratio, size, extent, border, bands, offset, options, exitCode, huge] = picture;
        QStringList files = relief + QStringList{path("loose.chgt")};
        if (huge)
            files << path("far.chgt");
        const QString out = path("out.png"), missing = path("N48E013.chgt");
        if (exitCode >= 0) {
            QVERIFY(!QFile::exists(out) || QFile::remove(out));
            QString err;
            const QStringList inputs = exitCode == 1 ? QStringList{missing} + files : files;
            QCOMPARE(runChgt2png(options + QStringList{"-o", out} + inputs, &err), exitCode);
            QCOMPARE(QFile::exists(out), exitCode != 2);
            if (exitCode == 2)
                return;
            QVERIFY(exitCode == 0 || err.contains(missing));
        }
        DrawQtWdg view;
        view.resize(size);
        view.viewBorder(border);
        view.mapPainter().setMode(MapPainter::Mode::Bands);
        view.mapPainter().setBandCount(bands);
        view.createHeightsBuffer(files);
        DrawQtWdg::setViewExtent(extent);
        QImage page = blank(size + QSize(offset.x(), offset.y()) * 2, ratio);
        view.render(&page, offset, QRegion(), QWidget::DrawChildren);
        DrawQtWdg::resetViewExtent();
        // The fast path was taken, and the triangles out of sight were left out.
        QCOMPARE(view.mapPainter().lastFilledTriangles() > 0, !huge);
        const qsizetype culled = view.storedPolygons().size() / 2;
        QVERIFY(extent == DrawQtWdg::initialExtent || view.mapPainter().lastPaintedTriangles() < culled);

        QImage expected = blank(size, ratio);
        QPainter painter(&expected);
        MapPainter::paintPlain(painter, size, ViewExtentMath::windowRect(extent), view.mapContent(),
                               view.borderPoints(), border);
        painter.end();
        QCOMPARE(page.copy(QRect(offset * ratio, size * ratio)).convertToFormat(QImage::Format_RGB32), expected);
        if (!offset.isNull()) // nothing beside the view was painted
            QCOMPARE(page.pixel(offset.x() * ratio - 1, offset.y() * ratio - 1), qRgb(255, 255, 255));
        if (exitCode >= 0)
            QCOMPARE(QImage(out).convertToFormat(QImage::Format_RGB32), expected);
    }

    void glLoadsAndDraws_data()
    {
        // variant 0: a view with buffer objects, 1: without; progress: of the
        // first paint after opening, each tile counts.
        QTest::addColumn<GlLoad>("load");
        QTest::newRow("no files") << GlLoad{0, {}, {}, {14.5, 49.5}, Qt::white, {100}};
        QTest::newRow("four tiles, later covers earlier; unreadable, 2 GiB and partial triangle")
            << GlLoad{0, {"red", "missing", "huge", "empty", "blue", "partial"}, {6, 0, 6, 6}, {14.7, 49.7}, Qt::blue, {0, 25, 50, 75, 100}};
        QTest::newRow("grids, then triangles")
            << GlLoad{0, {"N49E014", "N49E015", "red"}, {345600, 345600, 6}, {14.5, 49.5}, Qt::red, {0, 33, 66, 100}};
        QTest::newRow("no buffer objects") << GlLoad{1, {"red"}, {}, {14.5, 49.5}, Qt::white, {100}};
    }

    void glLoadsAndDraws()
    {
        QFETCH(GlLoad, load);
        auto [variant, files, counts, probe, expected, progress] = load;
        for (QString &f : files)
            f = path(f + ".chgt");
        if (variant == 1)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("buffer objects"));
        DrawGLWdg view;
        // The driver's glBindBuffer, kept aside when the view is made to find
        // none, like a GL 1.1 driver without buffer objects.
        static GlBufferFunctions::BindBuffer noBind = nullptr;
        if (variant == 1)
            view.setGlLookup(replacing<GlBufferFunctions::BindBuffer>("glBindBuffer", nullptr, &noBind));
        QVERIFY(showAt(&view));
        QCOMPARE(view.hasBufferObjects(), variant != 1);
        QSignalSpy painted(&view, &DrawGLWdg::sProgress);
        QVERIFY(view.createHeightsGenBuffer(files));
        QTRY_VERIFY_WITH_TIMEOUT(painted.count() >= progress.size(), Waits::Event);
        for (int i = 0; i < progress.size(); ++i)
            QCOMPARE(painted[i].first().toInt(), progress[i]);
        QCOMPARE(view.vertexCounts(), counts);
        const QPoint pixel((probe.x() - 11) * 100, (51.3 - probe.y()) * 100);
        QVERIFY(sameColor(view.grabFramebuffer().pixel(pixel), expected));
    }

    // Files that are not tiles, damaged triangles and triangles beyond the
    // memory left are left out of both views and chgt2png without hanging.
    // The OpenGL view paints opaque white in a window of another colour,
    // also after another view died with this view's context current.
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
        // A partial triangle at the end is left out too.
        QVERIFY(writeFloats(path("good.chgt"), good) && writeFloats(path("damaged.chgt"), bad, QByteArray(50, 'x')));
        QVERIFY(mkfifo(QFile::encodeName(path("fifo.chgt")), 0600) == 0 && QDir().mkpath(path("folder.chgt")));
        QVERIFY(QFile::link("/dev/zero", path("zero.chgt")));
        const QStringList hostile{path("fifo.chgt"), path("folder.chgt"), path("zero.chgt"), path("damaged.chgt"),
                                  path("huge.chgt")};

        resetViews();
        DrawQtWdg qtGood, qtHostile;
        QWidget window;
        window.setPalette(QPalette(QColor(40, 80, 120)));
        window.setAutoFillBackground(true);
        auto *glGood = new DrawGLWdg(&window);
        glGood->resize(900, 300);
        auto glHostile = std::make_unique<DrawGLWdg>();
        for (QWidget *v : std::initializer_list<QWidget *>{&qtGood, &qtHostile, &window, glHostile.get()})
            QVERIFY(showAt(v));
        qtGood.createHeightsBuffer({path("good.chgt")});
        qtHostile.createHeightsBuffer(hostile);
        QVERIFY(glGood->createHeightsGenBuffer({path("good.chgt")}) && glHostile->createHeightsGenBuffer(hostile));
        QCOMPARE(qtHostile.storedPolygons().size(), 2);
        QCOMPARE(glHostile->vertexCounts(), QVector<int>{6});
        QCOMPARE(qtHostile.grab().toImage(), qtGood.grab().toImage());
        QCOMPARE(glHostile->grabFramebuffer(), glGood->grabFramebuffer());
        glGood->makeCurrent();
        glHostile.reset();
        const auto screen = [&] { return window.screen()->grabWindow(window.winId()).toImage(); };
        QTRY_VERIFY_WITH_TIMEOUT(sameColor(screen().pixel(330, 190), Qt::red), Waits::Event);
        for (const QImage &img : {screen(), window.grab().toImage(), glGood->grabFramebuffer()})
            QVERIFY(sameColor(img.pixel(100, 150), Qt::white) && sameColor(img.pixel(330, 190), Qt::red));

        QString err;
        QCOMPARE(runChgt2png(QStringList{"-o", path("hostile.png")} + hostile, &err), 1);
        for (const char *name : {"fifo.chgt", "folder.chgt", "zero.chgt"})
            QVERIFY2(err.contains(path(name) + ": not a regular file, skipped"), qPrintable(err));
        QVERIFY(err.contains(path("huge.chgt") + ": file too large, skipped"));
        QCOMPARE(runChgt2png({"-o", path("good.png"), path("good.chgt")}), 0);
        QCOMPARE(QImage(path("hostile.png")), QImage(path("good.png")));

#ifndef RZMAP_SANITIZED // the sanitizers need far more address space than the limit leaves
        // A tile at q = 1, no other test's, with one triangle more: no regular
        // tile (whose grid would fit).
        const QString big = tiles.converted(Kind::Relief, 48, 13, 1);
        QFile file(big);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray first = file.read(72);
        QVERIFY(file.seek(file.size()) && file.write(first) == 72);
        file.close();
        QCOMPARE(runChgt2png({"-o", path("squeezed.png"), big, quadrants}, &err, true), 1);
        QVERIFY2(err.contains(big + ": not enough memory, skipped"), qPrintable(err));
        QCOMPARE(runChgt2png({"-o", path("alone.png"), quadrants}), 0);
        QCOMPARE(QImage(path("squeezed.png")), QImage(path("alone.png")));
#endif
    }

    // "Otevřít..." reads each file once for both views, which end as if each
    // had read the list, also when the OpenGL view gets its context later.
    void openIntoBothViews()
    {
        // Loose triangles under and over tiles with holes (one with a
        // damaged triangle among its records): the order holds.
        QVector<float> under, over;
        addTriangle(under, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, Qt::red);
        addTriangle(under, 14.2, 49.1, 14.6, 49.2, 14.3, 49.7, Qt::blue);
        addTriangle(over, 16.2, 49.2, 16.8, 49.3, 16.4, 49.8, Qt::green);
        QVERIFY(writeFloats(path("loose-under.chgt"), under) && writeFloats(path("loose-over.chgt"), over));
        QStringList files{path("loose-under.chgt")};
        for (int i = 0; i < 2; ++i) {
            QByteArray bytes = TestTiles::withHoles(TestTiles::fileBytes(relief[i]), 5, TestTiles::borderHoles);
            bytes.insert(144 * 1000 * i, i ? TestTiles::nanTriangle() : QByteArray());
            files << path(QStringLiteral("holes-%1.chgt").arg(i));
            QVERIFY(TestTiles::writeBytes(files.last(), bytes));
        }
        files << path("missing.chgt") << quadrants << path("loose-over.chgt");
        DrawQtWdg referenceQt;
        DrawGLWdg referenceGl;
        QVERIFY(showAt(&referenceGl));
        referenceQt.createHeightsBuffer(files);
        referenceGl.createHeightsGenBuffer(files);
        referenceQt.resize(400, 200);

        for (bool glShown : {true, false}) {
            DrawQtWdg qt;
            DrawGLWdg gl;
            if (glShown)
                QVERIFY(showAt(&gl));
            OpenTiles::intoViews(files, qt, gl);
            // Grids are held without a context; the triangles wait for one.
            QCOMPARE(gl.tileCount(), glShown ? 5 : 3);
            if (!glShown)
                QVERIFY(showAt(&gl));
            QCOMPARE(gl.vertexCounts(), referenceGl.vertexCounts());
            QCOMPARE(gl.grabFramebuffer(), referenceGl.grabFramebuffer());

            QCOMPARE(qt.mapContent().gridCount(), 3);
            QCOMPARE(qt.mapContent().gridBytes(), qint64(3) * 240 * 240);
            QCOMPARE(qt.mapContent().entries().size(), referenceQt.mapContent().entries().size());
            const QVector<ColoredPolygon> &got = qt.storedPolygons(), &expected = referenceQt.storedPolygons();
            QCOMPARE(got.size(), 3);
            for (qsizetype i = 0; i < got.size(); ++i)
                QVERIFY(got[i].polygon == expected[i].polygon && got[i].color == expected[i].color);
            // The pointer readout gives the triangle under a hole, and the tile in a cell.
            QCOMPARE(qt.colorAt({14.05, 49.1}), QColor(Qt::red));
            QVERIFY(qt.colorAt({14.9, 49.9}).isValid() && qt.colorAt({14.9, 49.9}) != QColor(Qt::red));
            qt.resize(400, 200);
            QCOMPARE(qt.grab().toImage(), referenceQt.grab().toImage());
        }
    }

    // The same wheel turns (at 450,150) and drags (from 500,150): the same
    // window in both views, and the same picture.
    void viewsAgree_data()
    {
        // One wheel event per angle; the expected window as left, bottom, width, height.
        QTest::addColumn<Steering>("steering");
        const QRectF country(1100, 4830, 900, 300), in(1145, 4845, 810, 270), out(1055, 4815, 990, 330);
        const QPoint click(500, 150), none;
        const auto wheel = [&](const char *name, const QList<QPoint> &angles, QPoint pixels, int phase, QRectF to) {
            QTest::newRow(name) << Steering{angles, pixels, phase, 0, click, to};
        };
        const auto drag = [&](const char *name, Qt::MouseButton button, QPoint release, QRectF to) {
            QTest::newRow(name) << Steering{{}, none, int(Qt::NoScrollPhase), int(button), release, to};
        };
        drag("whole country, with the border", Qt::NoButton, click, country);
        wheel("zoom in then out", {{0, 120}, {0, -120}}, none, Qt::NoScrollPhase, country);
        wheel("delta 0 zooms out", {none}, none, Qt::NoScrollPhase, out);
        wheel("zoom in stops with the map left", QList<QPoint>(12, {0, 120}), none, Qt::NoScrollPhase,
              QRectF(1505, 4965, 90, 30));
        wheel("touchpad begins", {none}, none, Qt::ScrollBegin, country);
        wheel("touchpad ends", {none}, none, Qt::ScrollEnd, country);
        wheel("touchpad moves", {none}, QPoint(0, 12), Qt::ScrollUpdate, in);
        wheel("tilt right", {{120, 0}}, none, Qt::NoScrollPhase, in);
        wheel("tilt left", {{-120, 0}}, none, Qt::NoScrollPhase, out);
        wheel("vertical counts first", {{120, -120}}, none, Qt::NoScrollPhase, out);
        drag("left drag 100 px left, 30 up", Qt::LeftButton, QPoint(400, 120), QRectF(1200, 4800, 900, 300));
        drag("left click", Qt::LeftButton, click, country);
        drag("right drag", Qt::RightButton, QPoint(400, 100), country);
        drag("middle drag", Qt::MiddleButton, QPoint(400, 100), country);
    }

    void viewsAgree()
    {
        QFETCH(Steering, steering);
        const auto &[angles, pixels, phase, button, release, expected] = steering;
        const bool border = angles.isEmpty() && !button;
        const QPoint click(500, 150);
        if (!qtView) {
            qtView = std::make_unique<DrawQtWdg>();
            glView = std::make_unique<DrawGLWdg>();
            QVERIFY(showAt(qtView.get()) && showAt(glView.get()));
            qtView->createHeightsBuffer(relief);
            QVERIFY(glView->createHeightsGenBuffer(relief));
        }
        resetViews();
        qtView->viewBorder(border);
        glView->viewBorder(border);
        QSignalSpy qtPasses(qtView.get(), &DrawQtWdg::sProgress);
        for (QWidget *v : {static_cast<QWidget *>(qtView.get()), static_cast<QWidget *>(glView.get())}) {
            for (QPoint angle : angles) {
                const QPointF at(450, 150);
                QWheelEvent event(at, v->mapToGlobal(at), pixels, angle, {}, {}, Qt::ScrollPhase(phase), false);
                QApplication::sendEvent(v, &event);
            }
            if (button) {
                QTest::mousePress(v, Qt::MouseButton(button), Qt::NoModifier, click);
                QTest::mouseRelease(v, Qt::MouseButton(button), Qt::NoModifier, release);
            }
        }
        const float l = expected.left(), r = expected.right(), b = expected.top(), t = expected.bottom();
        QCOMPARE(DrawQtWdg::viewExtent(), (ViewExtent{l, r, b, t}));
        const ViewExtent gl = DrawGLWdg::viewExtent();
        QCOMPARE(gl.left * 100, l);
        QCOMPARE(gl.right * 100, r);
        QCOMPARE(gl.bottom * 100, b);
        QCOMPARE(gl.top * 100, t);
        const bool touchEnds = phase == Qt::ScrollBegin || phase == Qt::ScrollEnd;
        QCOMPARE(qtPasses.count(), (touchEnds ? 0 : angles.size()) + (button == Qt::LeftButton ? 1 : 0));

        // Each sampled map colour of the painter view is within a pixel in the OpenGL view.
        const QImage qtImg = qtView->grab().toImage(), glImg = glView->grabFramebuffer();
        const auto toPixel = [&](QPointF m) {
            return QPoint((m.x() - l) * 900 / (r - l), (t - m.y()) * 300 / (t - b));
        };
        const QRect tiles = QRect(toPixel({1401, 4999}), toPixel({1599, 4901})) & QRect(0, 0, 900, 300);
        for (int y = tiles.top(); y < tiles.bottom(); y += 5)
            for (int x = tiles.left(); x < tiles.right(); x += 5) {
                const QRgb c = qtImg.pixel(x, y);
                QVERIFY(anyNear(glImg, {x, y}, [&](QRgb g) { return sameColor(g, c); }));
            }

        // Outline points in sight and the middles of the pieces are black exactly when the border is shown.
        const QVector<QPointF> &outline = qtView->borderPoints();
        const auto black = [](QRgb c) { return sameColor(c, Qt::black, 40); };
        int inSight = 0;
        for (int i = 0; i + 1 < outline.size(); ++i)
            for (const QPointF &pt : {outline[i], (outline[i] + outline[i + 1]) / 2}) {
                const QPoint p = toPixel(pt);
                if (QRect(1, 1, 898, 298).contains(p)) {
                    ++inSight;
                    QVERIFY(anyNear(qtImg, p, black) == border && anyNear(glImg, p, black) == border);
                }
            }
        QVERIFY(inSight > 100 || expected.width() < 900);
    }
};

RZ_REGISTER_TEST(TestViews);
#include "tst_views.moc"
