#include "TestRegistry.h"
#include "ModalDriver.h"

#include "BorderOutline.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "HgtTileGenerator.h"
#include "ProgressDlg.h"
#include "WindowRZ.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

namespace {

QStringList logLines()
{
    QFile f("log.txt");
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Pixel of a map point (degrees) in a picture of the given extent (degrees).
QPoint pixelAt(const QImage &img, const ViewExtent &e, double lon, double lat)
{
    const double x = (lon - e.left) / (e.right - e.left) * img.width();
    const double y = (e.top - lat) / (e.top - e.bottom) * img.height();
    return QPoint(int(x), int(y));
}

ViewExtent inDegrees(const ViewExtent &hundredths)
{
    return {hundredths.left / 100, hundredths.right / 100, hundredths.bottom / 100,
            hundredths.top / 100};
}

bool blackNear(const QImage &img, QPoint p, int radius)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint q = p + QPoint(dx, dy);
            if (img.rect().contains(q) && (img.pixel(q) & 0xffffff) == 0)
                return true;
        }
    return false;
}

// Share of the border's points that have a black pixel beside them.
double borderCoverage(const QImage &img, const ViewExtent &e)
{
    const QVector<QPointF> pts = BorderOutline::mapPoints(BorderOutline::readResource());
    int hits = 0;
    int tried = 0;
    for (int i = 0; i < pts.size(); i += 25) {
        ++tried;
        if (blackNear(img, pixelAt(img, e, pts[i].x() / 100, pts[i].y() / 100), 1))
            ++hits;
    }
    return tried ? double(hits) / tried : 0.0;
}

} // namespace

