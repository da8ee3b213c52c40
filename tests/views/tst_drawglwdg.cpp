#include "BorderOutline.h"
#include "ConvertHgt.h"
#include "DrawGLWdg.h"
#include "HgtTileGenerator.h"
#include "ProgressDlg.h"
#include "TestRegistry.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QtEndian>

#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(ViewExtent)

namespace {

struct Rgb
{
    float r, g, b;
};

// One cell as the converter writes it: two triangles SW-SE-NW, NW-NE-SE.
QVector<float> rectCell(double west, double south, double east, double north, Rgb c)
{
    const double corners[6][2] = {{west, south}, {east, south}, {west, north},
                                  {west, north}, {east, north}, {east, south}};
    QVector<float> v;
    for (const auto &p : corners)
        v << float(p[0]) << float(p[1]) << 0.0f << c.r << c.g << c.b;
    return v;
}

bool writeFloats(const QString &path, const QVector<float> &floats, const QByteArray &tail = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes;
    for (float x : floats) {
        char le[4];
        qToLittleEndian(x, le);
        bytes.append(le, 4);
    }
    bytes += tail;
    return f.write(bytes) == bytes.size();
}

// Widget pixel of a map point, with the view's current extent.
QPoint pixelOf(double lon, double lat, QSize size)
{
    const ViewExtent e = DrawGLWdg::viewExtent();
    const double x = (lon - e.left) / (e.right - e.left) * size.width();
    const double y = (e.top - lat) / (e.top - e.bottom) * size.height();
    return QPoint(int(std::floor(x)), int(std::floor(y)));
}

bool sameColor(QRgb a, QColor b, int tolerance = 2)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
        && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QColor colorOf(Rgb c)
{
    return QColor::fromRgbF(c.r, c.g, c.b);
}

int logLinesWith(const QString &text)
{
    QFile f(QStringLiteral("log.txt"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    int n = 0;
    while (!f.atEnd())
        if (QString::fromUtf8(f.readLine()).split(QLatin1Char('\t')).value(1) == text)
            ++n;
    return n;
}

// The values of the first whole paint the spy saw.
QList<int> firstPaint(const QSignalSpy &spy)
{
    QList<int> values;
    for (const auto &args : spy) {
        values << args.at(0).toInt();
        if (values.last() == 100)
            break;
    }
    return values;
}

// A paint asked for while the last frame is still being presented comes
// with the next frame.
bool paintedSince(const QSignalSpy &spy)
{
    return !spy.isEmpty() && firstPaint(spy).last() == 100;
}

void sendWheel(QWidget *w, int delta)
{
    const QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent ev(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &ev);
}

const Rgb Red{1.0f, 0.0f, 0.0f};
const Rgb Blue{0.0f, 0.0f, 1.0f};
const Rgb Green{0.0f, 0.5f, 0.0f};

// Finds no buffer-object entry point, like a GL 1.1 driver without them.
class DrawGLWdgWithoutBuffers : public DrawGLWdg
{
protected:
    QFunctionPointer lookupGlFunction(const char *name) const override
    {
        if (qstrcmp(name, "glBindBuffer") == 0)
            return nullptr;
        return DrawGLWdg::lookupGlFunction(name);
    }
};

} // namespace

class TestDrawGLWdg : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<DrawGLWdg> view;

    QString path(const QString &name) const { return dir.filePath(name); }

    // A shown, exposed 900 x 300 view: one pixel is 0.01 degree either way.
    DrawGLWdg *showView(DrawGLWdg *v = nullptr)
    {
        view.reset(v ? v : new DrawGLWdg);
        view->resize(900, 300);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view.get();
    }

    QRgb pixelAt(double lon, double lat) { return pixelAt(view.get(), lon, lat); }
    static QRgb pixelAt(DrawGLWdg *v, double lon, double lat)
    {
        const QImage img = v->grabFramebuffer();
        return img.pixel(pixelOf(lon, lat, img.size()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(writeFloats(path("red.chgt"), rectCell(14.0, 49.0, 15.0, 50.0, Red)));
        QVERIFY(writeFloats(path("blue.chgt"), rectCell(14.5, 49.5, 15.5, 50.5, Blue)));
        QVERIFY(writeFloats(path("partial.chgt"), rectCell(16.0, 49.0, 17.0, 50.0, Green),
                            QByteArray(50, '\x7f')));
        QVERIFY(writeFloats(path("empty.chgt"), {}));
        QVERIFY(QDir(dir.path()).mkpath("folder.chgt"));
        // Sparse: no disk space needed, but too big to be read in one piece.
        QFile huge(path("huge.chgt"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(qint64(1) << 31));
    }

    void init() { DrawGLWdg::resetViewExtent(); }
    void cleanup()
    {
        view.reset();
        DrawGLWdg::resetViewExtent();
    }

    void loadsTilesFromFiles_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QVector<int>>("counts");

        QTest::newRow("no files") << QStringList() << QVector<int>();
        QTest::newRow("only unreadable") << QStringList{"missing.chgt", "folder.chgt"} << QVector<int>();
        QTest::newRow("one tile") << QStringList{"red.chgt"} << QVector<int>{6};
        QTest::newRow("same file twice") << QStringList{"red.chgt", "red.chgt"} << QVector<int>{6, 6};
        QTest::newRow("unreadable in between")
            << QStringList{"red.chgt", "missing.chgt", "blue.chgt"} << QVector<int>{6, 6};
        QTest::newRow("partial triangle at the end") << QStringList{"partial.chgt"} << QVector<int>{6};
        QTest::newRow("empty tile") << QStringList{"empty.chgt"} << QVector<int>{0};
        QTest::newRow("2 GiB file") << QStringList{"huge.chgt", "red.chgt"} << QVector<int>{6};
    }

    void loadsTilesFromFiles()
    {
        QFETCH(QStringList, files);
        QFETCH(QVector<int>, counts);
        QVERIFY(showView());
        QSignalSpy painted(view.get(), &DrawGLWdg::sProgress);

        QStringList paths;
        for (const QString &f : files)
            paths << path(f);
        QVERIFY(view->createHeightsGenBuffer(paths));

        QCOMPARE(view->vertexCounts(), counts);
        // The view redraws itself, whatever was loaded.
        QTRY_VERIFY(paintedSince(painted));
    }

    void drawsWholeTrianglesOfTiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("lon");
        QTest::addColumn<double>("lat");
        QTest::addColumn<QColor>("expected");

        QTest::newRow("inside first triangle") << "red.chgt" << 14.2 << 49.2 << colorOf(Red);
        QTest::newRow("inside second triangle") << "red.chgt" << 14.8 << 49.8 << colorOf(Red);
        QTest::newRow("outside the tile") << "red.chgt" << 13.5 << 49.5 << QColor(Qt::white);
        QTest::newRow("tile with a partial triangle") << "partial.chgt" << 16.8 << 49.8 << colorOf(Green);
    }

    void drawsWholeTrianglesOfTiles()
    {
        QFETCH(QString, file);
        QFETCH(double, lon);
        QFETCH(double, lat);
        QFETCH(QColor, expected);
        QVERIFY(showView());
        view->createHeightsGenBuffer({path(file)});
        const QRgb got = pixelAt(lon, lat);
        QVERIFY2(sameColor(got, expected), qPrintable(QColor(got).name()));
    }

    void laterTilesCoverEarlierOnes()
    {
        QVERIFY(showView());
        view->createHeightsGenBuffer({path("red.chgt")});
        view->createHeightsGenBuffer({path("blue.chgt")});
        QVERIFY(sameColor(pixelAt(14.7, 49.7), colorOf(Blue)));
        QVERIFY(sameColor(pixelAt(14.2, 49.2), colorOf(Red)));
        // Loading the first one again puts it back on top.
        view->createHeightsGenBuffer({path("red.chgt")});
        QCOMPARE(view->tileCount(), 3);
        QVERIFY(sameColor(pixelAt(14.7, 49.7), colorOf(Red)));
    }

    void convertedTileIsDrawnWithItsOwnCount_data()
    {
        QTest::addColumn<int>("quantity");
        QTest::addColumn<int>("vertices");
        QTest::newRow("q 2") << 2 << 2160000;
        QTest::newRow("q 5") << 5 << 345600;
    }

    void convertedTileIsDrawnWithItsOwnCount()
    {
        QFETCH(int, quantity);
        QFETCH(int, vertices);
        const QString hgt = path("N49E014.hgt");
        QVERIFY(HgtTileGenerator(350).save(hgt));
        QDir out(path(QStringLiteral("q%1").arg(quantity)));
        QVERIFY(out.mkpath("."));
        QCOMPARE(ConvertHgt::convertFile(hgt, out, quantity), ConvertHgt::Outcome::Converted);

        // The colour the converter gave the one height band used.
        QFile tile(out.filePath("N49E014.chgt"));
        QVERIFY(tile.open(QIODevice::ReadOnly));
        const QByteArray first = tile.read(24);
        const QColor band = QColor::fromRgbF(qFromLittleEndian<float>(first.constData() + 12),
                                             qFromLittleEndian<float>(first.constData() + 16),
                                             qFromLittleEndian<float>(first.constData() + 20));
        tile.close();

        QVERIFY(showView());
        view->createHeightsGenBuffer({tile.fileName()});
        QCOMPARE(view->vertexCounts(), QVector<int>{vertices});
        // North-east corner too: all cells drawn, not just a prefix.
        for (const QPointF p : {QPointF(14.05, 49.05), QPointF(14.5, 49.5), QPointF(14.95, 49.95)})
            QVERIFY2(sameColor(pixelAt(p.x(), p.y()), band), qPrintable(QColor(pixelAt(p.x(), p.y())).name()));
        QVERIFY(sameColor(pixelAt(13.5, 49.5), Qt::white));
    }

    void reportsProgressPerTile_data()
    {
        QTest::addColumn<int>("tiles");
        QTest::addColumn<QList<int>>("values");
        QTest::newRow("none") << 0 << QList<int>{100};
        QTest::newRow("one") << 1 << QList<int>{0, 100};
        QTest::newRow("three") << 3 << QList<int>{0, 33, 66, 100};
        QTest::newRow("four") << 4 << QList<int>{0, 25, 50, 75, 100};
    }

    void reportsProgressPerTile()
    {
        QFETCH(int, tiles);
        QFETCH(QList<int>, values);
        QVERIFY(showView());
        for (int i = 0; i < tiles; ++i)
            view->createHeightsGenBuffer({path(i % 2 ? "blue.chgt" : "red.chgt")});
        QSignalSpy spy(view.get(), &DrawGLWdg::sProgress);
        view->repaint();
        QTRY_VERIFY(paintedSince(spy));
        QCOMPARE(firstPaint(spy), values);
    }

    void timedRepaintLogsOneLine()
    {
        QVERIFY(showView());
        view->createHeightsGenBuffer({path("red.chgt"), path("blue.chgt")});
        ProgressDlg *dlg = view->progressDialog();
        QVERIFY(!dlg->isVisible());
        const int before = logLinesWith(QStringLiteral("Repaint OpenGL widget"));

        view->repaintGLWdg();
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->currentActionText(), QStringLiteral("Repaint OpenGL widget"));
        QTRY_VERIFY(!dlg->isTiming());
        QCOMPARE(logLinesWith(QStringLiteral("Repaint OpenGL widget")), before + 1);

        // Paints nobody timed leave the log alone; the next timed one adds one.
        QSignalSpy spy(view.get(), &DrawGLWdg::sProgress);
        view->repaint();
        sendWheel(view.get(), 120);
        QTRY_VERIFY(paintedSince(spy));
        QTest::qWait(50);
        QCOMPARE(logLinesWith(QStringLiteral("Repaint OpenGL widget")), before + 1);
        view->repaintGLWdg();
        QTRY_VERIFY(!dlg->isTiming());
        QTest::qWait(50);
        QCOMPARE(logLinesWith(QStringLiteral("Repaint OpenGL widget")), before + 2);
    }

    void wheelZooms_data()
    {
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<ViewExtent>("expected");
        QTest::newRow("in") << QList<int>{120} << ViewExtent{11.45f, 19.55f, 48.45f, 51.15f};
        QTest::newRow("out") << QList<int>{-120} << ViewExtent{10.55f, 20.45f, 48.15f, 51.45f};
        QTest::newRow("zero delta zooms out") << QList<int>{0} << ViewExtent{10.55f, 20.45f, 48.15f, 51.45f};
        QTest::newRow("small delta is a whole step") << QList<int>{1} << ViewExtent{11.45f, 19.55f, 48.45f, 51.15f};
        QTest::newRow("in then out") << QList<int>{120, -120} << DrawGLWdg::initialExtent;
        // The tenth step in would leave nothing to see: it is refused.
        QTest::newRow("stops before empty") << QList<int>(12, 120)
                                            << ViewExtent{15.05f, 15.95f, 49.65f, 49.95f};
    }

    void wheelZooms()
    {
        QFETCH(QList<int>, deltas);
        QFETCH(ViewExtent, expected);
        QVERIFY(showView());
        for (int d : deltas)
            sendWheel(view.get(), d);
        const ViewExtent got = DrawGLWdg::viewExtent();
        QVERIFY(qAbs(got.left - expected.left) < 1e-4f);
        QVERIFY(qAbs(got.right - expected.right) < 1e-4f);
        QVERIFY(qAbs(got.bottom - expected.bottom) < 1e-4f);
        QVERIFY(qAbs(got.top - expected.top) < 1e-4f);
    }

    void zoomedPictureShowsTheCentre()
    {
        QVERIFY(showView());
        view->createHeightsGenBuffer({path("red.chgt")});
        DrawGLWdg::setViewExtent(ViewExtent{10.5f, 19.5f, 47.5f, 50.5f});
        view->repaint();
        // Eight steps in around (15.0, 49.0) leave 14.1..15.9 by 48.7..49.3,
        // 500 px a degree: the red cell fills the top-left quarter.
        for (int i = 0; i < 8; ++i)
            sendWheel(view.get(), 120);
        const QImage img = view->grabFramebuffer();
        QVERIFY(sameColor(img.pixel(200, 75), colorOf(Red)));
        QVERIFY(sameColor(img.pixel(440, 140), colorOf(Red)));
        QVERIFY(sameColor(img.pixel(460, 75), Qt::white));
        QVERIFY(sameColor(img.pixel(200, 160), Qt::white));
    }

    void dragPans_data()
    {
        QTest::addColumn<Qt::MouseButton>("pressButton");
        QTest::addColumn<Qt::MouseButton>("releaseButton");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<ViewExtent>("expected");

        const ViewExtent initial = DrawGLWdg::initialExtent;
        QTest::newRow("left 100 px to the left")
            << Qt::LeftButton << Qt::LeftButton << QPoint(500, 150) << QPoint(400, 150)
            << ViewExtent{12.0f, 21.0f, 48.3f, 51.3f};
        QTest::newRow("left 30 px down")
            << Qt::LeftButton << Qt::LeftButton << QPoint(500, 100) << QPoint(500, 130)
            << ViewExtent{11.0f, 20.0f, 48.6f, 51.6f};
        QTest::newRow("left click") << Qt::LeftButton << Qt::LeftButton << QPoint(300, 100)
                                    << QPoint(300, 100) << initial;
        QTest::newRow("right drag") << Qt::RightButton << Qt::RightButton << QPoint(500, 150)
                                    << QPoint(400, 150) << initial;
        QTest::newRow("middle drag") << Qt::MiddleButton << Qt::MiddleButton << QPoint(500, 150)
                                     << QPoint(400, 150) << initial;
        QTest::newRow("left press, right release")
            << Qt::LeftButton << Qt::RightButton << QPoint(500, 150) << QPoint(400, 150) << initial;
    }

    void dragPans()
    {
        QFETCH(Qt::MouseButton, pressButton);
        QFETCH(Qt::MouseButton, releaseButton);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(ViewExtent, expected);
        QVERIFY(showView());
        QTest::mousePress(view.get(), pressButton, Qt::NoModifier, from);
        QTest::mouseMove(view.get(), to);
        QTest::mouseRelease(view.get(), releaseButton, Qt::NoModifier, to);
        const ViewExtent got = DrawGLWdg::viewExtent();
        QVERIFY2(qAbs(got.left - expected.left) < 1e-4f && qAbs(got.right - expected.right) < 1e-4f
                     && qAbs(got.bottom - expected.bottom) < 1e-4f && qAbs(got.top - expected.top) < 1e-4f,
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(got.left).arg(got.right).arg(got.bottom).arg(got.top)));
    }

