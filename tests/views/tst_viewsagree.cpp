#include "BorderOutline.h"
#include "ConvertHgt.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "HgtTileGenerator.h"
#include "TestRegistry.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

constexpr int Quantity = 5;
constexpr int ViewWidth = 900;
constexpr int ViewHeight = 300;

// A map window in whole hundredths of a degree, which both views show
// exactly (the painter view truncates its window to whole units).
struct Window
{
    int left, right, bottom, top;
};

int channelDistance(QRgb a, QRgb b)
{
    return qMax(qAbs(qRed(a) - qRed(b)), qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))));
}

bool isBlack(QRgb c)
{
    return qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) < 40;
}

bool blackNear(const QImage &img, QPoint p, int radius)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint q = p + QPoint(dx, dy);
            if (img.rect().contains(q) && isBlack(img.pixel(q)))
                return true;
        }
    return false;
}

// All pixels within radius share one colour.
bool uniformAround(const QImage &img, QPoint p, int radius)
{
    const QRgb c = img.pixel(p);
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint q = p + QPoint(dx, dy);
            if (!img.rect().contains(q) || channelDistance(img.pixel(q), c) > 2)
                return false;
        }
    return true;
}

// Distance in degrees from lon/lat to the nearest cell edge of the tile grid
// (cells start 1/1200 degree in from a whole degree, q/1200 wide).
double distanceToCellEdge(double deg)
{
    const double step = Quantity / 1200.0;
    const double offset = deg - std::floor(deg) - 1 / 1200.0;
    const double inCell = offset - std::floor(offset / step) * step;
    return qMin(inCell, step - inCell);
}

} // namespace

Q_DECLARE_METATYPE(Window)

