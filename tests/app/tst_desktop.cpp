#include "TestRegistry.h"
#include "AppWindow.h"

#include "GeoTiffRead.h"
#include "ProgressDlg.h"

#include <csignal>
#include <memory>
#include <sys/resource.h>

// The program as a good citizen of the desktop: files from the command line
// and dropped on the window, the map from the keyboard, About, saving the
// picture and stopping a conversion.
class DesktopTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    // Files dropped on the window (or named on the command line, which
    // main() hands to the same openPaths): CHGT tiles open in both views,
    // HGT tiles go to the import dialog with its list filled and are
    // converted, other files are named.
    void filesFromOutsideAndKeys()
    {
        QTemporaryDir dir;
        const QString chgt = constantTile(dir.path(), "N49E014", 150), hgt = dir.filePath("src/N50E015.hgt");
        const QString notes = dir.filePath("notes.txt"), out = dir.filePath("out");
        QVERIFY(!chgt.isEmpty() && QDir().mkpath(dir.filePath("src")) && HgtTileGenerator(700).save(hgt));
        QVERIFY(TestTiles::writeBytes(notes, {}));

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList listed;
        {
            ModalDriver driver({[&](QWidget *d) {
                auto *list = d->findChild<QListWidget *>("listWidgetFiles");
                for (int i = 0; i < list->count(); ++i)
                    listed << list->item(i)->text();
                ModalDriver::answerImport(out, 5, "pushButtonImport")(d);
            }});
            // Nothing the window can use: the drag is refused.
            QVERIFY(!dropOn(&w, {notes}));
            QVERIFY(dropOn(&w, {chgt, notes, hgt}));
            QTRY_COMPARE_WITH_TIMEOUT(driver.seen, QStringList{"ImportDlg"}, Waits::Event);
            QCOMPARE(qobject_cast<DrawQtWdg *>(viewOf(w, 0))->mapContent().gridCount(), 1);
            QCOMPARE(qobject_cast<DrawGLWdg *>(viewOf(w, 1))->tileCount(), 1);
            QCOMPARE(listed, QStringList{hgt});
            QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(out + "/N50E015.chgt").size(), 8294400, Waits::Conversion);
            QVERIFY(w.statusBar()->currentMessage().contains("notes.txt"));
            QTRY_VERIFY_WITH_TIMEOUT(actionOf(w, "actionImportFiles")->isEnabled(), Waits::Conversion);
        }

        // Each view takes focus by a click or Tab; the arrows move the map a
        // tenth of the view, + and - zoom by the wheel's step, Home takes both
        // views back to the start-up window.
        w.resize(1000, 700);
        // Keys go to the active window only.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        resetViews();
        for (int page : {0, 1}) {
            QWidget *view = showPage(w, page);
            QVERIFY(view);
            const bool gl = page == 1;
            const auto extent = [gl] { return gl ? DrawGLWdg::viewExtent() : DrawQtWdg::viewExtent(); };
            const double k = gl ? 1.0 : 100.0; // map units per degree

            // Tab from nowhere lands on the shown view, a click too.
            view->clearFocus();
            QTest::keyClick(&w, Qt::Key_Tab);
            QTRY_VERIFY2_WITH_TIMEOUT(view->hasFocus(), gl ? "OpenGL" : "Qt", Waits::Event);
            view->clearFocus();
            QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() / 2, view->height() / 2));
            QTRY_VERIFY2_WITH_TIMEOUT(view->hasFocus(), gl ? "OpenGL" : "Qt", Waits::Event);

            QTest::keyClick(view, Qt::Key_Home);
            const ViewExtent start = extent();
            QCOMPARE(start, gl ? DrawGLWdg::initialExtent : DrawQtWdg::initialExtent);
            struct Press { Qt::Key key; Qt::KeyboardModifiers mods; double east, north; };
            const Press presses[] = {{Qt::Key_Right, Qt::NoModifier, 1, 0}, {Qt::Key_Up, Qt::NoModifier, 0, 1},
                                     {Qt::Key_Left, Qt::KeypadModifier, -1, 0}, {Qt::Key_Down, Qt::NoModifier, 0, -1}};
            ViewExtent e = start;
            for (const Press &p : presses) {
                QTest::keyClick(view, p.key, p.mods);
                const double dx = p.east * 0.1 * (double(e.right) - e.left);
                const double dy = p.north * 0.1 * (double(e.top) - e.bottom);
                e = ViewExtent{float(e.left + dx), float(e.right + dx), float(e.bottom + dy), float(e.top + dy)};
                QCOMPARE(extent(), e);
            }

            // + and - are the wheel's steps around the centre; with Ctrl the
            // keys are not the map's.
            ViewExtent wheel = extent();
            ViewExtentMath::zoom(wheel, 120, 0.45 * k, 0.15 * k);
            QTest::keyClick(view, Qt::Key_Plus, Qt::ShiftModifier);
            QTest::keyClick(view, Qt::Key_Right, Qt::ControlModifier);
            QCOMPARE(extent(), wheel);
            ViewExtentMath::zoom(wheel, -120, 0.45 * k, 0.15 * k);
            QTest::keyClick(view, Qt::Key_Minus);
            QCOMPARE(extent(), wheel);
        }

        // Both views moved away; Home in one takes both back and shows the start.
        QWidget *glView = viewOf(w, 1);
        QTest::keyClick(glView, Qt::Key_Right);
        QTest::keyClick(viewOf(w, 0), Qt::Key_Plus);
        const ViewExtent moved = DrawGLWdg::viewExtent();
        DrawGLWdg::resetViewExtent();
        const QImage glAtStart = pictureOf(glView);
        DrawGLWdg::setViewExtent(moved);
        QTest::keyClick(glView, Qt::Key_Home);
        QCOMPARE(DrawQtWdg::viewExtent(), DrawQtWdg::initialExtent);
        QCOMPARE(DrawGLWdg::viewExtent(), DrawGLWdg::initialExtent);
        QCOMPARE(pictureOf(glView), glAtStart);

        // "O programu..." shows our own dialog: version, licence, the credit.
        QString title, texts;
        ModalDriver driver({[&](QWidget *d) {
            title = d->windowTitle();
            for (QLabel *label : d->findChildren<QLabel *>())
                texts += label->text() + '\n';
            for (QPushButton *b : d->findChildren<QPushButton *>())
                if (b->text() == "Zavřít")
                    return QTest::mouseClick(b, Qt::LeftButton);
        }});
        actionOf(w, "actionAbout")->trigger();
        QCOMPARE(driver.seen, QStringList{"AboutDlg"});
        QCOMPARE(title, QString("O programu"));
        for (const char *part : {"Verze " RZMAP_VERSION, "licencí MIT", "© přispěvatelé OpenStreetMap",
                                 "© OpenStreetMap contributors, ODbL 1.0"})
            QVERIFY2(texts.contains(QString::fromUtf8(part)), part);
    }

    // The visible view as a PNG or a GeoTIFF: a save dialog at home with
    // both filters, its own overwrite question, the credit with the border,
    // a GeoTIFF placed on the window the view shows, and a failure told in
    // the status bar with the system's reason. One case after another, each
    // into a folder of its own.
    void savePicture()
    {
        // existing: "", "replace" or "keep"; failure: "", "size limit" or "folder removed";
        // suffix: of the filter chosen
        const struct { int page; bool border; QString existing, failure, suffix; } cases[] = {
            {0, true, "", "", "png"}, {1, false, "", "", "png"}, {1, true, "replace", "", "png"},
            {0, true, "keep", "", "png"}, {0, true, "", "size limit", "png"}, {1, true, "", "folder removed", "png"},
            {0, true, "", "", "tif"}, {1, false, "", "", "tif"}, {1, true, "", "size limit", "tif"}};
        QTemporaryDir dir;
        const QString chgt = constantTile(dir.path(), "N49E014", 150);
        QVERIFY(!chgt.isEmpty());
        const auto startExtents = qScopeGuard([] { resetViews(); });
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(900, 600);
        w.openPaths({chgt});
        for (const auto &c : cases) {
            const QString folder = dir.filePath(QString::number(&c - cases));
            const QString target = folder + "/mapa." + c.suffix;
            QVERIFY(QDir().mkpath(folder) && (c.existing.isEmpty() || TestTiles::writeBytes(target, "old")));
            resetViews();
            // A GeoTIFF is placed on the window as drawn: the painter's in
            // whole hundredths of a degree, the OpenGL view's as it is.
            std::array<double, 4> window{13.25, 16.5, 48.75, 50.5}; // west, east, south, north
            if (c.suffix == "tif" && c.page == 0) {
                // left 1350, width trunc(259.75), top 5080, height trunc(-190.25)
                DrawQtWdg::setViewExtent({1350.75f, 1610.5f, 4890.25f, 5080.5f});
                window = {13.50, 16.09, 48.90, 50.80};
            } else if (c.suffix == "tif") {
                DrawGLWdg::setViewExtent({13.25f, 16.5f, 48.75f, 50.5f});
            }
            QWidget *view = showPage(w, c.page);
            QVERIFY(view);
            actionOf(w, "actionBorder")->setChecked(c.border);
            const QImage shown = pictureOf(view);

            QString startDir, question;
            QStringList filters;
            bool confirms = false;
            QList<ModalDriver::Handler> answers{[&](QWidget *d) {
                auto *files = qobject_cast<QFileDialog *>(d);
                startDir = files->directory().absolutePath();
                filters = files->nameFilters();
                confirms = files->acceptMode() == QFileDialog::AcceptSave
                           && !files->testOption(QFileDialog::DontConfirmOverwrite);
                files->setDirectory(folder);
                if (c.suffix == "tif") // as a user picks it: the next filter in the list
                    QTest::keyClick(d->findChild<QComboBox *>("fileTypeCombo"), Qt::Key_Down);
                auto *edit = d->findChild<QLineEdit *>("fileNameEdit");
                edit->clear();
                QTest::keyClicks(edit, "mapa"); // the suffix comes from the filter
                if (c.failure == "folder removed")
                    QDir(folder).removeRecursively();
                static_cast<QDialog *>(d)->accept();
            }};
            if (!c.existing.isEmpty()) {
                answers << [&](QWidget *d) {
                    auto *box = qobject_cast<QMessageBox *>(d);
                    question = box->text();
                    QTest::mouseClick(box->button(c.existing == "replace" ? QMessageBox::Yes : QMessageBox::No),
                                      Qt::LeftButton);
                };
                if (c.existing == "keep") // back in the file dialog, which is then cancelled
                    answers << ModalDriver::rejectDialog();
            }
            struct rlimit saved;
            getrlimit(RLIMIT_FSIZE, &saved);
            {
                ModalDriver driver(answers);
                if (c.failure == "size limit") {
                    std::signal(SIGXFSZ, SIG_IGN);
                    const rlimit small{1000, saved.rlim_max};
                    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
                }
                actionOf(w, "actionSaveImage")->trigger();
                setrlimit(RLIMIT_FSIZE, &saved);
                QCOMPARE(driver.seen.size(), answers.size());
            }
            QCOMPARE(startDir, QDir::homePath());
            QCOMPARE(filters, (QStringList{"Obrázky PNG (*.png)", "Obrázky GeoTIFF (*.tif)"}));
            QVERIFY(confirms);
            QCOMPARE(question.contains("mapa.png"), !c.existing.isEmpty());

            const QString message = w.statusBar()->currentMessage();
            if (!c.failure.isEmpty()) {
                const QString reason = c.failure == "size limit" ? "soubor by překročil povolenou velikost"
                                                               : "soubor nebo složka neexistuje";
                QCOMPARE(message, QString("Obrázek %1 nelze uložit: %2").arg(target, reason));
                QVERIFY(!QFileInfo::exists(target)); // no half picture
                continue;
            }
            if (c.existing == "keep") {
                QCOMPARE(QFileInfo(target).size(), 3); // "old"
                continue;
            }
            QCOMPARE(message, QString("Obrázek uložen: %1").arg(target));
            const QString credit = c.border ? QString("Border: © OpenStreetMap contributors, ODbL 1.0") : QString();
            if (c.suffix == "tif") {
                const GeoTiffRead tiff = GeoTiffRead::of(target);
                QCOMPARE(tiff.image, shown);
                QCOMPARE(tiff.authority, QString("EPSG:4326"));
                QCOMPARE(tiff.copyright, credit);
                const double w = shown.width(), h = shown.height();
                const std::array<double, 6> expected{window[0], (window[1] - window[0]) / w, 0,
                                                     window[3], 0, -(window[3] - window[2]) / h};
                for (size_t i = 0; i < 6; ++i)
                    QVERIFY2(qAbs(tiff.transform[i] - expected[i]) < 1e-6 / w, qPrintable(QString::number(i)));
                continue;
            }
            QImageReader reader(target);
            QCOMPARE(reader.format(), QByteArray("png"));
            QCOMPARE(reader.text("Copyright"), credit);
            QCOMPARE(reader.read().convertToFormat(QImage::Format_RGB32), shown);
        }
    }

    void stopConversion_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Přerušit import") << "stop";
        QTest::newRow("Přerušit import, an import waiting") << "waiting";
        QTest::newRow("window closed") << "close";
    }

    // "Přerušit import", or closing the window, during a conversion stops
    // it after the tile in hand: the tiles written are whole. Stopped, the
    // rest and the files of imports waiting for the run are listed as
    // stopped, the progress dialog says so with its clock stopped and the
    // log gets no line. A later import runs to its end as usual.
    void stopConversion()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        QStringList tiles = runFiles(dir.path(), 5, 300);
        QVERIFY(!tiles.isEmpty());
        const QString later = tiles.takeLast(), out = dir.filePath("out");
        const int logBefore = logLines().size();
        auto w = std::make_unique<WindowRZ>();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QAction *import = actionOf(*w, "actionImportFiles"), *stop = actionOf(*w, "actionStopImport");
        auto *progress = w->findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
        auto *report = w->findChild<QDockWidget *>("dockImportReport");
        auto *completed = progress->findChild<QLabel *>("labelCompleted");
        // The run is held as it takes its third file, until asked to stop.
        RunGate gate(*w->findChild<ConvertHgt *>("convertHgt"), 2, int(tiles.size()));
        QVERIFY(!stop->isEnabled());
        importByMenu(*w, tiles, out, 5);
        QVERIFY(stop->isEnabled() && !import->isEnabled() && progress->isTiming());
        QTRY_VERIFY_WITH_TIMEOUT(gate.isHolding() && QDir(out).entryList({"*.chgt"}, QDir::Files).size() == 2,
                                 Waits::Conversion);
        if (how == "waiting")
            QCOMPARE(importDespiteRun(*w, {later}, ModalDriver::answerImport(out, 5, "pushButtonImport")),
                     QStringList({"QFileDialog", "ImportDlg"}));
        if (how == "close") {
            w->close();
            w.reset();
            QCOMPARE(gate.filesTaken(), 3);
        } else {
            stop->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), Waits::Conversion);
            QVERIFY(!stop->isEnabled());
        }

        // The tile in hand was finished; nothing after it was begun.
        const QFileInfoList left = QDir(out).entryInfoList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), 3);
        for (const QFileInfo &fi : left)
            QVERIFY2(fi.suffix() == "chgt" && fi.size() == 8294400, qPrintable(fi.fileName()));
        if (how == "close")
            return;
        QCOMPARE(completed->text(), QString("Přerušeno"));
        QCOMPARE(logLines().size(), logBefore);
        QVERIFY(report->isVisible() && !progress->isTiming());
        auto *tree = report->findChild<QTreeWidget *>("treeImportReport");
        QStringList listed, expected;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            listed << tree->topLevelItem(i)->text(0) + ": " + tree->topLevelItem(i)->text(1);
        for (const QString &file : tiles.mid(3) + (how == "waiting" ? QStringList{later} : QStringList()))
            expected << file + ": přerušeno";
        QCOMPARE(listed, expected);

        // OK only hides the dialog.
        QTest::mouseClick(progress->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        QVERIFY(!progress->isVisible());
        QCOMPARE(completed->text(), QString("Přerušeno"));

        // The next import is not stopped by the last one's request.
        importByMenu(*w, {tiles.last()}, out, 5);
        QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), Waits::Conversion);
        QCOMPARE(completed->text(), QString("Dokonceno!"));
        QCOMPARE(logLines().size(), logBefore + 1);
        QCOMPARE(QFileInfo(out + "/N49E014.chgt").size(), qint64(8294400));
        QVERIFY(!QFileInfo::exists(out + "/N50E016.chgt"));
        QVERIFY(!report->isVisible());
    }
};

RZ_REGISTER_TEST(DesktopTest);
#include "tst_desktop.moc"
