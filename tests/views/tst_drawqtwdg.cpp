#include "TestRegistry.h"
#include "tst_qtdata.h"

#include "DrawQtWdg.h"
#include "HeightColors.h"
#include "MapPainter.h"
#include "ProgressDlg.h"
#include "ViewExtent.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

#include <cmath>

using namespace QtViewTestData;

Q_DECLARE_METATYPE(ViewExtent)

namespace {

QColor bandColor(int height)
{
    float r, g, b;
    heightColor(float(height), r, g, b);
    return QColor::fromRgbF(r, g, b);
}

// Heights of the four quadrants of the quadrant tile, north-west first.
constexpr int QuadrantHeights[4] = {120, 350, 700, 1500};

int quadrantHeight(int row, int col)
{
    return QuadrantHeights[(row < 600 ? 0 : 2) + (col < 600 ? 0 : 1)];
}

QImage widgetPicture(DrawQtWdg &w)
{
    QImage image(w.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

int blackPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xffffff) == 0;
    return count;
}

void sendWheel(QWidget *w, int delta)
{
    const QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent event(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestDrawQtWdg : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString reliefTile;   // N49E014, smooth relief
    QString quadrantTile; // N49E014 with four flat quadrants, in its own folder

    // A shown view of the given size, once the paint passes that showing
    // it brings are over (none for a tenth of a second).
    static void showView(DrawQtWdg &w, QSize size)
    {
        QSignalSpy passes(&w, &DrawQtWdg::sProgress);
        w.resize(size);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int waited = 0; waited < 3000; waited += 100) {
            const qsizetype before = passes.count();
            QTest::qWait(100);
            if (passes.count() == before && before > 0)
                break;
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        reliefTile = makeChgt(QDir(dir.path()), 49, 14, 5,
                              [](HgtTileGenerator &t) { t.fillRelief(49, 14, 3); });
        QVERIFY(!reliefTile.isEmpty());
        QDir quadrantDir(dir.path());
        QVERIFY(quadrantDir.mkdir(QStringLiteral("quadrants")));
        QVERIFY(quadrantDir.cd(QStringLiteral("quadrants")));
        quadrantTile = makeChgt(quadrantDir, 49, 14, 5, [](HgtTileGenerator &t) {
            t.fillWith([](int row, int col) { return qint16(quadrantHeight(row, col)); });
        });
        QVERIFY(!quadrantTile.isEmpty());
    }

    void init() { DrawQtWdg::resetViewExtent(); }
    void cleanup() { DrawQtWdg::resetViewExtent(); }

    void initialState()
    {
        DrawQtWdg w;
        QCOMPARE(w.objectName(), QStringLiteral("DrawQtWdg"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Form"));
        QCOMPARE(w.size(), QSize(400, 300));
        QVERIFY(w.isBorderShown());
        QVERIFY(w.storedPolygons().isEmpty());
        QCOMPARE(DrawQtWdg::viewExtent(), (ViewExtent{1100.0f, 2000.0f, 4830.0f, 5130.0f}));
        QCOMPARE(ViewExtentMath::windowRect(DrawQtWdg::viewExtent()), QRect(1100, 5130, 900, -300));
        QVERIFY(w.progressDialog());
        QCOMPARE(w.progressDialog()->parentWidget(), &w);
        QCOMPARE(w.progressDialog()->currentActionText(), QStringLiteral("Qt widget"));
    }

    void borderOutline()
    {
        DrawQtWdg w;
        const QVector<QPointF> &border = w.borderPoints();
        QCOMPARE(border.size(), 2835);
        const auto oneDecimal = [](double v) { return std::round(v * 10.0) / 10.0; };
        QCOMPARE(oneDecimal(border.first().x()), 1763.5);
        QCOMPARE(oneDecimal(border.first().y()), 5027.3);
        QCOMPARE(oneDecimal(border.last().x()), 1763.5);
        QCOMPARE(oneDecimal(border.last().y()), 5027.3);
    }

    void loading_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("triangles");

        QVector<float> one;
        addTriangle(one, 14.1, 49.1, 14.2, 49.1, 14.1, 49.2, 0.5f, 0.25f, 1.0f);
        const QString base = dir.filePath(QStringLiteral("loading-"));

        QVERIFY(writeFloats(base + "empty.chgt", {}));
        QTest::newRow("zero bytes") << base + "empty.chgt" << 0;
        QVERIFY(writeFloats(base + "short.chgt", one.mid(0, 17), QByteArray(3, '\0')));
        QTest::newRow("shorter than a triangle") << base + "short.chgt" << 0;
        QTest::newRow("missing") << base + "missing.chgt" << 0;
        QTest::newRow("directory") << dir.path() << 0;
        QVERIFY(writeFloats(base + "partial.chgt", one + one.mid(0, 10)));
        QTest::newRow("trailing partial triangle") << base + "partial.chgt" << 1;
        QVERIFY(writeFloats(base + "odd.chgt", one + one, QByteArray(3, '\x7f')));
        QTest::newRow("size not a multiple of 4") << base + "odd.chgt" << 2;

        // Sparse: costs no disk. Lengths are 32-bit on the read path.
        QFile huge(base + "huge.chgt");
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(qint64(1) << 31));
        QTest::newRow("2 GiB") << huge.fileName() << 0;
    }

    void loading()
    {
        QFETCH(QString, path);
        QFETCH(int, triangles);
        DrawQtWdg w;
        showView(w, QSize(300, 100));
        QSignalSpy progress(&w, &DrawQtWdg::sProgress);
        QElapsedTimer clock;
        clock.start();
        w.createHeightsBuffer({path});
        QVERIFY2(clock.elapsed() < 5000, "the file must not be read");
        QCOMPARE(w.storedPolygons().size(), triangles);
        QCOMPARE(progress.count(), 1);
        for (const ColoredPolygon &cp : w.storedPolygons()) {
            QCOMPARE(cp.polygon.size(), 3);
            QVERIFY(cp.color.isValid());
        }
    }

    void colours_data()
    {
        QTest::addColumn<float>("red");
        QTest::addColumn<float>("green");
        QTest::addColumn<float>("blue");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("in range") << 0.2f << 0.4f << 0.6f << QColor::fromRgbF(0.2f, 0.4f, 0.6f);
        QTest::newRow("below 0 and above 1") << -0.5f << 1.5f << 1.0f << QColor::fromRgbF(0, 1, 1);
        QTest::newRow("NaN") << std::nanf("") << 0.5f << -INFINITY << QColor::fromRgbF(0, 0.5f, 0);
        QTest::newRow("infinite") << INFINITY << 0.0f << 0.0f << QColor::fromRgbF(1, 0, 0);
    }

    // The first vertex gives the colour; a bad component never makes an
    // invalid one.
    void colours()
    {
        QFETCH(float, red);
        QFETCH(float, green);
        QFETCH(float, blue);
        QFETCH(QColor, expected);
        QVector<float> f;
        addTriangle(f, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, red, green, blue);
        f[9] = f[15] = 0.9f; // other vertices' colours do not count
        const QString path = dir.filePath(QStringLiteral("colour.chgt"));
        QVERIFY(writeFloats(path, f));
        DrawQtWdg w;
        w.createHeightsBuffer({path});
        QCOMPARE(w.storedPolygons().size(), 1);
        const QColor c = w.storedPolygons().first().color;
        QVERIFY(c.isValid());
        QCOMPARE(c.rgba(), expected.rgba());
        const QPolygonF expectedPolygon{QPointF(100.0 * 14.0f, 100.0 * 49.0f),
                                        QPointF(100.0 * 14.5f, 100.0 * 49.0f),
                                        QPointF(100.0 * 14.0f, 100.0 * 49.5f)};
        QCOMPARE(w.storedPolygons().first().polygon, expectedPolygon);
    }

    void generatedTileReadBack()
    {
        DrawQtWdg w;
        w.createHeightsBuffer({quadrantTile});
        const QVector<ColoredPolygon> &stored = w.storedPolygons();
        QCOMPARE(stored.size(), 115200);
        const QVector<float> f = readFloats(quadrantTile);
        QCOMPARE(f.size(), 115200 * 18);
        int checked = 0;
        for (int t = 0; t < stored.size(); t += 7) {
            const ColoredPolygon &cp = stored[t];
            const float *v = f.constData() + 18 * t;
            QCOMPARE(cp.polygon.size(), 3);
            for (int k = 0; k < 3; ++k) {
                QCOMPARE(cp.polygon[k].x(), 100.0 * double(v[6 * k]));
                QCOMPARE(cp.polygon[k].y(), 100.0 * double(v[6 * k + 1]));
            }
            // Away from the quadrant edges the colour is that quadrant's band.
            const QPointF c = (cp.polygon[0] + cp.polygon[1] + cp.polygon[2]) / 3.0;
            const double lon = c.x() / 100.0 - 14.0, lat = c.y() / 100.0 - 49.0;
            if (std::abs(lon - 0.5) < 0.02 || std::abs(lat - 0.5) < 0.02)
                continue;
            const int row = lat > 0.5 ? 0 : 1200;
            const int col = lon < 0.5 ? 0 : 1200;
            QCOMPARE(cp.color.rgb(), bandColor(quadrantHeight(row, col)).rgb());
            ++checked;
        }
        QVERIFY(checked > 15000);
    }

    void sameFileTwice()
    {
        DrawQtWdg w;
        showView(w, QSize(500, 400));
        DrawQtWdg::setViewExtent({1380.0f, 1520.0f, 4880.0f, 5020.0f});
        w.createHeightsBuffer({reliefTile});
        QCOMPARE(w.storedPolygons().size(), 115200);
        const QImage once = widgetPicture(w);
        w.createHeightsBuffer({reliefTile});
        QCOMPARE(w.storedPolygons().size(), 2 * 115200);
        for (int t = 0; t < 115200; t += 4999) {
            QCOMPARE(w.storedPolygons()[t + 115200].polygon, w.storedPolygons()[t].polygon);
            QCOMPARE(w.storedPolygons()[t + 115200].color, w.storedPolygons()[t].color);
        }
        QCOMPARE(differingPixels(widgetPicture(w), once), 0);
        // Loading leaves the window alone.
        QCOMPARE(DrawQtWdg::viewExtent(), (ViewExtent{1380.0f, 1520.0f, 4880.0f, 5020.0f}));
    }

    // What the window system and every slot triggers is one paint pass,
    // which ends with exactly one 100.
    void slotsPaintOnce_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("empty file list") << 0;
        QTest::newRow("border off") << 1;
        QTest::newRow("border on") << 2;
        QTest::newRow("update from the event loop") << 3;
        QTest::newRow("three files") << 4;
    }

    void slotsPaintOnce()
    {
        QFETCH(int, action);
        DrawQtWdg w;
        showView(w, QSize(400, 200));
        QSignalSpy progress(&w, &DrawQtWdg::sProgress);
        switch (action) {
        case 0: w.createHeightsBuffer({}); break;
        case 1: w.viewBorder(false); break;
        case 2: w.viewBorder(true); break;
        case 3:
            w.update();
            QTRY_COMPARE(progress.count(), 1);
            QTest::qWait(50);
            break;
        case 4: w.createHeightsBuffer({reliefTile, dir.filePath("none.chgt"), reliefTile}); break;
        }
        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.first().first().toInt(), 100);
        QCOMPARE(w.isBorderShown(), action != 1);
        QCOMPARE(w.storedPolygons().size(), action == 4 ? 2 * 115200 : 0);
    }

