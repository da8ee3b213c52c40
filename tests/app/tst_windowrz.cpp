#include "TestRegistry.h"
#include "AppWindow.h"

#include "BorderOutline.h"
#include "HeightColors.h"
#include "ImportDlg.h"
#include "PointerReadout.h"
#include "ProgressDlg.h"
#include "TestRasters.h"

namespace {

// Share of sampled border points with a black pixel within one pixel.
double borderCoverage(const QImage &img, const ViewExtent &e)
{
    const QVector<QPointF> pts = BorderOutline::mapPoints(BorderOutline::readResource());
    int hits = 0, tried = 0;
    for (int i = 0; i < pts.size(); i += 25, ++tried) {
        const QPoint p = pixelAt(img.size(), e, pts[i].x() / 100, pts[i].y() / 100);
        hits += anyNear(img, p, [](QRgb c) { return (c & 0xffffff) == 0; });
    }
    return double(hits) / tried;
}

// Moves the pointer over a place of the shown view and reads the status
// bar's readout: the band, and where the readout says the pointer is.
QString readoutAt(const WindowRZ &w, double lon, double lat, QPointF *at = nullptr)
{
    QWidget *view = w.findChild<QStackedWidget *>("stackedWidget")->currentWidget();
    auto *label = w.findChild<QLabel *>("labelPointer");
    label->clear();
    QTest::mouseMove(view, pixelAt(view->size(), degreesOf(view == viewOf(w, 1)), lon, lat));
    if (!QTest::qWaitFor([&] { return !label->text().isEmpty(); }, Waits::Event))
        return QStringLiteral("(no readout)");
    const QStringList parts = label->text().split("   ");
    const QStringList numbers = parts[0].split("° ");
    if (at)
        *at = QPointF(QString(numbers[1]).section(' ', -1).replace(',', '.').toDouble(),
                      QString(numbers[0]).replace(',', '.').toDouble());
    return parts.value(1);
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

    // The window as the user meets it, from its start to "Zavřít", which
    // ends the event loop. Menus, tool bar, texts, tool tips and accessible
    // names; without a tip of its own an action shows its text less "...".
    void theWindow()
    {
        resetViews();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *soubor = w.findChild<QMenu *>("menuSoubor"), *zobrazit = w.findChild<QMenu *>("menuZobrazit");
        auto *napoveda = w.findChild<QMenu *>("menuNapoveda");
        auto *bar = w.findChild<QToolBar *>("mainToolBar");
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        QAction *qt = actionOf(w, "actionShowQtWdg"), *gl = actionOf(w, "actionShowGLWdg");
        QAction *border = actionOf(w, "actionBorder"), *legend = actionOf(w, "actionLegend");
        QCOMPARE(w.windowTitle(), QString("WindowRZ"));
        QCOMPARE(w.menuBar()->actions(),
                 QList<QAction *>({soubor->menuAction(), zobrazit->menuAction(), napoveda->menuAction()}));
        QCOMPARE(soubor->title() + zobrazit->title() + napoveda->title(), QString("SouborZobrazitNápověda"));
        QStringList items; // of each menu and the tool bar, "|" a separator
        for (const QWidget *list : std::initializer_list<const QWidget *>{soubor, zobrazit, napoveda, bar}) {
            QStringList names;
            for (QAction *a : list->actions())
                names << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
            items << names.join(' ');
        }
        QCOMPARE(items,
                 (QStringList{"actionOpenFiles actionImportFiles | actionClose | actionStopImport | actionSaveImage",
                              "actionBorder | actionShowQtWdg actionShowGLWdg | actionLegend", "actionAbout",
                              "actionShowQtWdg actionShowGLWdg | actionBorder | actionRepaint"}));
        QLayout *layout = w.centralWidget()->layout();
        QCOMPARE(layout->spacing(), 6);
        QCOMPARE(layout->contentsMargins(), QMargins(11, 11, 11, 11));
        QCOMPARE(layout->itemAt(0)->widget()->cursor().shape(), Qt::OpenHandCursor);

        const QStringList expected = {
            "actionShowQtWdg|Zobraz Qt|Zobrazí panel Qt-kreslení|1", "actionClose|Zavřít|Zavře okno programu|0",
            "actionShowGLWdg|Zobraz OpenGL|Zobrazí panel OpenGL-kreslení|1", "actionOpenFiles|Otevřít...|Otevřít|0",
            "actionImportFiles|Import...|Import|0", "actionBorder|Hranice ČR|Hranice ČR|1", "actionLegend|Legenda|Legenda|1",
            "actionRepaint|Překreslit|Překreslení aktuálního panelu|0", "actionAbout|O programu...|O programu|0",
            "actionStopImport|Přerušit import|Přerušit import|0", "actionSaveImage|Uložit obrázek...|Uložit obrázek|0"};
        for (const QString &row : expected) {
            const QStringList f = row.split('|');
            QAction *a = actionOf(w, qPrintable(f[0]));
            QCOMPARE(a->text() + '|' + a->toolTip() + '|' + QString::number(a->isCheckable()), f.mid(1).join('|'));
        }
        for (QAction *a : w.findChildren<QAction *>())
            if (a->objectName().startsWith("action"))
                QVERIFY2(a->icon().isNull() && a->shortcut().isEmpty() && a->statusTip().isEmpty(),
                         qPrintable(a->objectName()));

        // What a screen reader says about the map, the readout and the slider.
        ImportDlg dlg({"/x/N49E014.hgt"}, &w);
        QStringList names;
        for (QWidget *widget : {viewOf(w, 0), viewOf(w, 1), static_cast<QWidget *>(w.findChild<QLabel *>("labelPointer")),
                                static_cast<QWidget *>(dlg.findChild<QSlider *>("horizontalSliderQuantity"))}) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(widget);
            names << a->text(QAccessible::Name);
            QVERIFY2(a->text(QAccessible::Description).size() > 20, qPrintable(names.last()));
        }
        QCOMPARE(names, (QStringList{"Mapa kreslená pomocí Qt", "Mapa kreslená pomocí OpenGL", "Poloha ukazatele",
                                     "Množství výšek"}));

        // It starts maximised on the OpenGL view; tool-bar clicks switch, and
        // the checked view chosen again repeats its message. Menus and time
        // do not take the message away.
        QVERIFY(gl->isChecked() && !qt->isChecked() && border->isChecked());
        QCOMPARE(stack->currentWidget()->metaObject()->className(), "DrawGLWdg");
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        QCOMPARE(w.statusBar()->currentMessage(), QString("Zobrazeno kreslení pomocí OpenGL"));

        for (QAction *a : {qt, qt, gl}) {
            const bool first = !qt->isChecked();
            w.statusBar()->clearMessage();
            QTest::mouseClick(bar->widgetForAction(a), Qt::LeftButton);
            const QString message = a == qt ? "Zobrazeno kreslení pomocí Qt" : "Zobrazeno kreslení pomocí OpenGL";
            QCOMPARE(w.statusBar()->currentMessage(), message);
            QCOMPARE(stack->currentIndex(), a == qt ? 0 : 1);
            QVERIFY(a->isChecked() && qt->isChecked() != gl->isChecked());
            if (first)
                continue; // each view once is enough for what follows
            zobrazit->popup(w.mapToGlobal(QPoint(20, 20)));
            QVERIFY(QTest::qWaitForWindowExposed(zobrazit));
            for (QAction *item : zobrazit->actions())
                if (!item->isSeparator())
                    QTest::mouseMove(zobrazit, zobrazit->actionGeometry(item).center());
            zobrazit->hide();
            // Time has to pass (beyond a second, the shortest timeout a
            // status message would have) to show it takes nothing away.
            QTest::qWait(1200);
            QCOMPARE(w.statusBar()->currentMessage(), message);
        }

        // What the screen shows after "Hranice ČR", in each view as it is
        // shown (no tiles: nothing else repaints the view later).
        w.resize(1000, 700);
        for (int page : {1, 0}) {
            QWidget *view = showPage(w, page);
            QVERIFY(view);
            const auto coverage = [&] { return borderCoverage(onScreen(view), degreesOf(page)); };
            QTRY_VERIFY_WITH_TIMEOUT(coverage() > 0.9, Waits::Event);
            border->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(coverage() < 0.05, Waits::Event);
            border->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(coverage() > 0.9, Waits::Event);
        }

        // "Legenda", the last item of "Zobrazit", shows a dock hidden at
        // start: the bands, highest first, each with the band's colour as its
        // icon and the readout's words as its text, which a screen reader
        // reads. The action and the dock stay in step, whichever the user
        // uses; hidden, the dock leaves the map area as it was.
        auto *dock = w.findChild<QDockWidget *>("dockLegend");
        auto *list = dock->findChild<QListWidget *>();
        QVERIFY(dock->isHidden() && !legend->isChecked());
        QCOMPARE(dock->windowTitle() + '|' + dock->accessibleName(), QString("Legenda|Legenda"));
        const QSize mapArea = stack->size();
        legend->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(list));
        QStringList shown;
        for (int row = 0; row < list->count(); ++row) {
            const int band = HeightBandCount - 1 - row;
            shown.prepend(list->item(row)->text());
            QCOMPARE(PointerReadout::bandText(band), shown.first());
            const QImage swatch = list->item(row)->icon().pixmap(list->iconSize()).toImage();
            const QRgb colour = qRgb(heightColors[band].red, heightColors[band].green, heightColors[band].blue);
            QCOMPARE(swatch.pixel(swatch.width() / 2, swatch.height() / 2) | 0xff000000, colour);
            QCOMPARE(heightBandOfColor(qRed(colour), qGreen(colour), qBlue(colour)), band);
        }
        QCOMPARE(shown, (QStringList{"do 0 m", "1–200 m", "201–300 m", "301–400 m", "401–500 m", "501–600 m",
                                     "601–800 m", "801–1000 m", "1001–1200 m", "1201–1400 m", "1401–1800 m", "od 1801 m"}));
        QCOMPARE(selectedBands(list), QString());