// The whole program as a user drives it: import, open, both views, repaint
// timing, border, zoom and pan, close.
class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void wholeProgram()
    {
        QTemporaryDir dir;
        // Two neighbouring tiles in two height bands.
        const QStringList hgt = {dir.filePath("N49E014.hgt"), dir.filePath("N49E015.hgt")};
        QVERIFY(HgtTileGenerator(150).save(hgt[0]));  // 1..200 m
        QVERIFY(HgtTileGenerator(1500).save(hgt[1])); // 1401..1800 m
        const QString out = dir.filePath("RZOutput");

        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1200, 800); // no window manager maximises it under Xvfb
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *qtView = qobject_cast<DrawQtWdg *>(stack->widget(0));
        auto *glView = qobject_cast<DrawGLWdg *>(stack->widget(1));
        QVERIFY(qtView && glView);

        // Import at q = 5 through the real dialogs.
        {
            ModalDriver driver({ModalDriver::chooseFiles(hgt), [&](QWidget *d) {
                                    d->findChild<QLineEdit *>("lineEditDirPath")->setText(out);
                                    d->findChild<QSlider *>("horizontalSliderQuantity")->setValue(5);
                                    QTest::mouseClick(d->findChild<QPushButton *>("pushButtonImport"),
                                                      Qt::LeftButton);
                                }});
            w.findChild<QAction *>("actionImportFiles")->trigger();
            QCOMPARE(driver.seen, QStringList({"QFileDialog", "ImportDlg"}));
        }
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QAction *>("actionImportFiles")->isEnabled(), 30000);
        const QStringList chgt = {out + "/N49E014.chgt", out + "/N49E015.chgt"};
        QCOMPARE(QFileInfo(chgt[0]).size(), 8294400);
        QCOMPARE(QFileInfo(chgt[1]).size(), 8294400);

        // Open them through the real file dialog.
        {
            ModalDriver driver({ModalDriver::chooseFiles(chgt)});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
            QCOMPARE(driver.seen, QStringList({"QFileDialog"}));
        }
        QCOMPARE(qtView->storedPolygons().size(), 2 * 115200);
        QCOMPARE(glView->tileCount(), 2);

        const QRgb low = qRgb(180, 220, 172);
        const QRgb high = qRgb(138, 122, 93);
        const QRgb white = qRgb(255, 255, 255);

        // The OpenGL page: band colours, white outside the tiles, black border.
        QImage gl = glView->grabFramebuffer();
        ViewExtent e = DrawGLWdg::viewExtent();
        QCOMPARE(gl.pixel(pixelAt(gl, e, 14.5, 49.5)) | 0xff000000, low);
        QCOMPARE(gl.pixel(pixelAt(gl, e, 15.5, 49.5)) | 0xff000000, high);
        QCOMPARE(gl.pixel(pixelAt(gl, e, 12.5, 48.8)) | 0xff000000, white);
        QVERIFY(borderCoverage(gl, e) > 0.9);

        // The painter page shows the same.
        w.findChild<QAction *>("actionShowQtWdg")->trigger();
        QCOMPARE(stack->currentWidget(), qtView);
        QImage qt = qtView->grab().toImage();
        ViewExtent eq = inDegrees(DrawQtWdg::viewExtent());
        QCOMPARE(qt.pixel(pixelAt(qt, eq, 14.5, 49.5)) | 0xff000000, low);
        QCOMPARE(qt.pixel(pixelAt(qt, eq, 15.5, 49.5)) | 0xff000000, high);
        QVERIFY(borderCoverage(qt, eq) > 0.9);

        // "Překreslit" times a repaint of the visible view only.
        QAction *repaint = w.findChild<QAction *>("actionRepaint");
        const int before = logLines().size();
        repaint->trigger();
        QCOMPARE(logLines().size(), before + 1);
        QCOMPARE(logLines().last().split('\t').value(1), QString("Repaint Qt widget"));
        QVERIFY(!glView->progressDialog()->isVisible());
        w.findChild<QAction *>("actionShowGLWdg")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(glView));
        repaint->trigger();
        QTRY_COMPARE(logLines().size(), before + 2);
        QCOMPARE(logLines().last().split('\t').value(1), QString("Repaint OpenGL widget"));

        // "Hranice ČR" off: the border leaves both views.
        QAction *border = w.findChild<QAction *>("actionBorder");
        border->trigger();
        QVERIFY(!border->isChecked());
        QVERIFY(!qtView->isBorderShown() && !glView->isBorderShown());
        QVERIFY(borderCoverage(glView->grabFramebuffer(), e) < 0.05);
        QVERIFY(borderCoverage(qtView->grab().toImage(), eq) < 0.05);
        border->trigger();
        QVERIFY(borderCoverage(glView->grabFramebuffer(), e) > 0.9);

        // Zoom in one step and pan with a left-button drag on the GL page.
        const QPointF centre(glView->width() / 2, glView->height() / 2);
        QWheelEvent wheel(centre, glView->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(glView, &wheel);
        ViewExtent z = DrawGLWdg::viewExtent();
        QCOMPARE(z.left, float(11.0 + 0.45));
        QCOMPARE(z.right, float(20.0 - 0.45));
        QCOMPARE(z.bottom, float(48.3 + 0.15));
        QCOMPARE(z.top, float(51.3 - 0.15));
        const QPoint from(glView->width() / 2, glView->height() / 2);
        const QPoint to = from + QPoint(-glView->width() / 4, glView->height() / 4);
        QTest::mousePress(glView, Qt::LeftButton, {}, from);
        QTest::mouseRelease(glView, Qt::LeftButton, {}, to);
        const ViewExtent p = DrawGLWdg::viewExtent();
        // Dragged left and down: the map follows the pointer, so the visible
        // area moves east and north by the dragged share of its size.
        const double dx = from.x() - to.x();
        const double dy = to.y() - from.y();
        QVERIFY(qAbs((p.left - z.left) - dx * (z.right - z.left) / glView->width()) < 1e-4);
        QVERIFY(qAbs((p.top - z.top) - dy * (z.top - z.bottom) / glView->height()) < 1e-4);
        QVERIFY(p.left > z.left && p.top > z.top);
        QCOMPARE(p.right - p.left, z.right - z.left);

        // The painter view zooms and pans by its own events too.
        w.findChild<QAction *>("actionShowQtWdg")->trigger();
        const ViewExtent q0 = DrawQtWdg::viewExtent();
        QWheelEvent out1(centre, qtView->mapToGlobal(centre), QPoint(), QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(qtView, &out1);
        const ViewExtent q1 = DrawQtWdg::viewExtent();
        QCOMPARE(q1.left, q0.left - 45);
        QCOMPARE(q1.right, q0.right + 45);
        QCOMPARE(q1.bottom, q0.bottom - 15);
        QCOMPARE(q1.top, q0.top + 15);

        w.findChild<QAction *>("actionClose")->trigger();
        QVERIFY(!w.isVisible());
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
    }

    void openWhilePainterShown()
    {
        QTemporaryDir dir;
        QStringList chgt;
        for (const QString name : {"N50E016", "N50E017"}) {
            const QString hgt = dir.filePath(name + ".hgt");
            QVERIFY(HgtTileGenerator(450).save(hgt));
            QCOMPARE(int(ConvertHgt::convertFile(hgt, QDir(dir.path()), 5)),
                     int(ConvertHgt::Outcome::Converted));
            chgt << dir.filePath(name + ".chgt");
        }

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *qtView = qobject_cast<DrawQtWdg *>(stack->widget(0));
        auto *glView = qobject_cast<DrawGLWdg *>(stack->widget(1));
        w.findChild<QAction *>("actionShowQtWdg")->trigger();
        {
            // The hidden OpenGL view gets the files too.
            ModalDriver driver({ModalDriver::chooseFiles(chgt)});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
        }
        QCOMPARE(qtView->storedPolygons().size(), 2 * 115200);
        QCOMPARE(glView->tileCount() + glView->pendingFileCount(), 2);
        // In the dialog's order: the second tile's triangles come last.
        QVERIFY(qtView->storedPolygons().last().polygon.first().x() > 1700);

        // A cancelled open dialog changes nothing.
        {
            ModalDriver driver({ModalDriver::rejectDialog()});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
        }
        QCOMPARE(qtView->storedPolygons().size(), 2 * 115200);
    }
};

RZ_REGISTER_TEST(EndToEndTest);
#include "tst_endtoend.moc"
