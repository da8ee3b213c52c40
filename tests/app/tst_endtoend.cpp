#include "TestRegistry.h"
#include "ModalDriver.h"

#include "BorderOutline.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "HgtTileGenerator.h"
#include "ProgressDlg.h"
#include "WindowRZ.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QWheelEvent>

namespace {

QStringList logLines()
{
    QFile f("log.txt");
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Pixel of a point in degrees in a picture of an extent in degrees.
QPoint pixelAt(const QImage &img, const ViewExtent &e, double lon, double lat)
{
    return QPoint(int((lon - e.left) / (e.right - e.left) * img.width()),
                  int((e.top - lat) / (e.top - e.bottom) * img.height()));
}

// Share of sampled border points with a black pixel within one pixel.
double borderCoverage(const QImage &img, const ViewExtent &e)
{
    const QVector<QPointF> pts = BorderOutline::mapPoints(BorderOutline::readResource());
    int hits = 0, tried = 0;
    for (int i = 0; i < pts.size(); i += 25, ++tried) {
        const QPoint p = pixelAt(img, e, pts[i].x() / 100, pts[i].y() / 100);
        bool black = false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                black |= img.rect().contains(p + QPoint(dx, dy))
                         && (img.pixel(p + QPoint(dx, dy)) & 0xffffff) == 0;
        hits += black;
    }
    return double(hits) / tried;
}

void wheel(QWidget *view, int delta)
{
    const QPointF centre(view->width() / 2, view->height() / 2);
    QWheelEvent e(centre, view->mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &e);
}

} // namespace

// The whole program as a user drives it.
class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void wholeProgram()
    {
        QTemporaryDir dir;
        const QStringList hgt = {dir.filePath("N49E014.hgt"), dir.filePath("N49E015.hgt")};
        QVERIFY(HgtTileGenerator(150).save(hgt[0]));  // band 1..200 m
        QVERIFY(HgtTileGenerator(1500).save(hgt[1])); // band 1401..1800 m
        const QString out = dir.filePath("nested/out put");
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        const int logBefore = logLines().size();

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1200, 800); // no window manager maximises it under Xvfb
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *qtView = qobject_cast<DrawQtWdg *>(stack->widget(0));
        auto *glView = qobject_cast<DrawGLWdg *>(stack->widget(1));
        auto *progress = w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
        QAction *import = w.findChild<QAction *>("actionImportFiles");