    void mapFollowsTheDrag()
    {
        QVERIFY(showView());
        view->createHeightsGenBuffer({path("red.chgt")});
        // The red cell spans pixels 300..400; drag it 200 px to the right.
        QVERIFY(sameColor(pixelAt(14.5, 49.5), colorOf(Red)));
        const QImage before = view->grabFramebuffer();
        QVERIFY(sameColor(before.pixel(350, 180), colorOf(Red)));
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(350, 180));
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(550, 180));
        const QImage after = view->grabFramebuffer();
        QVERIFY(sameColor(after.pixel(350, 180), Qt::white));
        QVERIFY(sameColor(after.pixel(550, 180), colorOf(Red)));
    }

    void borderLine_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }

    void borderLine()
    {
        QFETCH(bool, shown);
        QVERIFY(showView());
        const QByteArray records = BorderOutline::readResource();
        QVERIFY(!records.isEmpty());
        QCOMPARE(view->borderVertexCount(), records.size() / 24);

        view->viewBorder(!shown);
        view->viewBorder(shown);
        QCOMPARE(view->isBorderShown(), shown);
        const QImage img = view->grabFramebuffer();

        // Every 50th outline point: black within a pixel when shown.
        const QVector<QPointF> points = BorderOutline::mapPoints(records);
        int black = 0, checked = 0;
        for (int i = 0; i < points.size(); i += 50, ++checked) {
            const QPoint p = pixelOf(points[i].x() / 100.0, points[i].y() / 100.0, img.size());
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx)
                    found = sameColor(img.pixel(p + QPoint(dx, dy)), Qt::black, 40);
            black += found;
        }
        QCOMPARE(black, shown ? checked : 0);
        QCOMPARE(img.pixelColor(450, 20), QColor(Qt::white));
    }

    void loadsFilesOpenedBeforeShown()
    {
        auto *hidden = new DrawGLWdg;
        view.reset(hidden);
        QVERIFY(hidden->createHeightsGenBuffer({path("red.chgt"), path("missing.chgt")}));
        QCOMPARE(hidden->tileCount(), 0);
        QCOMPARE(hidden->pendingFileCount(), 2);
        view.release();
        QVERIFY(showView(hidden));
        QCOMPARE(view->pendingFileCount(), 0);
        QCOMPARE(view->vertexCounts(), QVector<int>{6});
        QVERIFY(sameColor(pixelAt(14.5, 49.5), colorOf(Red)));
    }

    void keepsTilesInANewContext()
    {
        QVERIFY(showView());
        view->createHeightsGenBuffer({path("red.chgt")});
        QVERIFY(sameColor(pixelAt(14.5, 49.5), colorOf(Red)));

        // Moving the view into another window replaces its GL context.
        QWidget window;
        window.resize(900, 300);
        DrawGLWdg *moved = view.release();
        moved->setParent(&window);
        moved->move(0, 0);
        moved->show();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(moved->pendingFileCount(), 0);
        QCOMPARE(moved->vertexCounts(), QVector<int>{6});
        QVERIFY(moved->borderVertexCount() > 0);
        QVERIFY(sameColor(pixelAt(moved, 14.5, 49.5), colorOf(Red)));
    }

    void showsOpaqueWhiteBackground()
    {
        // Inside a window whose own background is not white, as in the program.
        QWidget window;
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, QColor(40, 80, 120));
        window.setPalette(pal);
        window.setAutoFillBackground(true);
        window.resize(900, 300);
        auto *v = new DrawGLWdg(&window);
        v->resize(900, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        v->createHeightsGenBuffer({path("red.chgt")});

        // What the window system shows, and what a grab of the window gives.
        auto screen = [&] { return window.screen()->grabWindow(window.winId()).toImage(); };
        QTRY_VERIFY(sameColor(screen().pixel(350, 180), colorOf(Red)));
        for (const QImage &img : {screen(), window.grab().toImage()}) {
            QVERIFY2(sameColor(img.pixel(100, 150), Qt::white), qPrintable(QColor(img.pixel(100, 150)).name()));
            QVERIFY(sameColor(img.pixel(350, 180), colorOf(Red)));
        }
    }

    void withoutBufferObjectsDrawsBackgroundOnly()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("buffer objects"));
        QVERIFY(showView(new DrawGLWdgWithoutBuffers));
        QVERIFY(!view->hasBufferObjects());
        QVERIFY(view->createHeightsGenBuffer({path("red.chgt")}));
        QCOMPARE(view->tileCount(), 0);

        const QImage img = view->grabFramebuffer();
        QCOMPARE(img.pixelColor(350, 180), QColor(Qt::white));
        QCOMPARE(img.pixelColor(450, 20), QColor(Qt::white));
        // A timed repaint still completes and is logged.
        const int before = logLinesWith(QStringLiteral("Repaint OpenGL widget"));
        view->repaintGLWdg();
        QTRY_COMPARE(logLinesWith(QStringLiteral("Repaint OpenGL widget")), before + 1);
    }

    void destroyedViewLeavesOthersWorking()
    {
        {
            DrawGLWdg first;
            first.resize(200, 100);
            first.show();
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            first.createHeightsGenBuffer({path("red.chgt"), path("blue.chgt")});
        }
        QVERIFY(showView());
        view->createHeightsGenBuffer({path("red.chgt")});
        QVERIFY(sameColor(pixelAt(14.5, 49.5), colorOf(Red)));
        QVERIFY(view->borderVertexCount() > 0);
    }
};

RZ_REGISTER_TEST(TestDrawGLWdg);
#include "tst_drawglwdg.moc"
