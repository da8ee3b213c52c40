#include "ImportDlg.h"
#include "ModalDriver.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QWindow>

namespace {

const QStringList files{"/data/N50E016.hgt", "/data/N48E012.hgt", "/other/N49E014.hgt"};
const QString defaultDir = QDir::homePath() + "/RZOutput";

} // namespace

class TestImportDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void initialState()
    {
        ImportDlg dlg(files);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto *list = dlg.findChild<QListWidget *>("listWidgetFiles");
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        QCOMPARE(shown, files);
        QCOMPARE(dlg.findChild<QLineEdit *>("lineEditDirPath")->text(), defaultDir);
        auto *slider = dlg.findChild<QSlider *>("horizontalSliderQuantity");
        QCOMPARE(slider->value(), 2);
        QVERIFY(!dlg.importRequested);
        QCOMPARE(dlg.windowTitle(), QString("Import"));
        QCOMPARE(dlg.size(), QSize(350, 330));
        QCOMPARE(dlg.findChild<QPushButton *>("pushButtonBrowse")->text(), QString("Procházet..."));
        QCOMPARE(dlg.findChild<QPushButton *>("pushButtonImport")->text(), QString("Import"));
        QCOMPARE(dlg.findChild<QPushButton *>("pushButtonStorno")->text(), QString("Storno"));
        auto *minLabel = dlg.findChild<QLabel *>("label");
        auto *maxLabel = dlg.findChild<QLabel *>("label_2");
        QCOMPARE(minLabel->text() + maxLabel->text(), QString("minmax"));
        QVERIFY(minLabel->x() < slider->x() && slider->x() < maxLabel->x());
        QTextDocument tip;
        tip.setHtml(slider->toolTip());
        QCOMPARE(tip.toPlainText(), QString("max – využití všech výšek\nmin – každé páté\n"
                                            "(pro zobrazení celé ČR postačuje min)"));
    }

    // "Import" hands back the files, the directory text as typed and the
    // quantity; the right ("max") end of the slider is 1, the left end 5.
    void importHandsBackParameters_data()
    {
        QTest::addColumn<int>("sliderEnd"); // 0 untouched, 1 right, -1 left
        QTest::addColumn<QString>("typed"); // null: left as it is
        QTest::addColumn<int>("expectedQ");
        QTest::newRow("defaults") << 0 << QString() << 2;
        QTest::newRow("max end") << 1 << QString() << 1;
        QTest::newRow("min end") << -1 << QString() << 5;
        QTest::newRow("typed, kept as is") << 0 << "  out b/../chgt/  " << 2;
    }

    void importHandsBackParameters()
    {
        QFETCH(int, sliderEnd);
        QFETCH(QString, typed);
        QFETCH(int, expectedQ);
        ImportDlg dlg(files);
        ModalDriver driver({[&](QWidget *) {
            auto *slider = dlg.findChild<QSlider *>("horizontalSliderQuantity");
            const QPoint end(sliderEnd > 0 ? slider->width() - 1 : 0, slider->height() / 2);
            for (int i = 0; sliderEnd != 0 && i < 4; ++i)
                QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, end);
            if (!typed.isNull()) {
                auto *edit = dlg.findChild<QLineEdit *>("lineEditDirPath");
                edit->clear();
                QTest::keyClicks(edit, typed);
            }
            QTest::mouseClick(dlg.findChild<QPushButton *>("pushButtonImport"), Qt::LeftButton);
        }});
        dlg.exec();

        QVERIFY(dlg.importRequested);
        QStringList srcS;
        QString dstA;
        int q = 0;
        dlg.getParams(srcS, dstA, q);
        QCOMPARE(srcS, files);
        QCOMPARE(dstA, typed.isNull() ? defaultDir : typed);
        QCOMPARE(q, expectedQ);
    }

    void closingWithoutImportRequestsNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Storno") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close button") << 2;
    }

    void closingWithoutImportRequestsNothing()
    {
        QFETCH(int, how);
        ImportDlg dlg(files);
        ModalDriver driver({[&](QWidget *) {
            if (how == 0)
                QTest::mouseClick(dlg.findChild<QPushButton *>("pushButtonStorno"), Qt::LeftButton);
            else if (how == 1)
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &dlg, Qt::Key_Escape);
            else
                dlg.windowHandle()->close();
        }});
        dlg.exec();
        QVERIFY(!dlg.isVisible());
        QVERIFY(!dlg.importRequested);
    }

    void browseForDirectory_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("cancelled") << false;
        QTest::newRow("chosen") << true;
    }

    void browseForDirectory()
    {
        QFETCH(bool, accept);
        QTemporaryDir target;
        ImportDlg dlg(files);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.findChild<QLineEdit *>("lineEditDirPath")->setText("/typed/before");
        QString caption, startDir;
        ModalDriver driver({[&](QWidget *w) {
            auto *chooser = qobject_cast<QFileDialog *>(w);
            if (!chooser)
                return static_cast<void>(w->close());
            caption = chooser->windowTitle();
            startDir = chooser->directory().absolutePath();
            chooser->setDirectory(target.path());
            accept ? static_cast<QDialog *>(chooser)->accept() : chooser->reject();
        }});
        QTest::mouseClick(dlg.findChild<QPushButton *>("pushButtonBrowse"), Qt::LeftButton);

        QCOMPARE(driver.seen, QStringList{"QFileDialog"});
        QCOMPARE(caption, QString("Vyberte adresář"));
        QCOMPARE(startDir, QDir::rootPath());
        QCOMPARE(dlg.findChild<QLineEdit *>("lineEditDirPath")->text(), accept ? target.path() : "/typed/before");
        QVERIFY(!dlg.importRequested);
    }
};

RZ_REGISTER_TEST(TestImportDlg);

#include "tst_importdlg.moc"
