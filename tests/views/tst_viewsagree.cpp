#include "TestRegistry.h"
#include "tst_qtdata.h"

#include "BorderOutline.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace QtViewTestData;

namespace {

const QSize ViewSize(900, 300);

// All pixels within radius share one colour.
bool uniformAround(const QImage &img, QPoint p, int radius)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (!img.rect().contains(p + QPoint(dx, dy)) || !sameColor(img.pixel(p + QPoint(dx, dy)), img.pixel(p)))
                return false;
    return true;
}

} // namespace

// The same generated tiles, size, window and wheel and mouse events give the
// same window and the same picture in both views.
class TestViewsAgree : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<DrawQtWdg> qtView;
    std::unique_ptr<DrawGLWdg> glView;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QStringList tiles;
        for (int lon : {14, 15})
            tiles << makeChgt(QDir(dir.path()), 49, lon, 5, [lon](HgtTileGenerator &t) { t.fillRelief(49, lon, 11); });
        qtView = std::make_unique<DrawQtWdg>();
        glView = std::make_unique<DrawGLWdg>();
        for (QWidget *v : {static_cast<QWidget *>(qtView.get()), static_cast<QWidget *>(glView.get())}) {
            v->resize(ViewSize);
            v->show();
            QVERIFY(QTest::qWaitForWindowExposed(v));
        }
        qtView->createHeightsBuffer(tiles);
        QVERIFY(glView->createHeightsGenBuffer(tiles));
        QCOMPARE(glView->vertexCounts(), (QVector<int>{345600, 345600}));
        QCOMPARE(glView->borderVertexCount(), 2835);
    }

    void cleanupTestCase()
    {
        glView.reset();
        qtView.reset();
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
    }

    // Both views show the same region after the same wheel steps and drag
    // (pressed at 500,150); windows and expected extents in hundredths of a degree.
    void samePicture_data()
    {
        QTest::addColumn<QRect>("window"); // left, bottom, width, height
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<QRectF>("expected");
        QTest::addColumn<bool>("border");
        QTest::addColumn<int>("radius");
        const QRect country(1100, 4830, 900, 300);
        const QPoint click(500, 150);
        const int left = Qt::LeftButton, none = Qt::NoButton;
        // Cells are under half a pixel on the whole country: compare inside areas of one colour.
        QTest::newRow("whole country") << country << QList<int>{} << none << click << QRectF(country) << true << 1;
        QTest::newRow("zoomed across the seam") << QRect(1490, 4950, 20, 7) << QList<int>{} << none << click << QRectF(1490, 4950, 20, 7) << false << 2;
        QTest::newRow("zoom in then out") << country << QList<int>{120, -120} << none << click << QRectF(country) << false << 1;
        QTest::newRow("delta 0 zooms out") << country << QList<int>{0} << none << click << QRectF(1055, 4815, 990, 330) << false << 1;
        QTest::newRow("zoom in stops before the map vanishes")
            << country << QList<int>(12, 120) << none << click << QRectF(1505, 4965, 90, 30) << false << 2;
        QTest::newRow("left drag 100 px to the left") << country << QList<int>{} << left << QPoint(400, 150) << QRectF(1200, 4830, 900, 300) << false << 1;
        QTest::newRow("left drag right and up") << country << QList<int>{} << left << QPoint(590, 120) << QRectF(1010, 4800, 900, 300) << false << 1;
        QTest::newRow("left click") << country << QList<int>{} << left << click << QRectF(country) << false << 1;
        QTest::newRow("right drag") << country << QList<int>{} << int(Qt::RightButton) << QPoint(400, 100) << QRectF(country) << false << 1;
        QTest::newRow("middle drag") << country << QList<int>{} << int(Qt::MiddleButton) << QPoint(400, 100) << QRectF(country) << false << 1;
    }

    void samePicture()
    {
        QFETCH(QRect, window);
        QFETCH(QList<int>, deltas);
        QFETCH(int, button);
        QFETCH(QPoint, release);
        QFETCH(QRectF, expected);
        QFETCH(bool, border);
        QFETCH(int, radius);
        const auto extentOf = [](const QRectF &w, float unit) {
            return ViewExtent{float(w.left() / unit), float(w.right() / unit), float(w.top() / unit), float(w.bottom() / unit)};
        };
        DrawQtWdg::setViewExtent(extentOf(window, 1));
        DrawGLWdg::setViewExtent(extentOf(window, 100));
        qtView->viewBorder(border);
        glView->viewBorder(border);
        QSignalSpy qtPasses(qtView.get(), &DrawQtWdg::sProgress);
        const QList<QWidget *> views{qtView.get(), glView.get()};
        for (QWidget *v : views)
            for (int delta : deltas)
                sendWheel(v, delta);
        if (button != Qt::NoButton) {
            for (QWidget *v : views)
                QTest::mousePress(v, Qt::MouseButton(button), Qt::NoModifier, QPoint(500, 150));
            QCOMPARE(DrawQtWdg::viewExtent(), extentOf(window, 1)); // nothing moves before release
            for (QWidget *v : views)
                QTest::mouseRelease(v, Qt::MouseButton(button), Qt::NoModifier, release);
        }
        // One paint pass per wheel step and per left-button release.
        QCOMPARE(qtPasses.count(), deltas.size() + (button == Qt::LeftButton ? 1 : 0));
        QCOMPARE(DrawQtWdg::viewExtent(), extentOf(expected, 1));
        const ViewExtent gl = DrawGLWdg::viewExtent(), glExpected = extentOf(expected, 100);
        QVERIFY(qAbs(gl.left - glExpected.left) < 1e-4f && qAbs(gl.right - glExpected.right) < 1e-4f
                && qAbs(gl.bottom - glExpected.bottom) < 1e-4f && qAbs(gl.top - glExpected.top) < 1e-4f);

        const auto l = float(expected.left()), r = float(expected.right());
        const auto b = float(expected.top()), t = float(expected.bottom());
        const QImage qtImg = qtView->grab().toImage();
        const QImage glImg = glView->grabFramebuffer();
        QCOMPARE(qtImg.size(), ViewSize);
        QCOMPARE(glImg.size(), ViewSize);
        const auto pixelOf = [&](QPointF map) {
            return QPoint(int((map.x() - l) / (r - l) * ViewSize.width()), int((t - map.y()) / (t - b) * ViewSize.height()));
        };

        // Map colours match inside areas of one colour, away from the border.
        const QRect tilesPx = QRect(pixelOf({1401, 4999}), pixelOf({1599, 4901})).intersected(QRect(QPoint(3, 3), ViewSize - QSize(6, 6)));
        int compared = 0, samples = 0;
        for (int y = tilesPx.top(); y < tilesPx.bottom(); y += 7)
            for (int x = tilesPx.left(); x < tilesPx.right(); x += 7, ++samples) {
                const QPoint p(x, y);
                if (!uniformAround(glImg, p, radius) || !uniformAround(qtImg, p, radius)
                    || (border && (blackNear(qtImg, p, 3) || blackNear(glImg, p, 3))))
                    continue;
                ++compared;
                QVERIFY2(sameColor(qtImg.pixel(p), glImg.pixel(p)),
                         qPrintable(QStringLiteral("at %1,%2: %3, %4").arg(x).arg(y).arg(QColor(qtImg.pixel(p)).name(), QColor(glImg.pixel(p)).name())));
            }
        QVERIFY2(compared * 4 >= samples, qPrintable(QStringLiteral("%1 of %2").arg(compared).arg(samples)));
        if (!border)
            return;

        // Every outline point in sight, and the middle of every piece of the
        // line, is black in both pictures.
        const QVector<QPointF> outline = BorderOutline::mapPoints(BorderOutline::readResource());
        int inSight = 0;
        for (int i = 0; i + 1 < outline.size(); ++i)
            for (const QPointF &pt : {outline[i], (outline[i] + outline[i + 1]) / 2}) {
                const QPoint p = pixelOf(pt);
                if (QRect(QPoint(1, 1), ViewSize - QSize(2, 2)).contains(p)) {
                    ++inSight;
                    QVERIFY2(blackNear(qtImg, p, 1) && blackNear(glImg, p, 1), qPrintable(QStringLiteral("%1,%2").arg(pt.x()).arg(pt.y())));
                }
            }
        QVERIFY(inSight > 100);
    }
};

RZ_REGISTER_TEST(TestViewsAgree);
#include "tst_viewsagree.moc"