    void zoom_data()
    {
        QTest::addColumn<QVector<int>>("deltas");
        QTest::addColumn<ViewExtent>("expected");
        const ViewExtent initial = DrawQtWdg::initialExtent;
        QTest::newRow("in then out") << QVector<int>{120, -120} << initial;
        QTest::newRow("out then in") << QVector<int>{-120, 120} << initial;
        QTest::newRow("three in, three out") << QVector<int>{120, 1, 120, 0, -5, -120} << initial;
        QTest::newRow("delta 0 zooms out") << QVector<int>{0} << ViewExtent{1055.0f, 2045.0f, 4815.0f, 5145.0f};
        QTest::newRow("size of the delta does not count") << QVector<int>{960} << ViewExtent{1145.0f, 1955.0f, 4845.0f, 5115.0f};
        QTest::newRow("zoom in stops before the map vanishes")
            << QVector<int>(12, 120) << ViewExtent{1505.0f, 1595.0f, 4965.0f, 4995.0f};
    }

    void zoom()
    {
        QFETCH(QVector<int>, deltas);
        QFETCH(ViewExtent, expected);
        DrawQtWdg w;
        showView(w, QSize(900, 300));
        QSignalSpy progress(&w, &DrawQtWdg::sProgress);
        for (int delta : deltas)
            sendWheel(&w, delta);
        QCOMPARE(DrawQtWdg::viewExtent(), expected);
        QCOMPARE(progress.count(), deltas.size());
        const QRect window = ViewExtentMath::windowRect(DrawQtWdg::viewExtent());
        QVERIFY(window.width() > 0 && window.height() < 0);
    }