class TestViewsAgree : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QStringList tiles;
    std::unique_ptr<DrawQtWdg> qtView;
    std::unique_ptr<DrawGLWdg> glView;

    void showWindow(const Window &w, bool border)
    {
        DrawQtWdg::setViewExtent(ViewExtent{float(w.left), float(w.right), float(w.bottom), float(w.top)});
        DrawGLWdg::setViewExtent(ViewExtent{w.left / 100.0f, w.right / 100.0f, w.bottom / 100.0f, w.top / 100.0f});
        qtView->viewBorder(border);
        glView->viewBorder(border);
    }

    QPoint pixelOf(const Window &w, double lon, double lat) const
    {
        const double x = (lon * 100 - w.left) / (w.right - w.left) * ViewWidth;
        const double y = (w.top - lat * 100) / (w.top - w.bottom) * ViewHeight;
        return QPoint(int(std::floor(x)), int(std::floor(y)));
    }

    QPointF mapOf(const Window &w, QPoint px) const
    {
        // The centre of the pixel.
        const double lon = (w.left + (px.x() + 0.5) / ViewWidth * (w.right - w.left)) / 100.0;
        const double lat = (w.top - (px.y() + 0.5) / ViewHeight * (w.top - w.bottom)) / 100.0;
        return QPointF(lon, lat);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // Two neighbouring tiles of one smooth relief, as the converter writes them.
        for (int lon : {14, 15}) {
            HgtTileGenerator hgt;
            hgt.fillRelief(49, lon, 11);
            const QString src = dir.filePath(QStringLiteral("N49E%1.hgt").arg(lon, 3, 10, QLatin1Char('0')));
            QVERIFY(hgt.save(src));
            QCOMPARE(ConvertHgt::convertFile(src, QDir(dir.path()), Quantity), ConvertHgt::Outcome::Converted);
            tiles << dir.filePath(QStringLiteral("N49E%1.chgt").arg(lon, 3, 10, QLatin1Char('0')));
        }

        qtView = std::make_unique<DrawQtWdg>();
        glView = std::make_unique<DrawGLWdg>();
        for (QWidget *v : {static_cast<QWidget *>(qtView.get()), static_cast<QWidget *>(glView.get())}) {
            v->resize(ViewWidth, ViewHeight);
            v->show();
            QVERIFY(QTest::qWaitForWindowExposed(v));
        }
        qtView->createHeightsBuffer(tiles);
        glView->createHeightsGenBuffer(tiles);
    }

    void cleanupTestCase()
    {
        glView.reset();
        qtView.reset();
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
    }

    void samePixelsAtMapPoints_data()
    {
        QTest::addColumn<Window>("window");
        QTest::addColumn<bool>("border");
        QTest::addColumn<int>("radius");

        // Cells are under half a pixel here: compare inside areas of one colour.
        QTest::newRow("whole country") << Window{1100, 2000, 4830, 5130} << true << 1;
        QTest::newRow("whole country without border") << Window{1100, 2000, 4830, 5130} << false << 1;
        // Cells of about 18 pixels across the seam of the two tiles.
        QTest::newRow("zoomed across the seam") << Window{1490, 1510, 4950, 4957} << true << 0;
        QTest::newRow("zoomed at the tile corner") << Window{1400, 1405, 4900, 4902} << false << 0;
    }

    void samePixelsAtMapPoints()
    {
        QFETCH(Window, window);
        QFETCH(bool, border);
        QFETCH(int, radius);
        showWindow(window, border);
        const QImage qtImg = qtView->grab().toImage();
        const QImage glImg = glView->grabFramebuffer();
        QCOMPARE(qtImg.size(), QSize(ViewWidth, ViewHeight));
        QCOMPARE(glImg.size(), QSize(ViewWidth, ViewHeight));

        const double degPerPxX = (window.right - window.left) / 100.0 / ViewWidth;
        const double degPerPxY = (window.top - window.bottom) / 100.0 / ViewHeight;
        int compared = 0, samples = 0;
        for (int y = 3; y < ViewHeight - 3; y += 7) {
            for (int x = 3; x < ViewWidth - 3; x += 7) {
                const QPointF map = mapOf(window, QPoint(x, y));
                // Only where the tiles lie: both views leave the rest alone.
                if (map.x() < 14.01 || map.x() > 15.99 || map.y() < 49.01 || map.y() > 49.99)
                    continue;
                ++samples;
                const QPoint p(x, y);
                if (radius > 0) {
                    if (!uniformAround(glImg, p, radius) || !uniformAround(qtImg, p, radius))
                        continue;
                } else if (distanceToCellEdge(map.x()) < 3 * degPerPxX
                           || distanceToCellEdge(map.y()) < 3 * degPerPxY) {
                    continue;
                }
                if (border && (blackNear(qtImg, p, 3) || blackNear(glImg, p, 3)))
                    continue;
                ++compared;
                QVERIFY2(channelDistance(qtImg.pixel(p), glImg.pixel(p)) <= 2,
                         qPrintable(QStringLiteral("at %1,%2: painter %3, OpenGL %4")
                                        .arg(x).arg(y)
                                        .arg(QColor(qtImg.pixel(p)).name(), QColor(glImg.pixel(p)).name())));
            }
        }
        // The comparison must have covered a good part of the map.
        QVERIFY2(compared * 4 >= samples, qPrintable(QStringLiteral("%1 of %2").arg(compared).arg(samples)));
    }

    void sameBorderLine_data()
    {
        QTest::addColumn<Window>("window");
        QTest::newRow("whole country") << Window{1100, 2000, 4830, 5130};
        QTest::newRow("west") << Window{1200, 1400, 4980, 5060};
    }

    void sameBorderLine()
    {
        QFETCH(Window, window);
        showWindow(window, true);
        const QImage qtImg = qtView->grab().toImage();
        const QImage glImg = glView->grabFramebuffer();

        // Every outline point in sight is black in both pictures.
        const QVector<QPointF> points = BorderOutline::mapPoints(BorderOutline::readResource());
        QVERIFY(!points.isEmpty());
        int inSight = 0;
        for (const QPointF &pt : points) {
            const QPoint p = pixelOf(window, pt.x() / 100.0, pt.y() / 100.0);
            if (!QRect(1, 1, ViewWidth - 2, ViewHeight - 2).contains(p))
                continue;
            ++inSight;
            QVERIFY2(blackNear(qtImg, p, 1) && blackNear(glImg, p, 1),
                     qPrintable(QStringLiteral("outline point %1,%2").arg(pt.x()).arg(pt.y())));
        }
        QVERIFY(inSight > 50);

        // The lines run the same way: black in one picture is black close by
        // in the other (the OpenGL line is two pixels wide, the painter's one).
        int qtBlack = 0, qtMatched = 0, glBlack = 0, glMatched = 0;
        for (int y = 0; y < ViewHeight; ++y)
            for (int x = 0; x < ViewWidth; ++x) {
                if (isBlack(qtImg.pixel(x, y))) {
                    ++qtBlack;
                    qtMatched += blackNear(glImg, QPoint(x, y), 1);
                }
                if (isBlack(glImg.pixel(x, y))) {
                    ++glBlack;
                    glMatched += blackNear(qtImg, QPoint(x, y), 2);
                }
            }
        QVERIFY(qtBlack > 0 && glBlack > 0);
        QVERIFY2(qtMatched * 100 >= qtBlack * 99, qPrintable(QStringLiteral("%1 of %2").arg(qtMatched).arg(qtBlack)));
        QVERIFY2(glMatched * 100 >= glBlack * 99, qPrintable(QStringLiteral("%1 of %2").arg(glMatched).arg(glBlack)));
    }
};

RZ_REGISTER_TEST(TestViewsAgree);
#include "tst_viewsagree.moc"