        // Import at q = 5 through the real dialogs.
        QStringList listed;
        {
            ModalDriver importing({ModalDriver::chooseFiles(hgt), [&](QWidget *d) {
                                       auto *list = d->findChild<QListWidget *>("listWidgetFiles");
                                       for (int i = 0; i < list->count(); ++i)
                                           listed << list->item(i)->text();
                                       ModalDriver::answerImport(out, 5, "pushButtonImport")(d);
                                   }});
            import->trigger();
        }
        QCOMPARE(listed, hgt);
        QVERIFY(!import->isEnabled()); // held back while the worker runs
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->currentActionText(), QString("Konverze HGT souboru"));
        QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), 30000);
        QTRY_COMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), QString("Dokonceno!"));
        QCOMPARE(logLines().size(), logBefore + 1);
        QCOMPARE(logLines().last().split('\t').value(1), QString("Konverze HGT souboru"));
        const QStringList chgt = {out + "/N49E014.chgt", out + "/N49E015.chgt"};
        QCOMPARE(QFileInfo(chgt[0]).size(), 8294400);
        QCOMPARE(QFileInfo(chgt[1]).size(), 8294400);

        // Open them while the painter page is shown: the hidden OpenGL view loads them too.
        w.findChild<QAction *>("actionShowQtWdg")->trigger();
        {
            ModalDriver opening({ModalDriver::chooseFiles(chgt)});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
            QCOMPARE(opening.seen, QStringList({"QFileDialog"}));
        }
        QCOMPARE(qtView->storedPolygons().size(), 2 * 115200);
        QCOMPARE(glView->tileCount(), 2);

        // Both pages show the band colours and the black border; around the
        // tiles the OpenGL view is white, the painter view shows its background.
        const ViewExtent q = DrawQtWdg::viewExtent();
        const ViewExtent qtDegrees{q.left / 100, q.right / 100, q.bottom / 100, q.top / 100};
        auto checkMap = [](const QImage &img, const ViewExtent &e, QRgb background) {
            QCOMPARE(img.pixel(pixelAt(img, e, 14.5, 49.5)) | 0xff000000, qRgb(180, 220, 172));
            QCOMPARE(img.pixel(pixelAt(img, e, 15.5, 49.5)) | 0xff000000, qRgb(138, 122, 93));
            QCOMPARE(img.pixel(pixelAt(img, e, 12.5, 48.8)) | 0xff000000, background);
            QVERIFY(borderCoverage(img, e) > 0.9);
        };
        checkMap(qtView->grab().toImage(), qtDegrees, qtView->palette().color(QPalette::Window).rgb());
        if (QTest::currentTestFailed())
            return;

        // "Překreslit" times the visible view only; then the same on the OpenGL page.
        QAction *repaint = w.findChild<QAction *>("actionRepaint");
        repaint->trigger();
        QCOMPARE(logLines().size(), logBefore + 2);
        QCOMPARE(logLines().last().split('\t').value(1), QString("Repaint Qt widget"));
        QVERIFY(!glView->progressDialog()->isVisible());
        w.findChild<QAction *>("actionShowGLWdg")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(glView));
        checkMap(glView->grabFramebuffer(), DrawGLWdg::viewExtent(), qRgb(255, 255, 255));
        if (QTest::currentTestFailed())
            return;
        repaint->trigger();
        QTRY_COMPARE(logLines().size(), logBefore + 3);
        QCOMPARE(logLines().last().split('\t').value(1), QString("Repaint OpenGL widget"));

        // "Hranice ČR" off takes the border out of both views.
        w.findChild<QAction *>("actionBorder")->trigger();
        QVERIFY(borderCoverage(glView->grabFramebuffer(), DrawGLWdg::viewExtent()) < 0.05);
        QVERIFY(borderCoverage(qtView->grab().toImage(), qtDegrees) < 0.05);

        // A wheel step in, then a left drag a quarter of the view left and down.
        wheel(glView, 120);
        const ViewExtent z = DrawGLWdg::viewExtent();
        QCOMPARE(z.left, float(11.0 + 0.45));
        QCOMPARE(z.right, float(20.0 - 0.45));
        QCOMPARE(z.bottom, float(48.3 + 0.15));
        QCOMPARE(z.top, float(51.3 - 0.15));
        const QPoint from(glView->width() / 2, glView->height() / 2);
        const QPoint to = from + QPoint(-glView->width() / 4, glView->height() / 4);
        QTest::mousePress(glView, Qt::LeftButton, {}, from);
        QTest::mouseRelease(glView, Qt::LeftButton, {}, to);
        const ViewExtent p = DrawGLWdg::viewExtent();
        QVERIFY(qAbs((p.left - z.left) - (from.x() - to.x()) * (z.right - z.left) / glView->width()) < 1e-4);
        QVERIFY(qAbs((p.top - z.top) - (to.y() - from.y()) * (z.top - z.bottom) / glView->height()) < 1e-4);

        // The painter view zooms by its own wheel events: one step out.
        w.findChild<QAction *>("actionShowQtWdg")->trigger();
        wheel(qtView, -120);
        const ViewExtent q1 = DrawQtWdg::viewExtent();
        QCOMPARE(q1.left, q.left - 45);
        QCOMPARE(q1.top, q.top + 15);

        w.findChild<QAction *>("actionClose")->trigger();
        QVERIFY(!w.isVisible());
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
    }
};

RZ_REGISTER_TEST(EndToEndTest);
#include "tst_endtoend.moc"
