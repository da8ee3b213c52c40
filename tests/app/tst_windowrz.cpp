#include "TestRegistry.h"
#include "ModalDriver.h"

#include "HgtTileGenerator.h"
#include "ProgressDlg.h"
#include "WindowRZ.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

QString actionName(QAction *a)
{
    return a->isSeparator() ? QStringLiteral("|") : a->objectName();
}

QStringList names(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        out << actionName(a);
    return out;
}

ModalDriver::Handler chooseFiles(const QStringList &paths)
{
    return [paths](QWidget *w) {
        auto *fd = qobject_cast<QFileDialog *>(w);
        QVERIFY(fd);
        fd->setDirectory(QFileInfo(paths.first()).absolutePath());
        QStringList quoted;
        for (const QString &p : paths)
            quoted << QLatin1Char('"') + QFileInfo(p).fileName() + QLatin1Char('"');
        // Typed names do not wait for the dialog's directory model to load.
        auto *edit = fd->findChild<QLineEdit *>("fileNameEdit");
        QVERIFY(edit);
        edit->clear();
        QTest::keyClicks(edit, quoted.join(QLatin1Char(' ')));
        static_cast<QDialog *>(fd)->accept(); // protected in QFileDialog
    };
}

ModalDriver::Handler rejectDialog()
{
    return [](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); };
}

ProgressDlg *conversionDialog(WindowRZ *w)
{
    // The window's own dialog is its direct child; the views own the others.
    const auto dialogs = w->findChildren<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly);
    return dialogs.size() == 1 ? dialogs.first() : nullptr;
}

int lineCount(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    return f.readAll().count('\n');
}

} // namespace

class WindowRZTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }

    void startState()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *qt = w.findChild<QAction *>("actionShowQtWdg");
        auto *gl = w.findChild<QAction *>("actionShowGLWdg");
        auto *border = w.findChild<QAction *>("actionBorder");
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        QVERIFY(qt && gl && border && stack);
        QVERIFY(gl->isChecked());
        QVERIFY(border->isChecked());
        QVERIFY(!qt->isChecked());
        QCOMPARE(w.statusBar()->currentMessage(), QString("Zobrazeno kreslení pomocí OpenGL"));
        QCOMPARE(stack->count(), 2);
        QCOMPARE(stack->currentIndex(), 1);
        QCOMPARE(stack->currentWidget()->metaObject()->className(), "DrawGLWdg");
        QCOMPARE(stack->widget(0)->metaObject()->className(), "DrawQtWdg");
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        QCOMPARE(stack->cursor().shape(), Qt::OpenHandCursor);
        QVERIFY(conversionDialog(&w));
        QVERIFY(!conversionDialog(&w)->isVisible());
        QCOMPARE(conversionDialog(&w)->currentActionText(), QString("Window RZ"));
    }

    void switching()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *bar = w.findChild<QToolBar *>("mainToolBar");
        auto *qt = w.findChild<QAction *>("actionShowQtWdg");
        auto *gl = w.findChild<QAction *>("actionShowGLWdg");
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        QWidget *qtButton = bar->widgetForAction(qt);
        QWidget *glButton = bar->widgetForAction(gl);
        QVERIFY(qtButton && glButton);

        QTest::mouseClick(qtButton, Qt::LeftButton);
        QCOMPARE(w.statusBar()->currentMessage(), QString("Zobrazeno kreslení pomocí Qt"));
        QCOMPARE(stack->currentIndex(), 0);
        QVERIFY(qt->isChecked() && !gl->isChecked());

        // Choosing the checked view again shows its message again.
        w.statusBar()->clearMessage();
        QTest::mouseClick(qtButton, Qt::LeftButton);
        QCOMPARE(w.statusBar()->currentMessage(), QString("Zobrazeno kreslení pomocí Qt"));
        QCOMPARE(stack->currentIndex(), 0);
        QVERIFY(qt->isChecked() && !gl->isChecked());

        QTest::mouseClick(glButton, Qt::LeftButton);
        QCOMPARE(w.statusBar()->currentMessage(), QString("Zobrazeno kreslení pomocí OpenGL"));
        QCOMPARE(stack->currentIndex(), 1);
        QVERIFY(gl->isChecked() && !qt->isChecked());

        w.statusBar()->clearMessage();
        gl->trigger();
        QCOMPARE(w.statusBar()->currentMessage(), QString("Zobrazeno kreslení pomocí OpenGL"));
        QVERIFY(gl->isChecked() && !qt->isChecked());
    }

    void formStructure()
    {
        WindowRZ w;
        QCOMPARE(w.windowTitle(), QString("WindowRZ"));
        QCOMPARE(w.objectName(), QString("WindowRZ"));
        auto *menuBar = w.findChild<QMenuBar *>("menuBar");
        auto *soubor = w.findChild<QMenu *>("menuSoubor");
        auto *zobrazit = w.findChild<QMenu *>("menuZobrazit");
        auto *toolBar = w.findChild<QToolBar *>("mainToolBar");
        QVERIFY(menuBar && soubor && zobrazit && toolBar);
        QCOMPARE(w.menuBar(), menuBar);
        QCOMPARE(w.toolBarArea(toolBar), Qt::TopToolBarArea);
        QCOMPARE(menuBar->actions().size(), 2);
        QCOMPARE(menuBar->actions().at(0)->menu(), soubor);
        QCOMPARE(menuBar->actions().at(1)->menu(), zobrazit);
        QCOMPARE(soubor->title(), QString("Soubor"));
        QCOMPARE(zobrazit->title(), QString("Zobrazit"));
        QCOMPARE(names(soubor->actions()),
                 QStringList({"actionOpenFiles", "actionImportFiles", "|", "actionClose"}));
        QCOMPARE(names(zobrazit->actions()),
                 QStringList({"actionBorder", "|", "actionShowQtWdg", "actionShowGLWdg", "|"}));
        QCOMPARE(names(toolBar->actions()),
                 QStringList({"actionShowQtWdg", "actionShowGLWdg", "|", "actionBorder", "|",
                              "actionRepaint"}));

        auto *central = w.centralWidget();
        QCOMPARE(central->objectName(), QString("centralWidget"));
        auto *layout = central->layout();
        QCOMPARE(layout->objectName(), QString("verticalLayout"));
        QCOMPARE(layout->spacing(), 6);
        QCOMPARE(layout->contentsMargins(), QMargins(11, 11, 11, 11));
        QCOMPARE(layout->count(), 1);
        QCOMPARE(layout->itemAt(0)->widget()->objectName(), QString("stackedWidget"));
        QVERIFY(w.findChild<QStatusBar *>("statusBar"));
    }

    void actionTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<bool>("checked");
        // An action without a tool tip of its own shows its text, less "...".
        QTest::newRow("qt") << "actionShowQtWdg" << "Zobraz Qt" << "Zobrazí panel Qt-kreslení" << true << false;
        QTest::newRow("gl") << "actionShowGLWdg" << "Zobraz OpenGL" << "Zobrazí panel OpenGL-kreslení" << true << true;
        QTest::newRow("close") << "actionClose" << "Zavřít" << "Zavře okno programu" << false << false;
        QTest::newRow("open") << "actionOpenFiles" << "Otevřít..." << "Otevřít" << false << false;
        QTest::newRow("import") << "actionImportFiles" << "Import..." << "Import" << false << false;
        QTest::newRow("border") << "actionBorder" << "Hranice ČR" << "Hranice ČR" << true << true;
        QTest::newRow("repaint") << "actionRepaint" << "Překreslit" << "Překreslení aktuálního panelu" << false << false;
    }

    void actionTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        QFETCH(bool, checkable);
        QFETCH(bool, checked);
        WindowRZ w;
        auto *a = w.findChild<QAction *>(name);
        QVERIFY(a);
        QCOMPARE(a->text(), text);
        QCOMPARE(a->toolTip(), toolTip);
        QCOMPARE(a->isCheckable(), checkable);
        QCOMPARE(a->isChecked(), checked);
        QVERIFY(a->icon().isNull());
        QVERIFY(a->shortcut().isEmpty());
        QVERIFY(a->statusTip().isEmpty());
    }

    void closeEndsEventLoop()
    {
        auto w = std::make_unique<WindowRZ>();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto *close = w->findChild<QAction *>("actionClose");
        QTimer::singleShot(100, close, &QAction::trigger);
        QTimer::singleShot(10000, qApp, [] { QApplication::exit(99); }); // safety net
        const int result = QApplication::exec();
        QCOMPARE(result, 0);
        QVERIFY(!w->isVisible());
    }

    void importCancelledFileDialog()
    {
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ModalDriver driver({rejectDialog()});
        w.findChild<QAction *>("actionImportFiles")->trigger();
        QCOMPARE(driver.seen, QStringList({"QFileDialog"}));
        QVERIFY(!conversionDialog(&w)->isVisible());
    }

    void importStorno()
    {
        QTemporaryDir src;
        const QString tile = src.filePath("N49E014.hgt");
        QVERIFY(HgtTileGenerator(300).save(tile));
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString out = src.filePath("out");
        ModalDriver driver({chooseFiles({tile}), [out](QWidget *d) {
                                auto *edit = d->findChild<QLineEdit *>("lineEditDirPath");
                                edit->setText(out);
                                QTest::mouseClick(d->findChild<QPushButton *>("pushButtonStorno"),
                                                  Qt::LeftButton);
                            }});
        w.findChild<QAction *>("actionImportFiles")->trigger();
        QCOMPARE(driver.seen, QStringList({"QFileDialog", "ImportDlg"}));
        QVERIFY(!conversionDialog(&w)->isVisible());
        QTest::qWait(200);
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY(w.findChild<QAction *>("actionImportFiles")->isEnabled());
    }

    void importConverts()
    {
        QTemporaryDir src;
        const QStringList tiles = {src.filePath("N49E014.hgt"), src.filePath("N50E015.hgt")};
        QVERIFY(HgtTileGenerator(150).save(tiles[0]));
        QVERIFY(HgtTileGenerator(1500).save(tiles[1]));
        const QString out = src.filePath("nested/out put");
        const int logBefore = lineCount("log.txt");

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ProgressDlg *progress = conversionDialog(&w);
        QAction *import = w.findChild<QAction *>("actionImportFiles");
        QStringList listed;
        ModalDriver driver({chooseFiles(tiles), [&](QWidget *d) {
                                auto *list = d->findChild<QListWidget *>("listWidgetFiles");
                                for (int i = 0; i < list->count(); ++i)
                                    listed << list->item(i)->text();
                                auto *edit = d->findChild<QLineEdit *>("lineEditDirPath");
                                edit->clear();
                                QTest::keyClicks(edit, out);
                                d->findChild<QSlider *>("horizontalSliderQuantity")->setValue(5);
                                QTest::mouseClick(d->findChild<QPushButton *>("pushButtonImport"),
                                                  Qt::LeftButton);
                            }});
        import->trigger();
        QCOMPARE(driver.seen, QStringList({"QFileDialog", "ImportDlg"}));
        QCOMPARE(listed, tiles);
        // Running: the command is held back and the dialog follows the run.
        QVERIFY(!import->isEnabled());
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->currentActionText(), QString("Konverze HGT souboru"));

        QTRY_VERIFY_WITH_TIMEOUT(import->isEnabled(), 30000);
        QTRY_COMPARE(progress->findChild<QLabel *>("labelCompleted")->text(), QString("Dokonceno!"));
        QCOMPARE(QFileInfo(out + "/N49E014.chgt").size(), 8294400);
        QCOMPARE(QFileInfo(out + "/N50E015.chgt").size(), 8294400);
        QCOMPARE(lineCount("log.txt"), logBefore + 1);
        QFile log("log.txt");
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.last().split('\t').value(1), QString("Konverze HGT souboru"));
    }

    void closeDuringConversion()
    {
        QTemporaryDir src;
        QStringList tiles;
        HgtTileGenerator gen;
        gen.fillRandom(7);
        for (int lon = 10; lon < 18; ++lon) {
            tiles << src.filePath(QString("N49E0%1.hgt").arg(lon));
            QVERIFY(gen.save(tiles.last()));
        }
        const QString out = src.filePath("out");
        auto w = std::make_unique<WindowRZ>();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        ModalDriver driver({chooseFiles(tiles), [&](QWidget *d) {
                                d->findChild<QLineEdit *>("lineEditDirPath")->setText(out);
                                d->findChild<QSlider *>("horizontalSliderQuantity")->setValue(1);
                                QTest::mouseClick(d->findChild<QPushButton *>("pushButtonImport"),
                                                  Qt::LeftButton);
                            }});
        w->findChild<QAction *>("actionImportFiles")->trigger();
        QCOMPARE(driver.seen, QStringList({"QFileDialog", "ImportDlg"}));
        // Close while the first full-density tiles are being written.
        QTest::qWait(300);
        QElapsedTimer timer;
        timer.start();
        w->close();
        w.reset();
        const qint64 closedMs = timer.elapsed();

        // Every tile left behind is whole; the run did not go on to the end.
        const QFileInfoList left = QDir(out).entryInfoList(QDir::Files | QDir::Hidden);
        QVERIFY2(left.size() < tiles.size(), qPrintable(QString::number(left.size())));
        for (const QFileInfo &fi : left) {
            QVERIFY2(fi.fileName().endsWith(".chgt"), qPrintable(fi.fileName()));
            QCOMPARE(fi.size(), qint64(207360000));
        }
        qInfo("window closed %lld ms after the request, %lld tiles left", closedMs,
              qint64(left.size()));
    }
};

RZ_REGISTER_TEST(WindowRZTest);
#include "tst_windowrz.moc"