    void pan_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<ViewExtent>("expected");
        QTest::addColumn<int>("repaints");
        const ViewExtent initial = DrawQtWdg::initialExtent;
        QTest::newRow("left drag 100 px to the left") << int(Qt::LeftButton) << QPoint(500, 150) << QPoint(400, 150)
                                                      << ViewExtent{1200.0f, 2100.0f, 4830.0f, 5130.0f} << 1;
        QTest::newRow("left drag 30 px up") << int(Qt::LeftButton) << QPoint(450, 200) << QPoint(450, 170)
                                            << ViewExtent{1100.0f, 2000.0f, 4800.0f, 5100.0f} << 1;
        QTest::newRow("left drag right and down") << int(Qt::LeftButton) << QPoint(100, 100) << QPoint(190, 130)
                                                  << ViewExtent{1010.0f, 1910.0f, 4860.0f, 5160.0f} << 1;
        QTest::newRow("left click") << int(Qt::LeftButton) << QPoint(300, 100) << QPoint(300, 100) << initial << 1;
        QTest::newRow("right drag") << int(Qt::RightButton) << QPoint(500, 150) << QPoint(400, 100) << initial << 0;
        QTest::newRow("middle drag") << int(Qt::MiddleButton) << QPoint(500, 150) << QPoint(400, 100) << initial << 0;
    }

    void pan()
    {
        QFETCH(int, button);
        QFETCH(QPoint, press);
        QFETCH(QPoint, release);
        QFETCH(ViewExtent, expected);
        QFETCH(int, repaints);
        DrawQtWdg w;
        showView(w, QSize(900, 300));
        QSignalSpy progress(&w, &DrawQtWdg::sProgress);
        QTest::mousePress(&w, Qt::MouseButton(button), Qt::NoModifier, press);
        QCOMPARE(DrawQtWdg::viewExtent(), DrawQtWdg::initialExtent); // nothing moves before release
        QTest::mouseRelease(&w, Qt::MouseButton(button), Qt::NoModifier, release);
        QCOMPARE(DrawQtWdg::viewExtent(), expected);
        QCOMPARE(progress.count(), repaints);
    }

    void timedRepaint()
    {
        QFile::remove(QStringLiteral("log.txt"));
        DrawQtWdg w;
        showView(w, QSize(400, 200));
        w.createHeightsBuffer({reliefTile});
        w.repaint(); // untimed passes write nothing
        QVERIFY(!QFile::exists(QStringLiteral("log.txt")));

        w.repaintQtWdg();
        QVERIFY(w.progressDialog()->isVisible());
        QVERIFY(!w.progressDialog()->isTiming());
        QCOMPARE(w.progressDialog()->currentActionText(), QStringLiteral("Repaint Qt widget"));
        w.repaint();
        QFile log(QStringLiteral("log.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        const QStringList fields = lines.first().split('\t');
        QCOMPARE(fields.size(), 3);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$")).match(fields[0]).hasMatch());
        QCOMPARE(fields[1], QStringLiteral("Repaint Qt widget"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d\\.\\d{3}$")).match(fields[2]).hasMatch());
        w.progressDialog()->hide();
    }

    void borderOnOff()
    {
        DrawQtWdg w;
        showView(w, QSize(900, 300));
        w.createHeightsBuffer({reliefTile});
        const QImage on = widgetPicture(w);
        w.viewBorder(false);
        QVERIFY(!w.isBorderShown());
        const QImage off = widgetPicture(w);
        w.viewBorder(true);
        QCOMPARE(differingPixels(widgetPicture(w), on), 0);

        QCOMPARE(blackPixels(off), 0);
        QVERIFY(blackPixels(on) > 1500);
        // Every border point inside the picture lies on a black pixel or
        // next to one, and the border changes nothing else.
        int onLine = 0;
        for (const QPointF &p : w.borderPoints()) {
            const int x = int(p.x() - 1100.0), y = int(5130.0 - p.y());
            bool black = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (QRect(0, 0, 900, 300).contains(x + dx, y + dy))
                        black = black || (on.pixel(x + dx, y + dy) & 0xffffff) == 0;
            onLine += black;
        }
        QVERIFY(onLine > 2800);
        for (int y = 0; y < on.height(); ++y)
            for (int x = 0; x < on.width(); ++x)
                if (on.pixel(x, y) != off.pixel(x, y))
                    QCOMPARE(on.pixel(x, y) & 0xffffff, 0u);
    }

    void mapColours()
    {
        DrawQtWdg w;
        showView(w, QSize(600, 600));
        w.viewBorder(false);
        DrawQtWdg::setViewExtent({1400.0f, 1500.0f, 4900.0f, 5000.0f});
        w.createHeightsBuffer({quadrantTile});
        const QImage picture = widgetPicture(w);
        // Quadrant centres and points near the tile's corners.
        const QVector<QPoint> samples{{150, 150}, {450, 150}, {150, 450}, {450, 450},
                                      {20, 20},   {580, 20},  {20, 580},  {580, 580}};
        for (const QPoint &p : samples) {
            const int row = p.y() < 300 ? 0 : 1200;
            const int col = p.x() < 300 ? 0 : 1200;
            QCOMPARE(QColor(picture.pixel(p)).rgb(), bandColor(quadrantHeight(row, col)).rgb());
        }
    }

    // The view's own paint is the plain serial paint of everything stored.
    void widgetPaintsAsPlain_data()
    {
        QTest::addColumn<ViewExtent>("extent");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("mode");
        QTest::newRow("initial, automatic") << DrawQtWdg::initialExtent << QSize(1031, 577) << int(MapPainter::Mode::Automatic);
        QTest::newRow("zoomed, bands") << ViewExtent{1421.5f, 1478.5f, 4930.5f, 4969.5f} << QSize(803, 611) << int(MapPainter::Mode::Bands);
        QTest::newRow("zoomed, serial") << ViewExtent{1421.5f, 1478.5f, 4930.5f, 4969.5f} << QSize(803, 611) << int(MapPainter::Mode::Serial);
    }

    void widgetPaintsAsPlain()
    {
        QFETCH(ViewExtent, extent);
        QFETCH(QSize, size);
        QFETCH(int, mode);
        // A page inside a window, as in the main window: painted at an offset.
        QWidget window;
        window.resize(size + QSize(60, 40));
        auto *w = new DrawQtWdg(&window);
        w->setGeometry(QRect(QPoint(37, 23), size));
        w->mapPainter().setMode(MapPainter::Mode(mode));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        w->createHeightsBuffer({reliefTile});
        w->createHeightsBuffer({quadrantTile, reliefTile});
        DrawQtWdg::setViewExtent(extent);
        const QImage actual = window.grab().toImage().copy(w->geometry());

        QImage expected(size, QImage::Format_RGB32);
        expected.fill(window.palette().color(QPalette::Window));
        QPainter painter(&expected);
        MapPainter::paintPlain(painter, size, ViewExtentMath::windowRect(extent),
                               w->storedPolygons(), w->borderPoints(), true);
        painter.end();
        QCOMPARE(actual.size(), size);
        QCOMPARE(differingPixels(actual, expected), 0);
    }
};

RZ_REGISTER_TEST(TestDrawQtWdg);
#include "tst_drawqtwdg.moc"