        for (const bool byMenu : {false, true}) { // the dock's own close button, then the menu item
            if (byMenu)
                legend->trigger();
            QVERIFY(legend->isChecked() && QTest::qWaitForWindowExposed(dock));
            QTRY_VERIFY_WITH_TIMEOUT(stack->width() < mapArea.width(), Waits::Event);
            if (byMenu)
                legend->trigger();
            else
                QTest::mouseClick(dock->findChild<QAbstractButton *>("qt_dockwidget_closebutton"), Qt::LeftButton);
            QVERIFY(dock->isHidden() && !legend->isChecked());
            QTRY_COMPARE_WITH_TIMEOUT(stack->size(), mapArea, Waits::Event);
        }

        // Behind another dock's tab the legend is still open.
        auto *report = w.findChild<QDockWidget *>("dockImportReport");
        legend->trigger();
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
            QVERIFY(legend->isChecked() && !dock->isHidden());
        }

        QTimer::singleShot(100, actionOf(w, "actionClose"), &QAction::trigger);
        // Safety net; it goes with the window, or it would end the event
        // loops of whichever test runs ten seconds later.
        QTimer::singleShot(10000, &w, [] { QApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
    }

    // Tiles opened while the painter page is shown load into the hidden
    // OpenGL view too; both pages show the band colours and the border;
    // "Překreslit" times the visible view only; "Hranice ČR" reaches the
    // hidden view. Where the pointer is, in either view: the same place, the
    // same band, selected in the legend; nothing where no tile lies; right
    // after zoom and pan too; nothing once the pointer has left the view.
    // The view message stays beside it. Where tiles overlap, the readout
    // names the band of the one drawn on top: the one opened last, whether
    // in one "Otevřít..." or one after another; where it has no cell, the
    // one below it; or nothing. Each such case lies at N50E0<lon>.
    void openRepaintAndBorder()
    {
        QCOMPARE(PointerReadout::text({15.4711, 49.8123}, 4), QString("49,8123° s. š.  15,4711° v. d.   401–500 m"));
        QCOMPARE(PointerReadout::text({-0.5, -1.25}, -1), QString("1,2500° j. š.  0,5000° z. d."));
        QTemporaryDir dir;
        const float heights[] = {120, 350, 700, 1500}; // NW, NE, SW, SE
        const QStringList chgt{constantTile(dir.path(), "N49E014", 150), constantTile(dir.path(), "N50E015", 1500),
                               constantTile(dir.path(), "N49E016", 0, [&](int row, int col) {
                                   return qint16(heights[(row >= 600) * 2 + (col >= 600)]);
                               })};
        QVERIFY(!chgt.contains(QString()));
        resetViews();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1200, 800); // no window manager maximises it under Xvfb
        auto *qtView = qobject_cast<DrawQtWdg *>(viewOf(w, 0));
        auto *glView = qobject_cast<DrawGLWdg *>(viewOf(w, 1));
        actionOf(w, "actionShowQtWdg")->trigger();
        openByMenu(w, chgt);
        QCOMPARE(qtView->mapContent().gridCount(), 3); // regular tiles, held as grids
        QCOMPARE(glView->tileCount(), 3);

        // Around the tiles the OpenGL view is white, the painter view shows its background.
        auto checkMap = [](const QImage &img, const ViewExtent &e, QRgb background) {
            QCOMPARE(img.pixel(pixelAt(img.size(), e, 14.5, 49.5)) | 0xff000000, qRgb(180, 220, 172));
            QCOMPARE(img.pixel(pixelAt(img.size(), e, 15.5, 50.5)) | 0xff000000, qRgb(138, 122, 93));
            QCOMPARE(img.pixel(pixelAt(img.size(), e, 12.5, 48.8)) | 0xff000000, background);
            QVERIFY(borderCoverage(img, e) > 0.9);
        };
        checkMap(qtView->grab().toImage(), degreesOf(0), qtView->palette().color(QPalette::Window).rgb());

        // An exposed painter view repaints, and so logs, before the action
        // returns; again at once, within a frame of the last composition of
        // the window (which holds OpenGL content), too.
        const int logBefore = logLines().size();
        QAction *repaint = actionOf(w, "actionRepaint");
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int times = 1; times <= 2; ++times) {
            repaint->trigger();
            QCOMPARE(logLines().size(), logBefore + times);
            QVERIFY(logLines().last().contains("\tRepaint Qt widget\t"));
        }
        QVERIFY(qtView->progressDialog()->isVisible() && !glView->progressDialog()->isVisible());
        qtView->progressDialog()->hide();
        QVERIFY(showPage(w, 1));
        checkMap(glView->grabFramebuffer(), degreesOf(1), qRgb(255, 255, 255));
        repaint->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(logLines().size(), logBefore + 3, Waits::Event);
        QVERIFY(logLines().last().contains("\tRepaint OpenGL widget\t"));
        QVERIFY(!qtView->progressDialog()->isVisible() && glView->progressDialog()->isVisible());

        actionOf(w, "actionBorder")->trigger();
        QVERIFY(borderCoverage(glView->grabFramebuffer(), degreesOf(1)) < 0.05);
        QVERIFY(borderCoverage(qtView->grab().toImage(), degreesOf(0)) < 0.05);
        glView->progressDialog()->hide();

        const struct { int lon; QList<int> heights; bool oneOpen, holes; QString band; } cases[] = {
            {16, {150, 1500}, true, false, "1401–1800 m"}, {17, {150, 1500, 450}, false, false, "401–500 m"},
            {18, {150, 1500, 450}, false, true, "1401–1800 m"}, {19, {450}, true, true, ""}};
        // No cells within 0.1 degree of the three places read.
        const TestTiles::Holes near = [](int i, int j) {
            const auto within = [&](int x, int y) { return std::abs(i - x) < 120 && std::abs(j - y) < 120; };
            return within(600, 600) || within(120, 1080) || within(1080, 120);
        };
        for (const auto &c : cases) {
            QStringList tiles; // one place, under names of their own
            for (int i = 0; i < c.heights.size(); ++i) {
                const QString name = QStringLiteral("N50E0%1").arg(c.lon);
                const QString made = constantTile(dir.filePath(QString::number(i)), name, qint16(c.heights[i]));
                tiles << dir.filePath(QStringLiteral("%1-%2.chgt").arg(name).arg(i));
                QVERIFY(!made.isEmpty() && QFile::rename(made, tiles.last()));
            }
            const QByteArray top = TestTiles::fileBytes(tiles.last());
            QVERIFY(!c.holes || TestTiles::writeBytes(tiles.last(), TestTiles::withHoles(top, 5, near)));
            if (c.oneOpen)
                openByMenu(w, tiles);
            else
                for (const QString &tile : tiles)
                    openByMenu(w, {tile});
        }

        auto *list = w.findChild<QListWidget *>("listLegend");
        actionOf(w, "actionLegend")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(list));
        const struct { double lon, lat; QString band; } places[] = {
            {16.25, 49.75, "1–200 m"}, {16.75, 49.75, "301–400 m"}, {15.5, 49.5, ""},
            {16.25, 49.25, "601–800 m"}, {16.75, 49.25, "1401–1800 m"}, {17.5, 49.5, ""}};
        for (int step = 0; step < 3; ++step) {
            for (int page : {0, 1}) {
                QWidget *view = showPage(w, page);
                QVERIFY(view);
                for (const auto &place : places) {
                    QPointF at;
                    QCOMPARE(readoutAt(w, place.lon, place.lat, &at), place.band);
                    QCOMPARE(selectedBands(list), place.band);
                    // Within a pixel of the place.
                    QVERIFY(qAbs(at.x() - place.lon) < 0.02 && qAbs(at.y() - place.lat) < 0.02);
                }
                QVERIFY(w.statusBar()->currentMessage().startsWith("Zobrazeno kreslení pomocí "));
                for (const auto &c : cases)
                    for (const QPointF place : {QPointF(0.5, 0.5), QPointF(0.1, 0.9), QPointF(0.9, 0.1)})
                        if (step == 0) // the zoom below takes N50E019 partly out of view
                            QCOMPARE(readoutAt(w, c.lon + place.x(), 50 + place.y()), c.band);
                if (step == 1) { // a wheel step in
                    const QPointF c(view->width() / 2, view->height() / 2);
                    QWheelEvent in(c, view->mapToGlobal(c), {}, {0, 120}, {}, {}, Qt::NoScrollPhase, false);
                    QApplication::sendEvent(view, &in);
                } else if (step == 2) { // a drag a little to the left, then off the view from a band
                    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(300, 200));
                    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(260, 210));
                    QCOMPARE(readoutAt(w, 16.25, 49.75), QString("1–200 m"));
                    QTest::mouseMove(w.statusBar(), QPoint(5, w.statusBar()->height() / 2));
                    QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QLabel *>("labelPointer")->text().isEmpty(), Waits::Event);
                    QTRY_COMPARE_WITH_TIMEOUT(selectedBands(list), QString(), Waits::Event);
                }
            }
        }
    }

    // The files that gave no full tile are listed in the window with their
    // reasons; the progress dialog completes and logs as always, but says so.
    // One case after another in one window, each in a folder of its own, "@".
    void importFailuresShown()
    {
        const QString shortTile = "N50E014.hgt|nemá velikost dlaždice HGT (2\u00a0884\u00a0802 nebo 25\u00a0934\u00a0402 "
                                  "bajtů), dlaždice @/out/N50E014.chgt zůstala beze změny";
        // files: how many of N49E014.hgt, a short N50E014.hgt, tile.hgt; -3: rasters (the good raster's tile
        // holds only its cells; the one without a place on the Earth is listed with its reason). rows: file
        // name | start of the reason.
        const struct { QString output; int files; QStringList rows; QString note; } cases[] = {
            {"@/out", 3, {shortTile, "tile.hgt|název neodpovídá dlaždici HGT"}, "Dokonceno! Nepřevedeno: 2 z 3"},
            {"@/file/out", 3,
             {"N49E014.hgt|dlaždici @/file/out/N49E014.chgt nelze zapsat: část cesty není složka",
              "N50E014.hgt|dlaždici @/file/out/N50E014.chgt nelze zapsat: část cesty není složka",
              "tile.hgt|název neodpovídá dlaždici HGT"},
             "Dokonceno! Nepřevedeno: 3 z 3"},
            {"@/nested/out put", 1, {}, "Dokonceno!"},
            {"@/out", -3, {"scan.tif|rastr nelze převést: rastr nemá georeferenci"}, "Dokonceno! Nepřevedeno: 1 z 3"}};
        const QTemporaryDir top;
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *report = w.findChild<QDockWidget *>("dockImportReport");
        auto *progress = w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
        QAction *import = actionOf(w, "actionImportFiles");
        QVERIFY(!report->isVisible());
        // "Import..." is held back at every step of a run.
        QList<bool> enabledAt;
        connect(progress->findChild<QProgressBar *>("progressBar"), &QProgressBar::valueChanged, this,
                [&](int) { enabledAt << import->isEnabled(); });
        QStringList sources;
        QString output;
        for (const auto &c : cases) {
            const QDir dir(top.filePath(QString::number(&c - cases)));
            output = QString(c.output).replace("@", dir.path());
            sources = QStringList{dir.filePath("N49E014.hgt"), dir.filePath("N50E014.hgt"), dir.filePath("tile.hgt")};
            QFile older(dir.filePath("out/N50E014.chgt"));
            QVERIFY(QDir().mkpath(dir.filePath("out")) && older.open(QIODevice::WriteOnly));
            QVERIFY(HgtTileGenerator(300).save(sources[0]) && HgtTileGenerator(300).save(sources[2]));
            QVERIFY(TestTiles::writeBytes(sources[1], "short") && TestTiles::writeBytes(dir.filePath("file"), {}));
            if (c.files > 0) {
                sources.resize(c.files);
            } else { // the HGT tile, a raster inside N49E015 (3-second posts, 350 m) and one without a place
                sources = QStringList{sources[0], dir.filePath("dmr.tif"), dir.filePath("scan.tif")};
                TestRasters::Raster raster = TestRasters::Raster::degrees(15.25, 49.75, 60, 40, 1200), unplaced;
                raster.value = [](int, int) { return 350.0; };
                unplaced.width = unplaced.height = 8;
                unplaced.hasGeoTransform = false;
                unplaced.crs.clear();
                QVERIFY(raster.write(sources[1]) && unplaced.write(sources[2]));
            }
            const int logBefore = logLines().size();
            enabledAt.clear();
            importByMenu(w, sources, output, 5);
            QVERIFY(!import->isEnabled() && progress->isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), Waits::Conversion);
            QVERIFY(!enabledAt.isEmpty() && !enabledAt.contains(true));
            QCOMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), c.note);
            QCOMPARE(logLines().size(), logBefore + 1);
            QCOMPARE(report->isVisible(), !c.rows.isEmpty());
            auto *tree = report->findChild<QTreeWidget *>("treeImportReport");
            QCOMPARE(tree->topLevelItemCount(), c.rows.size());
            for (int i = 0; i < c.rows.size(); ++i) {
                const QStringList want = QString(c.rows[i]).replace("@", dir.path()).split('|');
                QCOMPARE(tree->topLevelItem(i)->text(0), dir.filePath(want[0]));
                QVERIFY(tree->topLevelItem(i)->text(1).startsWith(want[1]));
            }
            QCOMPARE(older.size(), 0); // the stored tile was not replaced
            if (c.rows.isEmpty())
                QCOMPARE(QFileInfo(output + "/N49E014.chgt").size(), 8294400);
            if (c.files < 0) {
                QCOMPARE(QFileInfo(dir.filePath("out/N49E014.chgt")).size(), TileGrid::fileBytes(5));
                // Every fifth post of the raster's 60 x 40 holds a cell, in a band of 301-400 m.
                QCOMPARE(QFileInfo(dir.filePath("out/N49E015.chgt")).size(), 12 * 8 * 144);
                QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Files).size(), 3); // with the stored one
            }
        }

        // "Storno" starts nothing: a started conversion would have shown its
        // dialog and held the action back before the command returned.
        progress->hide();
        {
            ModalDriver driver(
                {ModalDriver::chooseFiles(sources), ModalDriver::answerImport(output, 2, "pushButtonStorno")});
            import->trigger();
            QCOMPARE(driver.seen, QStringList({"QFileDialog", "ImportDlg"}));
        }
        QVERIFY(!progress->isVisible() && import->isEnabled() && !w.findChild<ConvertHgt *>("convertHgt")->isRunning());
    }

    // An import accepted while a conversion is under way, whether from the
    // menu, by a drop (the dialog still asks) or as the run ends (before the
    // window has heard of its end), runs after it instead of being dropped:
    // both runs complete and log their line. Each way in turn, in one window.
    void importDuringRun()
    {
        QTemporaryDir dir;
        QStringList first = runFiles(dir.path(), 3, 500);
        QVERIFY(!first.isEmpty());
        const QString later = first.takeLast();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *worker = w.findChild<ConvertHgt *>("convertHgt");
        auto *progress = w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
        QAction *import = actionOf(w, "actionImportFiles");
        for (const QString how : {"menu", "drop", "ends"}) {
            const QString out = dir.filePath(how);
            const int logBefore = logLines().size();
            // The first run is held at its first file until the second import
            // has been accepted, so it certainly still runs then.
            RunGate gate(*worker, 0, int(first.size()));
            importByMenu(w, first, out, 5);
            QTRY_VERIFY2_WITH_TIMEOUT(gate.isHolding(), "the first run reached its first file", Waits::Conversion);
            bool asWanted = false; // the run's state when the second import was accepted
            const ModalDriver::Handler accept = [&](QWidget *d) {
                if (how == "ends") {
                    // The run ends while this thread handles no events, so its
                    // last value and its end wait in the queue; polled without
                    // the event loop on purpose.
                    gate.open();
                    const QDeadlineTimer bound(Waits::Conversion);
                    while (!worker->isFinished() && !bound.hasExpired())
                        QThread::msleep(1);
                    asWanted = worker->isFinished();
                } else {
                    asWanted = !import->isEnabled() && worker->isRunning();
                }
                ModalDriver::answerImport(out, 5, "pushButtonImport")(d);
            };
            if (how == "drop") {
                ModalDriver driver({accept});
                QVERIFY(dropOn(&w, {later}));
                QTRY_COMPARE_WITH_TIMEOUT(driver.seen, QStringList{"ImportDlg"}, Waits::Event);
            } else {
                QCOMPARE(importDespiteRun(w, {later}, accept), QStringList({"QFileDialog", "ImportDlg"}));
            }
            QVERIFY2(asWanted, qPrintable(how));
            if (how != "ends")
                QVERIFY(!QFileInfo::exists(out + "/N50E016.chgt")); // waits for the first run
            gate.open();
            QTRY_COMPARE_WITH_TIMEOUT(logLines().size(), logBefore + 2, Waits::Conversion);
            QVERIFY(logLines().at(logBefore).contains("\tKonverze HGT souboru\t"));
            QVERIFY(logLines().at(logBefore + 1).contains("\tKonverze HGT souboru\t"));
            for (const char *tile : {"N49E010", "N49E011", "N49E012", "N50E016"})
                QCOMPARE(QFileInfo(QString("%1/%2.chgt").arg(out, tile)).size(), 8294400);
            QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), Waits::Event);
            QCOMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), QString("Dokonceno!"));
        }
    }
};

RZ_REGISTER_TEST(WindowRZTest);
#include "tst_windowrz.moc"
