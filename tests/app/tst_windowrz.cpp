#include "TestRegistry.h"
#include "ModalDriver.h"

#include "HgtTileGenerator.h"
#include "ProgressDlg.h"
#include "WindowRZ.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
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

    void formStructure()
    {
        WindowRZ w;
        QCOMPARE(w.windowTitle(), QString("WindowRZ"));
        auto *soubor = w.findChild<QMenu *>("menuSoubor");
        auto *zobrazit = w.findChild<QMenu *>("menuZobrazit");
        QCOMPARE(w.menuBar()->actions(), QList<QAction *>({soubor->menuAction(), zobrazit->menuAction()}));
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

        // Texts and tool tips; without one of its own an action shows its text less "...".
        const QStringList expected = {
            "actionShowQtWdg|Zobraz Qt|Zobrazí panel Qt-kreslení|1",
            "actionShowGLWdg|Zobraz OpenGL|Zobrazí panel OpenGL-kreslení|1",
            "actionClose|Zavřít|Zavře okno programu|0",
            "actionOpenFiles|Otevřít...|Otevřít|0",
            "actionImportFiles|Import...|Import|0",
            "actionBorder|Hranice ČR|Hranice ČR|1",
            "actionRepaint|Překreslit|Překreslení aktuálního panelu|0",
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
        QTimer::singleShot(10000, qApp, [] { QApplication::exit(99); }); // safety net
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
        ModalDriver driver(chooseFile ? QList<ModalDriver::Handler>{ModalDriver::chooseFiles({tile}),
                                                                   ModalDriver::answerImport(out, 2, "pushButtonStorno")}
                                      : QList<ModalDriver::Handler>{ModalDriver::rejectDialog()});
        w.findChild<QAction *>("actionImportFiles")->trigger();
        QCOMPARE(driver.seen, dialogs);
        QTest::qWait(100);
        QVERIFY(!w.findChild<ProgressDlg *>(QString(), Qt::FindDirectChildrenOnly)->isVisible());
        QVERIFY(!QFileInfo::exists(out));
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
        ModalDriver driver({ModalDriver::chooseFiles(tiles), ModalDriver::answerImport(out, 1, "pushButtonImport")});
        w->findChild<QAction *>("actionImportFiles")->trigger();
        // Close once the first full-density tile is there and more are coming.
        QTRY_VERIFY(!QDir(out).entryList({"*.chgt"}, QDir::Files).isEmpty());
        w->close();
        w.reset();

        // The run stopped early and every tile left behind is whole.
        const QFileInfoList left = QDir(out).entryInfoList(QDir::Files | QDir::Hidden);
        QVERIFY(left.size() < tiles.size());
        for (const QFileInfo &fi : left)
            QCOMPARE(fi.size(), qint64(207360000));
    }
};

RZ_REGISTER_TEST(WindowRZTest);
#include "tst_windowrz.moc"
