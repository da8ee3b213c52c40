#include "TestRegistry.h"
#include "ModalDriver.h"

#include "HgtTileGenerator.h"
#include "ProgressDlg.h"
#include "WindowRZ.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>

#include <memory>

namespace {

QStringList names(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        out << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    return out;
}

// The window's own dialog is its direct child; the views own the others.
ProgressDlg *conversionDialog(WindowRZ &w)
{
    return w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
}

QStringList logLines()
{
    QFile f("log.txt");
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

ModalDriver::Handler importWith(const QString &dir, int quantity, const char *button)
{
    return [=](QWidget *d) {
        d->findChild<QLineEdit *>("lineEditDirPath")->setText(dir);
        d->findChild<QSlider *>("horizontalSliderQuantity")->setValue(quantity);
        QTest::mouseClick(d->findChild<QPushButton *>(button), Qt::LeftButton);
    };
}

} // namespace

class WindowRZTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void startStateAndSwitching()
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
        QVERIFY(!conversionDialog(w)->isVisible());

        // The tool-bar buttons switch; choosing the checked view again shows
        // its message again.
        auto *bar = w.findChild<QToolBar *>("mainToolBar");
        const struct { QAction *action; int page; const char *message; } steps[] = {
            {qt, 0, "Zobrazeno kreslení pomocí Qt"},
            {qt, 0, "Zobrazeno kreslení pomocí Qt"},
            {gl, 1, "Zobrazeno kreslení pomocí OpenGL"},
        };
        for (const auto &step : steps) {
            w.statusBar()->clearMessage();
            QTest::mouseClick(bar->widgetForAction(step.action), Qt::LeftButton);
            QCOMPARE(w.statusBar()->currentMessage(), QString::fromUtf8(step.message));
            QCOMPARE(stack->currentIndex(), step.page);
            QVERIFY(step.action->isChecked());
            QCOMPARE(qt->isChecked() + gl->isChecked(), 1);
        }
    }

    void formStructure()
    {
        WindowRZ w;
        QCOMPARE(w.windowTitle(), QString("WindowRZ"));
        auto *soubor = w.findChild<QMenu *>("menuSoubor");
        auto *zobrazit = w.findChild<QMenu *>("menuZobrazit");
        QCOMPARE(w.menuBar()->objectName(), QString("menuBar"));
        QCOMPARE(w.menuBar()->actions().size(), 2);
        QCOMPARE(w.menuBar()->actions().at(0)->menu(), soubor);
        QCOMPARE(w.menuBar()->actions().at(1)->menu(), zobrazit);
        QCOMPARE(soubor->title(), QString("Soubor"));
        QCOMPARE(zobrazit->title(), QString("Zobrazit"));
        QCOMPARE(names(soubor->actions()),
                 QStringList({"actionOpenFiles", "actionImportFiles", "|", "actionClose"}));
        QCOMPARE(names(zobrazit->actions()),
                 QStringList({"actionBorder", "|", "actionShowQtWdg", "actionShowGLWdg", "|"}));
        QCOMPARE(names(w.findChild<QToolBar *>("mainToolBar")->actions()),
                 QStringList({"actionShowQtWdg", "actionShowGLWdg", "|", "actionBorder", "|",
                              "actionRepaint"}));
        QLayout *layout = w.centralWidget()->layout();
        QCOMPARE(layout->spacing(), 6);
        QCOMPARE(layout->contentsMargins(), QMargins(11, 11, 11, 11));
        QCOMPARE(layout->itemAt(0)->widget()->cursor().shape(), Qt::OpenHandCursor);
    }

    void actionTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<bool>("checkable");
        // An action without a tool tip of its own shows its text, less "...".
        QTest::newRow("qt") << "actionShowQtWdg" << "Zobraz Qt" << "Zobrazí panel Qt-kreslení" << true;
        QTest::newRow("gl") << "actionShowGLWdg" << "Zobraz OpenGL" << "Zobrazí panel OpenGL-kreslení" << true;
        QTest::newRow("close") << "actionClose" << "Zavřít" << "Zavře okno programu" << false;
        QTest::newRow("open") << "actionOpenFiles" << "Otevřít..." << "Otevřít" << false;
        QTest::newRow("import") << "actionImportFiles" << "Import..." << "Import" << false;
        QTest::newRow("border") << "actionBorder" << "Hranice ČR" << "Hranice ČR" << true;
        QTest::newRow("repaint") << "actionRepaint" << "Překreslit" << "Překreslení aktuálního panelu" << false;
    }

    void actionTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        QFETCH(bool, checkable);
        WindowRZ w;
        auto *a = w.findChild<QAction *>(name);
        QVERIFY(a);
        QCOMPARE(a->text(), text);
        QCOMPARE(a->toolTip(), toolTip);
        QCOMPARE(a->isCheckable(), checkable);
        QVERIFY(a->icon().isNull() && a->shortcut().isEmpty() && a->statusTip().isEmpty());
    }

    void closeEndsEventLoop()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTimer::singleShot(100, w.findChild<QAction *>("actionClose"), &QAction::trigger);
        QTimer::singleShot(10000, qApp, [] { QApplication::exit(99); }); // safety net
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!w.isVisible());
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
        ModalDriver driver(chooseFile ? QList<ModalDriver::Handler>{ModalDriver::chooseFiles({tile}),
                                                                   importWith(out, 2, "pushButtonStorno")}
                                      : QList<ModalDriver::Handler>{ModalDriver::rejectDialog()});
        w.findChild<QAction *>("actionImportFiles")->trigger();
        QCOMPARE(driver.seen, dialogs);
        QTest::qWait(100);
        QVERIFY(!conversionDialog(w)->isVisible());
        QVERIFY(!QFileInfo::exists(out));
    }

    void importConverts()
    {
        QTemporaryDir src;
        const QStringList tiles = {src.filePath("N49E014.hgt"), src.filePath("N50E015.hgt")};
        QVERIFY(HgtTileGenerator(150).save(tiles[0]));
        QVERIFY(HgtTileGenerator(1500).save(tiles[1]));
        const QString out = src.filePath("nested/out put");
        const int logBefore = logLines().size();

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ProgressDlg *progress = conversionDialog(w);
        QAction *import = w.findChild<QAction *>("actionImportFiles");
        QStringList listed;
        ModalDriver driver({ModalDriver::chooseFiles(tiles), [&](QWidget *d) {
                                auto *list = d->findChild<QListWidget *>("listWidgetFiles");
                                for (int i = 0; i < list->count(); ++i)
                                    listed << list->item(i)->text();
                                importWith(out, 5, "pushButtonImport")(d);
                            }});
        import->trigger();
        QCOMPARE(listed, tiles);
        // While it runs the command is held back and the dialog follows the run.
        QVERIFY(!import->isEnabled());
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->currentActionText(), QString("Konverze HGT souboru"));

        QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), 30000);
        QTRY_COMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), QString("Dokonceno!"));
        QCOMPARE(QFileInfo(out + "/N49E014.chgt").size(), 8294400);
        QCOMPARE(QFileInfo(out + "/N50E015.chgt").size(), 8294400);
        QCOMPARE(logLines().size(), logBefore + 1);
        QCOMPARE(logLines().last().split('\t').value(1), QString("Konverze HGT souboru"));
    }

    void closeDuringConversion()
    {
        QTemporaryDir src;
        QStringList tiles;
        HgtTileGenerator gen;
        gen.fillRandom(7);
        for (int lon = 10; lon < 30; ++lon) {
            tiles << src.filePath(QString("N49E0%1.hgt").arg(lon));
            QVERIFY(gen.save(tiles.last()));
        }
        const QString out = src.filePath("out");
        auto w = std::make_unique<WindowRZ>();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        ModalDriver driver({ModalDriver::chooseFiles(tiles), importWith(out, 1, "pushButtonImport")});
        w->findChild<QAction *>("actionImportFiles")->trigger();
        QCOMPARE(driver.seen.size(), 2);
        // Close once the first full-density tile is there and more are coming.
        QTRY_VERIFY(!QDir(out).entryList({"*.chgt"}, QDir::Files).isEmpty());
        QElapsedTimer timer;
        timer.start();
        w->close();
        w.reset();
        qInfo("window gone %lld ms after closing", timer.elapsed());

        // The run stopped early and every tile left behind is whole.
        const QFileInfoList left = QDir(out).entryInfoList(QDir::Files | QDir::Hidden);
        QVERIFY(left.size() < tiles.size());
        for (const QFileInfo &fi : left) {
            QVERIFY2(fi.fileName().endsWith(".chgt"), qPrintable(fi.fileName()));
            QCOMPARE(fi.size(), qint64(207360000));
        }
    }
};

RZ_REGISTER_TEST(WindowRZTest);
#include "tst_windowrz.moc"
