#include "TestRegistry.h"
#include "ModalDriver.h"
#include "RunGate.h"
#include "AppTiles.h"

#include "BorderOutline.h"
#include "ConvertHgt.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "HgtTileGenerator.h"
#include "ProgressDlg.h"
#include "HeightColors.h"
#include "PointerReadout.h"
#include "TestRasters.h"
#include "TestTiles.h"
#include "TileGrid.h"
#include "WindowRZ.h"
#include "Waits.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QScreen>
#include <QDockWidget>
#include <QTreeWidget>
#include <QLabel>
#include <QListWidget>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QWheelEvent>

#include <QDeadlineTimer>

#include <atomic>
#include <memory>

namespace {

QStringList names(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        out << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    return out;
}

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

// Moves the pointer over a place of a view and reads the status bar's
// readout: the band, and where the readout says the pointer is.
QString readoutAt(QWidget *view, bool gl, QLabel *label, double lon, double lat, QPointF *at)
{
    const ViewExtent e = gl ? DrawGLWdg::viewExtent() : DrawQtWdg::viewExtent();
    const double k = gl ? 1.0 : 100.0;
    const QPoint pixel(int((lon * k - e.left) / (e.right - e.left) * view->width()),
                       int((e.top - lat * k) / (e.top - e.bottom) * view->height()));
    label->clear();
    QTest::mouseMove(view, pixel);
    if (!QTest::qWaitFor([&] { return !label->text().isEmpty(); }, Waits::Event))
        return QStringLiteral("(no readout)");
    const QStringList parts = label->text().split("   ");
    const QStringList numbers = parts[0].split("° ");
    *at = QPointF(QString(numbers[1]).section(' ', -1).replace(',', '.').toDouble(),
                  QString(numbers[0]).replace(',', '.').toDouble());
    return parts.value(1);
}

// N49E016 at q = 5 in dir with a quarter in each of four bands:
// 1–200 m in the north-west, 301–400 m north-east, 601–800 m south-west,
// 1401–1800 m south-east.
QString quadrantTile(const QString &dir)
{
    HgtTileGenerator quadrants;
    const float heights[] = {120, 350, 700, 1500}; // NW, NE, SW, SE
    quadrants.fillWith([&](int row, int col) { return qint16(heights[(row >= 600) * 2 + (col >= 600)]); });
    const QString hgt = dir + "/N49E016.hgt";
    if (!quadrants.save(hgt) || ConvertHgt::convertFile(hgt, QDir(dir), 5) != ConvertHgt::Outcome::Converted)
        return QString();
    return dir + "/N49E016.chgt";
}

QString selectedBands(const QListWidget *list)
{
    QStringList texts;
    for (const QListWidgetItem *item : list->selectedItems())
        texts << item->text();
    return texts.join(", ");
}

} // namespace

class WindowRZTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void startAndSwitch()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *qt = w.findChild<QAction *>("actionShowQtWdg");
        auto *gl = w.findChild<QAction *>("actionShowGLWdg");
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        QVERIFY(gl->isChecked() && !qt->isChecked());
        QVERIFY(w.findChild<QAction *>("actionBorder")->isChecked());
        QCOMPARE(w.statusBar()->currentMessage(), QString("Zobrazeno kreslení pomocí OpenGL"));
        QCOMPARE(stack->currentWidget()->metaObject()->className(), "DrawGLWdg");
        QCOMPARE(stack->widget(0)->metaObject()->className(), "DrawQtWdg");
        QVERIFY(w.windowState() & Qt::WindowMaximized);

        // Tool-bar clicks switch; the checked view chosen again repeats its message.
        auto *bar = w.findChild<QToolBar *>("mainToolBar");
        for (QAction *a : {qt, qt, gl}) {
            w.statusBar()->clearMessage();
            QTest::mouseClick(bar->widgetForAction(a), Qt::LeftButton);
            QCOMPARE(w.statusBar()->currentMessage(),
                     a == qt ? QString("Zobrazeno kreslení pomocí Qt")
                             : QString("Zobrazeno kreslení pomocí OpenGL"));
            QCOMPARE(stack->currentIndex(), a == qt ? 0 : 1);
            QVERIFY(a->isChecked() && qt->isChecked() != gl->isChecked());
        }
    }

    // Menus and time do not take the view message away.
    void statusMessageStays()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *zobrazit = w.findChild<QMenu *>("menuZobrazit");
        for (QAction *view : {w.findChild<QAction *>("actionShowQtWdg"), w.findChild<QAction *>("actionShowGLWdg")}) {
            view->trigger();
            const QString message = w.statusBar()->currentMessage();
            QVERIFY(message.startsWith("Zobrazeno kreslení pomocí "));
            zobrazit->popup(w.mapToGlobal(QPoint(20, 20)));
            QVERIFY(QTest::qWaitForWindowExposed(zobrazit));
            for (QAction *item : zobrazit->actions())
                if (!item->isSeparator())
                    QTest::mouseMove(zobrazit, zobrazit->actionGeometry(item).center());
            zobrazit->hide();
            // Waits on purpose: what is checked is that time does not take
            // the message away, so time has to pass (beyond a second, the
            // shortest timeout a status message would have).
            QTest::qWait(1200);
            QCOMPARE(w.statusBar()->currentMessage(), message);
        }
    }

    // Each connection of the window on its own: the border reaches both
    // views, the hidden one included; Open fills both; Repaint times the
    // visible view only.
    void wiring()
    {
        QTemporaryDir dir;
        const QString hgt = dir.filePath("N49E014.hgt");
        QVERIFY(HgtTileGenerator(150).save(hgt));
        QCOMPARE(ConvertHgt::convertFile(hgt, QDir(dir.path()), 5), ConvertHgt::Outcome::Converted);
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *qtView = qobject_cast<DrawQtWdg *>(stack->widget(0));
        auto *glView = qobject_cast<DrawGLWdg *>(stack->widget(1));
        QAction *border = w.findChild<QAction *>("actionBorder");
        border->trigger();
        QVERIFY(!qtView->isBorderShown() && !glView->isBorderShown());
        border->trigger();
        QVERIFY(qtView->isBorderShown() && glView->isBorderShown());

        {
            ModalDriver opening({ModalDriver::chooseFiles({dir.filePath("N49E014.chgt")})});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
        }
        QCOMPARE(qtView->mapContent().gridCount(), 1); // a regular tile, held as its grid
        QCOMPARE(glView->vertexCounts(), QVector<int>{345600});

        QAction *repaint = w.findChild<QAction *>("actionRepaint");
        for (QAction *page : {w.findChild<QAction *>("actionShowQtWdg"), w.findChild<QAction *>("actionShowGLWdg")}) {
            page->trigger();
            const bool qtShown = stack->currentIndex() == 0;
            const int before = logLines().size();
            repaint->trigger();
            QTRY_COMPARE_WITH_TIMEOUT(logLines().size(), before + 1, Waits::Event);
            QVERIFY(logLines().last().contains(qtShown ? "\tRepaint Qt widget\t" : "\tRepaint OpenGL widget\t"));
            QCOMPARE(qtView->progressDialog()->isVisible(), qtShown);
            QCOMPARE(glView->progressDialog()->isVisible(), !qtShown);
            qtView->progressDialog()->hide();
            glView->progressDialog()->hide();
        }
    }

    // What the screen shows after "Hranice ČR", in each view as it is shown.
    void borderOnScreen()
    {
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1000, 700);
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        QAction *border = w.findChild<QAction *>("actionBorder");
        const auto screenOf = [&](QWidget *view) {
            const QImage whole = w.screen()->grabWindow(w.winId()).toImage();
            return whole.copy(QRect(view->mapTo(&w, QPoint(0, 0)), view->size()));
        };
        for (QAction *page : {w.findChild<QAction *>("actionShowGLWdg"), w.findChild<QAction *>("actionShowQtWdg")}) {
            page->trigger();
            QWidget *view = stack->currentWidget();
            QVERIFY(QTest::qWaitForWindowExposed(view));
            const ViewExtent e = stack->currentIndex() == 1 ? DrawGLWdg::viewExtent() : DrawGLWdg::initialExtent;
            QTRY_VERIFY_WITH_TIMEOUT(borderCoverage(screenOf(view), e) > 0.9, Waits::Event);
            border->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(borderCoverage(screenOf(view), e) < 0.05, Waits::Event);
            border->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(borderCoverage(screenOf(view), e) > 0.9, Waits::Event);
        }
    }

    void readoutTexts()
    {
        const QStringList bands = {"do 0 m", "1–200 m", "201–300 m", "301–400 m", "401–500 m", "501–600 m",
                                   "601–800 m", "801–1000 m", "1001–1200 m", "1201–1400 m", "1401–1800 m", "od 1801 m"};
        for (int band = 0; band < bands.size(); ++band) {
            QCOMPARE(PointerReadout::bandText(band), bands[band]);
            QCOMPARE(heightBandOfColor(heightColors[band].red, heightColors[band].green, heightColors[band].blue), band);
        }
        QCOMPARE(PointerReadout::text({15.4711, 49.8123}, 4), QString("49,8123° s. š.  15,4711° v. d.   401–500 m"));
        QCOMPARE(PointerReadout::text({-0.5, -1.25}, -1), QString("1,2500° j. š.  0,5000° z. d."));
    }

    // Where the pointer is, in either view: the same place, the same band;
    // nothing where no tile lies; right after zoom and pan too. The view
    // message stays beside it, and opening shows the wait cursor.
    void pointerReadout()
    {
        QTemporaryDir dir;
        QVERIFY(!quadrantTile(dir.path()).isEmpty());
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *label = w.findChild<QLabel *>("labelPointer");
        QList<int> cursors; // seen while the shown view repaints with the new tile
        auto *glView = qobject_cast<DrawGLWdg *>(stack->widget(1));
        connect(glView, &DrawGLWdg::sProgress, this, [&] {
            cursors << (QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1);
        });
        {
            ModalDriver opening({ModalDriver::chooseFiles({dir.filePath("N49E016.chgt")})});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
        }
        QVERIFY(cursors.contains(int(Qt::WaitCursor)));
        QVERIFY(!QApplication::overrideCursor());
        disconnect(glView, &DrawGLWdg::sProgress, this, nullptr);

        const auto readout = [&](QWidget *view, double lon, double lat, QPointF *at) {
            return readoutAt(view, stack->indexOf(view) == 1, label, lon, lat, at);
        };
        const struct { double lon, lat; QString band; } places[] = {
            {16.25, 49.75, "1–200 m"}, {16.75, 49.75, "301–400 m"}, {16.25, 49.25, "601–800 m"},
            {16.75, 49.25, "1401–1800 m"}, {15.5, 49.5, ""}, {17.5, 50.5, ""}};
        for (int step = 0; step < 3; ++step) {
            for (QAction *page : {w.findChild<QAction *>("actionShowQtWdg"), w.findChild<QAction *>("actionShowGLWdg")}) {
                page->trigger();
                QWidget *view = stack->currentWidget();
                QVERIFY(QTest::qWaitForWindowExposed(view));
                for (const auto &place : places) {
                    QPointF at;
                    QCOMPARE(readout(view, place.lon, place.lat, &at), place.band);
                    // Within a pixel of the place.
                    QVERIFY2(qAbs(at.x() - place.lon) < 0.02 && qAbs(at.y() - place.lat) < 0.02, qPrintable(label->text()));
                }
                QVERIFY(w.statusBar()->currentMessage().startsWith("Zobrazeno kreslení pomocí "));
                if (step == 1) { // a wheel step in
                    const QPointF c(view->width() / 2, view->height() / 2);
                    QWheelEvent in(c, view->mapToGlobal(c), {}, {0, 120}, {}, {}, Qt::NoScrollPhase, false);
                    QApplication::sendEvent(view, &in);
                } else if (step == 2) { // a drag a little to the left
                    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(300, 200));
                    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(260, 210));
                }
            }
        }
    }

    // Leaving a view takes the readout away, in either view.
    void readoutClearsOnLeave()
    {
        const QTemporaryDir dir;
        const QString tile = constantTile(dir.path(), "N49E016", 350);
        QVERIFY(!tile.isEmpty());
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *label = w.findChild<QLabel *>("labelPointer");
        {
            ModalDriver opening({ModalDriver::chooseFiles({tile})});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
        }
        for (QAction *page : {w.findChild<QAction *>("actionShowQtWdg"), w.findChild<QAction *>("actionShowGLWdg")}) {
            page->trigger();
            QWidget *view = stack->currentWidget();
            QVERIFY(QTest::qWaitForWindowExposed(view));
            QPointF at;
            QCOMPARE(readoutAt(view, stack->currentIndex() == 1, label, 16.5, 49.5, &at), QString("301–400 m"));
            // Onto the status bar, off the view but still in the window.
            QTest::mouseMove(w.statusBar(), QPoint(5, w.statusBar()->height() / 2));
            QTRY_VERIFY2_WITH_TIMEOUT(label->text().isEmpty(), qPrintable(page->text() + ": " + label->text()), Waits::Event);
        }
    }

    // "Legenda", the last item of "Zobrazit", shows a dock hidden at start:
    // the bands of the colour table, highest first, each an item with the
    // band's colour as its icon and the readout's words as its text, which
    // is what a screen reader reads.
    void legendContents()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *action = w.findChild<QAction *>("actionLegend");
        QVERIFY(action);
        QCOMPARE(w.findChild<QMenu *>("menuZobrazit")->actions().constLast(), action);
        auto *dock = w.findChild<QDockWidget *>("dockLegend");
        QVERIFY(dock && dock->isHidden() && !action->isChecked());
        QCOMPARE(dock->windowTitle(), QString("Legenda"));
        QCOMPARE(dock->accessibleName(), QString("Legenda"));
        auto *list = dock->findChild<QListWidget *>();
        QCOMPARE(list->count(), HeightBandCount);
        QCOMPARE(list->item(0)->text(), QString("od 1801 m"));
        QCOMPARE(list->item(HeightBandCount - 1)->text(), QString("do 0 m"));
        action->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(list));
        QAccessibleInterface *listAccess = QAccessible::queryAccessibleInterface(list);
        QVERIFY(listAccess);
        QStringList spoken;
        for (int i = 0; i < listAccess->childCount(); ++i)
            spoken << listAccess->child(i)->text(QAccessible::Name);
        for (int row = 0; row < list->count(); ++row) {
            const int band = HeightBandCount - 1 - row;
            const QListWidgetItem *item = list->item(row);
            QCOMPARE(item->text(), PointerReadout::bandText(band));
            QVERIFY2(spoken.contains(item->text()), qPrintable(spoken.join(", ")));
            const QImage swatch = item->icon().pixmap(list->iconSize()).toImage();
            QVERIFY(!swatch.isNull());
            const QColor colour(int(heightColors[band].red), int(heightColors[band].green), int(heightColors[band].blue));
            QCOMPARE(QColor(swatch.pixel(swatch.width() / 2, swatch.height() / 2)), colour);
        }
        QCOMPARE(selectedBands(list), QString());
    }

    // The action and the dock stay in step, whichever the user uses; hidden,
    // the dock leaves the map area as it was.
    void legendActionAndDock()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *action = w.findChild<QAction *>("actionLegend");
        auto *dock = w.findChild<QDockWidget *>("dockLegend");
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        const QSize mapArea = stack->size();
        for (int round = 0; round < 2; ++round) {
            action->trigger();
            QVERIFY(action->isChecked());
            QVERIFY(QTest::qWaitForWindowExposed(dock));
            QTRY_VERIFY_WITH_TIMEOUT(stack->width() < mapArea.width(), Waits::Event);
            if (round == 0) { // the dock's own close button
                auto *close = dock->findChild<QAbstractButton *>("qt_dockwidget_closebutton");
                QVERIFY(close);
                QTest::mouseClick(close, Qt::LeftButton);
            } else { // the menu item again
                action->trigger();
            }
            QVERIFY(dock->isHidden());
            QVERIFY(!action->isChecked());
            QTRY_COMPARE_WITH_TIMEOUT(stack->size(), mapArea, Waits::Event);
        }

        // Behind another dock's tab the legend is still open.
        auto *report = w.findChild<QDockWidget *>("dockImportReport");
        action->trigger();
        report->show();
        w.tabifyDockWidget(report, dock);
        QTabBar *tabs = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((tabs = w.findChild<QTabBar *>()) && tabs->count() == 2 && tabs->isVisible(),
                                 Waits::Event);
        QSignalSpy visibility(dock, &QDockWidget::visibilityChanged);
        for (int round = 0; round < 4; ++round) {
            const qsizetype before = visibility.size();
            tabs->setCurrentIndex(1 - tabs->currentIndex());
            // Qt tells the legend when its tab is left or chosen again.
            QTRY_VERIFY_WITH_TIMEOUT(visibility.size() > before, Waits::Event);
            QVERIFY(action->isChecked());
            QVERIFY(!dock->isHidden());
        }
    }

    // The band under the pointer is the selected item, in either view;
    // nothing where no tile lies, nothing once the pointer has left.
    void legendFollowsPointer()
    {
        QTemporaryDir dir;
        const QString tile = quadrantTile(dir.path());
        QVERIFY(!tile.isEmpty());
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *label = w.findChild<QLabel *>("labelPointer");
        auto *list = w.findChild<QListWidget *>("listLegend");
        {
            ModalDriver opening({ModalDriver::chooseFiles({tile})});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
        }
        w.findChild<QAction *>("actionLegend")->trigger();
        const struct { double lon, lat; QString band; } places[] = {
            {16.25, 49.75, "1–200 m"}, {16.75, 49.75, "301–400 m"}, {15.5, 49.5, ""},
            {16.25, 49.25, "601–800 m"}, {16.75, 49.25, "1401–1800 m"}};
        for (QAction *page : {w.findChild<QAction *>("actionShowQtWdg"), w.findChild<QAction *>("actionShowGLWdg")}) {
            page->trigger();
            QWidget *view = stack->currentWidget();
            QVERIFY(QTest::qWaitForWindowExposed(view));
            for (const auto &place : places) {
                QPointF at;
                QCOMPARE(readoutAt(view, stack->currentIndex() == 1, label, place.lon, place.lat, &at), place.band);
                QCOMPARE(selectedBands(list), place.band);
            }
            // Off the view onto the status bar, from a band.
            QPointF at;
            QCOMPARE(readoutAt(view, stack->currentIndex() == 1, label, 16.25, 49.75, &at), QString("1–200 m"));
            QCOMPARE(selectedBands(list), QString("1–200 m"));
            QTest::mouseMove(w.statusBar(), QPoint(5, w.statusBar()->height() / 2));
            QTRY_COMPARE_WITH_TIMEOUT(selectedBands(list), QString(), Waits::Event);
        }
    }

    void readoutOfTopmostTile_data()
    {
        QTest::addColumn<QList<int>>("heights"); // of the tiles at one place, in the order opened
        QTest::addColumn<bool>("oneOpen");       // all in one "Otevřít..." or one after another
        QTest::addColumn<QString>("band");
        QTest::addColumn<bool>("holes"); // the last tile has no cells at the places read
        QTest::newRow("low, then high") << QList<int>{150, 1500} << true << "1401–1800 m" << false;
        QTest::newRow("high, then low") << QList<int>{1500, 150} << true << "1–200 m" << false;
        QTest::newRow("three, opened apart") << QList<int>{150, 1500, 450} << false << "401–500 m" << false;
        // Where the topmost tile has no cell, the one below it; or nothing.
        QTest::newRow("low, then high with holes") << QList<int>{150, 1500} << true << "1–200 m" << true;
        QTest::newRow("three, the last with holes") << QList<int>{150, 1500, 450} << false << "1401–1800 m" << true;
        QTest::newRow("one with holes") << QList<int>{450} << true << "" << true;
    }

    // Where tiles overlap, the readout names the band of the one drawn on
    // top: the one opened last.
    void readoutOfTopmostTile()
    {
        QFETCH(QList<int>, heights);
        QFETCH(bool, oneOpen);
        QFETCH(QString, band);
        QFETCH(bool, holes);
        const QTemporaryDir dir;
        QStringList tiles; // one place, under names of their own
        for (int i = 0; i < heights.size(); ++i) {
            const QString made = constantTile(dir.filePath(QString::number(i)), "N49E016", qint16(heights[i]));
            tiles << dir.filePath(QStringLiteral("layer%1.chgt").arg(i));
            QVERIFY(!made.isEmpty() && QFile::rename(made, tiles.last()));
        }
        if (holes) {
            // No cells within 0.1 degree of the three places read.
            const TestTiles::Holes near = [](int i, int j) {
                for (const QPoint p : {QPoint(600, 600), QPoint(120, 1080), QPoint(1080, 120)}) {
                    if (std::abs(i - p.x()) < 120 && std::abs(j - p.y()) < 120)
                        return true;
                }
                return false;
            };
            const QByteArray full = TestTiles::fileBytes(tiles.last());
            QVERIFY(TestTiles::writeBytes(tiles.last(), TestTiles::withHoles(full, 5, near)));
        }
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *label = w.findChild<QLabel *>("labelPointer");
        QList<QStringList> opens;
        if (oneOpen)
            opens << tiles;
        else
            for (const QString &tile : tiles)
                opens << QStringList{tile};
        for (const QStringList &files : opens) {
            ModalDriver opening({ModalDriver::chooseFiles(files)});
            w.findChild<QAction *>("actionOpenFiles")->trigger();
        }
        for (QAction *page : {w.findChild<QAction *>("actionShowQtWdg"), w.findChild<QAction *>("actionShowGLWdg")}) {
            page->trigger();
            QWidget *view = stack->currentWidget();
            QVERIFY(QTest::qWaitForWindowExposed(view));
            for (const QPointF place : {QPointF(16.5, 49.5), QPointF(16.1, 49.9), QPointF(16.9, 49.1)}) {
                QPointF at;
                QCOMPARE(readoutAt(view, stack->currentIndex() == 1, label, place.x(), place.y(), &at), band);
            }
        }
    }

    void formStructure()
    {
        WindowRZ w;
        QCOMPARE(w.windowTitle(), QString("WindowRZ"));
        auto *soubor = w.findChild<QMenu *>("menuSoubor");
        auto *zobrazit = w.findChild<QMenu *>("menuZobrazit");
        QCOMPARE(w.menuBar()->actions().mid(0, 2), QList<QAction *>({soubor->menuAction(), zobrazit->menuAction()}));
        QCOMPARE(soubor->title(), QString("Soubor"));
        QCOMPARE(zobrazit->title(), QString("Zobrazit"));
        QCOMPARE(names(soubor->actions()).mid(0, 4),
                 QStringList({"actionOpenFiles", "actionImportFiles", "|", "actionClose"}));
        QCOMPARE(names(zobrazit->actions()),
                 QStringList({"actionBorder", "|", "actionShowQtWdg", "actionShowGLWdg", "|", "actionLegend"}));
        QCOMPARE(names(w.findChild<QToolBar *>("mainToolBar")->actions()),
                 QStringList({"actionShowQtWdg", "actionShowGLWdg", "|", "actionBorder", "|",
                              "actionRepaint"}));
        QLayout *layout = w.centralWidget()->layout();
        QCOMPARE(layout->spacing(), 6);
        QCOMPARE(layout->contentsMargins(), QMargins(11, 11, 11, 11));
        QCOMPARE(layout->itemAt(0)->widget()->cursor().shape(), Qt::OpenHandCursor);

        // Texts and tool tips; without one of its own an action shows its text less "...".
        const QStringList expected = {
            "actionShowQtWdg|Zobraz Qt|Zobrazí panel Qt-kreslení|1",
            "actionShowGLWdg|Zobraz OpenGL|Zobrazí panel OpenGL-kreslení|1",
            "actionClose|Zavřít|Zavře okno programu|0",
            "actionOpenFiles|Otevřít...|Otevřít|0",
            "actionImportFiles|Import...|Import|0",
            "actionBorder|Hranice ČR|Hranice ČR|1",
            "actionRepaint|Překreslit|Překreslení aktuálního panelu|0",
            "actionLegend|Legenda|Legenda|1",
        };
        for (const QString &row : expected) {
            const QStringList f = row.split('|');
            auto *a = w.findChild<QAction *>(f[0]);
            QCOMPARE(a->text(), f[1]);
            QCOMPARE(a->toolTip(), f[2]);
            QCOMPARE(a->isCheckable(), f[3] == "1");
            QVERIFY(a->icon().isNull() && a->shortcut().isEmpty() && a->statusTip().isEmpty());
        }
    }

    void closeEndsEventLoop()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTimer::singleShot(100, w.findChild<QAction *>("actionClose"), &QAction::trigger);
        // Safety net; it goes with the window, or it would end the event
        // loops of whichever test runs ten seconds later.
        QTimer::singleShot(10000, &w, [] { QApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
    }

    void importDismissed_data()
    {
        QTest::addColumn<bool>("chooseFile");
        QTest::addColumn<QStringList>("dialogs");
        QTest::newRow("file dialog cancelled") << false << QStringList({"QFileDialog"});
        QTest::newRow("Storno") << true << QStringList({"QFileDialog", "ImportDlg"});
    }

    void importDismissed()
    {
        QFETCH(bool, chooseFile);
        QFETCH(QStringList, dialogs);
        QTemporaryDir src;
        const QString tile = src.filePath("N49E014.hgt");
        QVERIFY(HgtTileGenerator(300).save(tile));
        const QString out = src.filePath("out");
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList filters;
        QString selected;
        ModalDriver driver(chooseFile ? QList<ModalDriver::Handler>{ModalDriver::chooseFiles({tile}),
                                                                   ModalDriver::answerImport(out, 2, "pushButtonStorno")}
                                      : QList<ModalDriver::Handler>{[&](QWidget *d) {
                                            auto *files = qobject_cast<QFileDialog *>(d);
                                            filters = files->nameFilters();
                                            selected = files->selectedNameFilter();
                                            files->reject();
                                        }});
        w.findChild<QAction *>("actionImportFiles")->trigger();
        QCOMPARE(driver.seen, dialogs);
        if (!chooseFile) { // tiles first, archives as a second choice
            QCOMPARE(filters, (QStringList{"Výšková data (*.hgt)", "Archivy výškových dat (*.zip)",
                                           "Rastrové výškové modely (*.tif *.tiff *.vrt *.asc *.img)"}));
            QCOMPARE(selected, QString("Výšková data (*.hgt)"));
        }
        // A started conversion would have shown its dialog and held the
        // action back before the command returned.
        QVERIFY(!w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly)->isVisible());
        QVERIFY(w.findChild<QAction *>("actionImportFiles")->isEnabled());
        QVERIFY(!w.findChild<ConvertHgt *>("convertHgt")->isRunning());
        QVERIFY(!QFileInfo::exists(out));
    }

    void importFailuresShown_data()
    {
        QTest::addColumn<QString>("output"); // "@" is the scratch directory
        QTest::addColumn<QStringList>("rows"); // file name | start of the reason
        QTest::addColumn<QString>("note");
        QTest::newRow("some files") << "@/out"
            << QStringList{"N50E014.hgt|nemá velikost dlaždice HGT (2\u00a0884\u00a0802 nebo 25\u00a0934\u00a0402 bajtů), dlaždice @/out/N50E014.chgt zůstala beze změny",
                           "tile.hgt|název neodpovídá dlaždici HGT"}
            << "Dokonceno! Nepřevedeno: 2 z 3";
        QTest::newRow("output below a file") << "@/file/out"
            << QStringList{"N49E014.hgt|dlaždici @/file/out/N49E014.chgt nelze zapsat: část cesty není složka",
                           "N50E014.hgt|dlaždici @/file/out/N50E014.chgt nelze zapsat: část cesty není složka",
                           "tile.hgt|název neodpovídá dlaždici HGT"}
            << "Dokonceno! Nepřevedeno: 3 z 3";
        QTest::newRow("all converted") << "@/out" << QStringList() << "Dokonceno!";
        QTest::newRow("exactly one file") << "@/out"
            << QStringList{"N50E014.hgt|nemá velikost dlaždice HGT (2\u00a0884\u00a0802 nebo 25\u00a0934\u00a0402 bajtů), dlaždice @/out/N50E014.chgt zůstala beze změny"}
            << "Dokonceno! Nepřevedeno: 1 z 2";
    }

    // The files that gave no full tile are listed in the window with their
    // reasons; the progress dialog completes and logs as always, but says so.
    void importFailuresShown()
    {
        QFETCH(QString, output);
        QFETCH(QStringList, rows);
        QFETCH(QString, note);
        QTemporaryDir dir;
        output.replace("@", dir.path());
        QStringList sources{dir.filePath("N49E014.hgt"), dir.filePath("N50E014.hgt"), dir.filePath("tile.hgt")};
        QVERIFY(HgtTileGenerator(300).save(sources[0]) && HgtTileGenerator(300).save(sources[2]));
        QFile shortTile(sources[1]), file(dir.filePath("file")), older(dir.filePath("out/N50E014.chgt"));
        QVERIFY(shortTile.open(QIODevice::WriteOnly) && shortTile.write("short") == 5);
        QVERIFY(file.open(QIODevice::WriteOnly) && QDir().mkpath(dir.filePath("out")) && older.open(QIODevice::WriteOnly));
        if (rows.isEmpty())
            sources = sources.mid(0, 1);
        else if (rows.size() == 1)
            sources = sources.mid(0, 2);
        const int logBefore = logLines().size();

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *report = w.findChild<QDockWidget *>("dockImportReport");
        auto *progress = w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(report && !report->isVisible());
        {
            ModalDriver driver({ModalDriver::chooseFiles(sources), ModalDriver::answerImport(output, 5, "pushButtonImport")});
            w.findChild<QAction *>("actionImportFiles")->trigger();
        }
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QAction *>("actionImportFiles")->isEnabled(), Waits::Conversion);
        QCOMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), note);
        QCOMPARE(logLines().size(), logBefore + 1);
        QVERIFY(logLines().last().contains("\tKonverze HGT souboru\t"));
        QCOMPARE(report->isVisible(), !rows.isEmpty());
        auto *tree = report->findChild<QTreeWidget *>("treeImportReport");
        QCOMPARE(tree->topLevelItemCount(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QStringList want = rows[i].replace("@", dir.path()).split('|');
            QCOMPARE(QFileInfo(tree->topLevelItem(i)->text(0)).fileName(), want[0]);
            QVERIFY2(tree->topLevelItem(i)->text(1).startsWith(want[1]), qPrintable(tree->topLevelItem(i)->text(1)));
        }
        QCOMPARE(older.size(), 0); // the stored tile was not replaced
    }

    // An import of an HGT tile and two rasters: the HGT tile converted, the
    // good raster's tile written with only its cells, the raster without a
    // place on the Earth listed with its reason; one log line as always.
    void rasterImport()
    {
        QTemporaryDir dir;
        const QString hgt = dir.filePath("N49E014.hgt"), good = dir.filePath("dmr.tif"),
                      bad = dir.filePath("scan.tif"), out = dir.filePath("out");
        QVERIFY(HgtTileGenerator(300).save(hgt));
        // 3-second posts inside N49E015, 350 m.
        TestRasters::Raster raster = TestRasters::Raster::degrees(15.25, 49.75, 60, 40, 1200);
        raster.value = [](int, int) { return 350.0; };
        QVERIFY(raster.write(good));
        TestRasters::Raster unplaced;
        unplaced.width = unplaced.height = 8;
        unplaced.hasGeoTransform = false;
        unplaced.crs.clear();
        QVERIFY(unplaced.write(bad));
        const int logBefore = logLines().size();

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *progress = w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
        {
            ModalDriver driver({ModalDriver::chooseFiles({hgt, good, bad}),
                                ModalDriver::answerImport(out, 5, "pushButtonImport")});
            w.findChild<QAction *>("actionImportFiles")->trigger();
        }
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QAction *>("actionImportFiles")->isEnabled(), Waits::Conversion);
        QCOMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), QString("Dokonceno! Nepřevedeno: 1 z 3"));
        QCOMPARE(logLines().size(), logBefore + 1);
        auto *tree = w.findChild<QDockWidget *>("dockImportReport")->findChild<QTreeWidget *>("treeImportReport");
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), bad);
        QCOMPARE(tree->topLevelItem(0)->text(1), QString("rastr nelze převést: rastr nemá georeferenci"));

        QCOMPARE(QFileInfo(out + "/N49E014.chgt").size(), TileGrid::fileBytes(5));
        // Every fifth post of the raster's 60 x 40 holds a cell, in a band of 301-400 m.
        const qint64 rasterTile = QFileInfo(out + "/N49E015.chgt").size();
        QVERIFY2(rasterTile == 12 * 8 * 144, qPrintable(QString::number(rasterTile)));
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
    }

    // The folder chosen with "Procházet..." is where the tiles go.
    void browsedOutputFolder()
    {
        QTemporaryDir dir;
        const QString hgt = dir.filePath("src/N49E014.hgt");
        const QString chosen = dir.filePath("chosen");
        QVERIFY(QDir().mkpath(dir.filePath("src")) && QDir().mkpath(chosen));
        QVERIFY(HgtTileGenerator(300).save(hgt));
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QString shown;
        {
            ModalDriver driver({ModalDriver::chooseFiles({hgt}),
                                [&](QWidget *d) {
                                    d->findChild<QSlider *>("horizontalSliderQuantity")->setValue(5);
                                    // Opens the chooser, answered below, and returns when it closes.
                                    QTest::mouseClick(d->findChild<QPushButton *>("pushButtonBrowse"), Qt::LeftButton);
                                    shown = d->findChild<QLineEdit *>("lineEditDirPath")->text();
                                    QTest::mouseClick(d->findChild<QPushButton *>("pushButtonImport"), Qt::LeftButton);
                                },
                                ModalDriver::chooseDirectory(chosen)});
            w.findChild<QAction *>("actionImportFiles")->trigger();
            QCOMPARE(driver.seen, QStringList({"QFileDialog", "ImportDlg", "QFileDialog"}));
        }
        QCOMPARE(QDir(shown).canonicalPath(), QDir(chosen).canonicalPath());
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QAction *>("actionImportFiles")->isEnabled(), Waits::Conversion);
        QCOMPARE(QFileInfo(chosen + "/N49E014.chgt").size(), 8294400);
    }

    // An import accepted while the worker is still busy runs after it
    // instead of being dropped.
    void importDuringRunIsDeferred()
    {
        QTemporaryDir dir;
        QStringList first, second;
        HgtTileGenerator gen(500);
        QVERIFY(QDir().mkpath(dir.filePath("a")) && QDir().mkpath(dir.filePath("b")));
        for (int lon = 10; lon < 13; ++lon)
            QVERIFY(gen.save(first.emplace_back(dir.filePath(QString("a/N49E0%1.hgt").arg(lon)))));
        QVERIFY(gen.save(second.emplace_back(dir.filePath("b/N50E014.hgt"))));
        const int logBefore = logLines().size();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The first run is held at its first file until the second import
        // has been accepted, so it is certainly still running then.
        auto *worker = w.findChild<ConvertHgt *>("convertHgt");
        QVERIFY(worker);
        RunGate gate(*worker, 0, int(first.size()));
        {
            ModalDriver driver({ModalDriver::chooseFiles(first), ModalDriver::answerImport(dir.filePath("out"), 5, "pushButtonImport")});
            w.findChild<QAction *>("actionImportFiles")->trigger();
        }
        QTRY_VERIFY2_WITH_TIMEOUT(gate.isHolding(), "the first run reached its first file", Waits::Conversion);
        QAction *import = w.findChild<QAction *>("actionImportFiles");
        bool busyWhenAccepted = false;
        {
            const ModalDriver::Handler accept = ModalDriver::answerImport(dir.filePath("out"), 5, "pushButtonImport");
            ModalDriver driver({ModalDriver::chooseFiles(second), [&](QWidget *d) {
                                    busyWhenAccepted = !import->isEnabled() && worker->isRunning();
                                    accept(d);
                                }});
            QVERIFY(QMetaObject::invokeMethod(&w, "importHgtFiles"));
        }
        QVERIFY(busyWhenAccepted);
        QVERIFY(!QFileInfo::exists(dir.filePath("out/N50E014.chgt"))); // waits for the first run
        gate.open();
        QTRY_COMPARE_WITH_TIMEOUT(logLines().size(), logBefore + 2, Waits::Conversion);
        for (const char *tile : {"N49E010", "N49E011", "N49E012", "N50E014"})
            QCOMPARE(QFileInfo(dir.filePath(QString("out/%1.chgt").arg(tile))).size(), 8294400);
        QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), Waits::Event);
    }

    // An import accepted the moment a run ends, before the window has heard
    // of the end, waits for that end: both runs complete and log their line.
    void importAcceptedAsRunEnds()
    {
        QTemporaryDir dir;
        QStringList first, second;
        QVERIFY(QDir().mkpath(dir.filePath("a")) && QDir().mkpath(dir.filePath("b")));
        for (int lon = 10; lon < 12; ++lon)
            QVERIFY(HgtTileGenerator(500).save(first.emplace_back(dir.filePath(QString("a/N49E0%1.hgt").arg(lon)))));
        QVERIFY(HgtTileGenerator(900).save(second.emplace_back(dir.filePath("b/N50E014.hgt"))));
        const int logBefore = logLines().size();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *worker = w.findChild<ConvertHgt *>("convertHgt");
        QVERIFY(worker);
        RunGate gate(*worker, 0, int(first.size()));
        {
            ModalDriver driver({ModalDriver::chooseFiles(first), ModalDriver::answerImport(dir.filePath("out"), 5, "pushButtonImport")});
            w.findChild<QAction *>("actionImportFiles")->trigger();
        }
        QTRY_VERIFY2_WITH_TIMEOUT(gate.isHolding(), "the first run reached its first file", Waits::Conversion);
        bool endedWhenAccepted = false;
        {
            const ModalDriver::Handler accept = ModalDriver::answerImport(dir.filePath("out"), 5, "pushButtonImport");
            ModalDriver driver({ModalDriver::chooseFiles(second), [&](QWidget *d) {
                                    // The run ends while this thread handles no events, so
                                    // its last value and its end wait in the queue.
                                    gate.open();
                                    // Polled without the event loop on purpose: handling
                                    // events here would deliver the end this test holds back.
                                    const QDeadlineTimer bound(Waits::Conversion);
                                    while (!worker->isFinished() && !bound.hasExpired())
                                        QThread::msleep(1);
                                    endedWhenAccepted = worker->isFinished();
                                    accept(d);
                                }});
            QVERIFY(QMetaObject::invokeMethod(&w, "importHgtFiles"));
        }
        QVERIFY(endedWhenAccepted);
        QTRY_COMPARE_WITH_TIMEOUT(logLines().size(), logBefore + 2, Waits::Conversion);
        QVERIFY(logLines().at(logBefore).contains("\tKonverze HGT souboru\t"));
        QVERIFY(logLines().at(logBefore + 1).contains("\tKonverze HGT souboru\t"));
        for (const char *tile : {"N49E010", "N49E011", "N50E014"})
            QCOMPARE(QFileInfo(dir.filePath(QString("out/%1.chgt").arg(tile))).size(), 8294400);
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QAction *>("actionImportFiles")->isEnabled(), Waits::Event);
        auto *progress = w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), QString("Dokonceno!"));
    }

    // Closing the window during a conversion stops it after the tiles in
    // hand; every tile left behind is whole.
    void closeDuringConversion()
    {
        QTemporaryDir src;
        QStringList tiles;
        HgtTileGenerator gen;
        gen.fillRandom(7);
        for (int lon = 10; lon < 16; ++lon) {
            tiles << src.filePath(QString("N49E0%1.hgt").arg(lon));
            QVERIFY(gen.save(tiles.last()));
        }
        const QString out = src.filePath("out");
        auto w = std::make_unique<WindowRZ>();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // The run waits at its second file until the window asks it to stop,
        // so the close certainly comes while tiles are still to come.
        auto *worker = w->findChild<ConvertHgt *>("convertHgt");
        QVERIFY(worker);
        RunGate gate(*worker, 1, int(tiles.size()), RunGate::UntilStopRequested);
        {
            ModalDriver driver({ModalDriver::chooseFiles(tiles), ModalDriver::answerImport(out, 1, "pushButtonImport")});
            w->findChild<QAction *>("actionImportFiles")->trigger();
        }
        QTRY_VERIFY2_WITH_TIMEOUT(gate.isHolding(), "the run reached its second file", Waits::Conversion);
        w->close();
        w.reset();

        // The run stopped early and every tile left behind is whole.
        // Exactly the two files taken before it was asked to stop.
        QCOMPARE(gate.filesTaken(), 2);
        const QFileInfoList left = QDir(out).entryInfoList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), 2);
        for (const QFileInfo &fi : left)
            QCOMPARE(fi.size(), qint64(207360000));
    }

    // The whole program as a user drives it.
    void wholeProgram()
    {
        QTemporaryDir dir;
        const QStringList hgt = {dir.filePath("N49E014.hgt"), dir.filePath("N49E015.hgt")};
        QVERIFY(HgtTileGenerator(150).save(hgt[0]));  // band 1..200 m
        QVERIFY(HgtTileGenerator(1500).save(hgt[1])); // band 1401..1800 m
        const QString out = dir.filePath("nested/out put");
        DrawQtWdg::resetViewExtent();
        DrawGLWdg::resetViewExtent();
        int logBefore = logLines().size();

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1200, 800); // no window manager maximises it under Xvfb
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *qtView = qobject_cast<DrawQtWdg *>(stack->widget(0));
        auto *glView = qobject_cast<DrawGLWdg *>(stack->widget(1));
        auto *progress = w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
        QAction *import = w.findChild<QAction *>("actionImportFiles");

        // Import at q = 5 through the real dialogs; "Import..." is held back
        // at every step of the run.
        QList<bool> enabledAt;
        connect(progress->findChild<QProgressBar *>("progressBar"), &QProgressBar::valueChanged, this,
                [&](int) { enabledAt << import->isEnabled(); });
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
        QVERIFY(!import->isEnabled());
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->currentActionText(), QString("Konverze HGT souboru"));
        QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), Waits::Conversion);
        QCOMPARE(enabledAt, (QList<bool>{false, false}));
        QCOMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), QString("Dokonceno!"));
        QCOMPARE(logLines().size(), logBefore + 1);
        QVERIFY(logLines().last().contains("\tKonverze HGT souboru\t"));
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
        QCOMPARE(qtView->mapContent().gridCount(), 2);
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
        // An exposed painter view repaints, and so logs, before the action returns.
        QAction *repaint = w.findChild<QAction *>("actionRepaint");
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(qtView->isVisible());
        repaint->trigger();
        QCOMPARE(logLines().size(), logBefore + 2);
        QVERIFY(logLines().last().contains("\tRepaint Qt widget\t"));
        // Again at once, within a frame of the last composition of the
        // window (which holds OpenGL content): still done on return.
        repaint->trigger();
        QCOMPARE(logLines().size(), logBefore + 3);
        QVERIFY(logLines().last().contains("\tRepaint Qt widget\t"));
        logBefore += 1;
        QVERIFY(!glView->progressDialog()->isVisible());
        w.findChild<QAction *>("actionShowGLWdg")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(glView));
        checkMap(glView->grabFramebuffer(), DrawGLWdg::viewExtent(), qRgb(255, 255, 255));
        if (QTest::currentTestFailed())
            return;
        repaint->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(logLines().size(), logBefore + 3, Waits::Event);
        QVERIFY(logLines().last().contains("\tRepaint OpenGL widget\t"));

        // "Hranice ČR" off takes the border out of both views.
        w.findChild<QAction *>("actionBorder")->trigger();
        QVERIFY(borderCoverage(glView->grabFramebuffer(), DrawGLWdg::viewExtent()) < 0.05);
        QVERIFY(borderCoverage(qtView->grab().toImage(), qtDegrees) < 0.05);

        // A wheel step in, then a left drag a quarter of the view left and down.
        const QPointF centre(glView->width() / 2, glView->height() / 2);
        QWheelEvent in(centre, glView->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(glView, &in);
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

        w.findChild<QAction *>("actionClose")->trigger();
        QVERIFY(!w.isVisible());
    }
};

RZ_REGISTER_TEST(WindowRZTest);
#include "tst_windowrz.moc"
