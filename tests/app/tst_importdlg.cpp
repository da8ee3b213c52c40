#include "ImportDlg.h"
#include "ModalDriver.h"
#include "TestRegistry.h"

static const QStringList files{"/data/N50E016.hgt", "/data/N48E012.hgt", "/other/N49E014.hgt"};
static const QString defaultDir = QDir::homePath() + "/RZOutput";

class TestImportDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void closeWithOrWithoutImport_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("imports");
        QTest::addColumn<int>("q");
        QTest::addColumn<QString>("dir");
        QTest::newRow("defaults") << "Import" << true << 2 << defaultDir;
        QTest::newRow("max end") << "max" << true << 1 << defaultDir;
        QTest::newRow("min end") << "min" << true << 5 << defaultDir;
        QTest::newRow("browse cancelled") << "browse" << true << 2 << defaultDir;
        QTest::newRow("browsed") << "browse" << true << 2 << QDir::tempPath();
        QTest::newRow("typed") << "type" << true << 2 << "  out b/../chgt/  ";
        QTest::newRow("Escape") << "Escape" << false << 2 << defaultDir;
        QTest::newRow("close button") << "close" << false << 2 << defaultDir;
    }

    void closeWithOrWithoutImport()
    {
        QFETCH(QString, action);
        QFETCH(bool, imports);
        QFETCH(int, q);
        QFETCH(QString, dir);
        ImportDlg dlg(files);
        auto *list = dlg.findChild<QListWidget *>("listWidgetFiles");
        auto *slider = dlg.findChild<QSlider *>("horizontalSliderQuantity");
        auto *edit = dlg.findChild<QLineEdit *>("lineEditDirPath");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(2)->text(), files[2]);

        QString chooser;
        ModalDriver driver({[&](QWidget *) {
            for (int i = 0; i < 4 && (action == "max" || action == "min"); ++i)
                QTest::mouseClick(slider, Qt::LeftButton, {},
                                  QPoint(action == "max" ? slider->width() - 1 : 0, slider->height() / 2));
            if (action == "browse")
                QTest::mouseClick(dlg.findChild<QPushButton *>("pushButtonBrowse"), Qt::LeftButton);
            if (action == "type") {
                edit->clear();
                QTest::keyClicks(edit, dir);
            }
            if (action == "Escape")
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &dlg, Qt::Key_Escape);
            else if (action == "close")
                dlg.windowHandle()->close();
            else
                QTest::mouseClick(dlg.findChild<QPushButton *>("pushButtonImport"), Qt::LeftButton);
        }, [&](QWidget *w) {
            chooser = w->windowTitle() + ' ' + qobject_cast<QFileDialog *>(w)->directory().absolutePath();
            (dir == defaultDir ? ModalDriver::rejectDialog() : ModalDriver::chooseFiles({dir}))(w);
        }});
        dlg.exec();
        if (action == "browse")
            QCOMPARE(chooser, "Vyberte adresář " + QDir::rootPath());

        QCOMPARE(dlg.importRequested, imports);
        QStringList srcS;
        QString dstA;
        int quantity = 0;
        dlg.getParams(srcS, dstA, quantity);
        QCOMPARE(srcS, files);
        QCOMPARE(dstA, dir);
        QCOMPARE(quantity, q);
    }
};

RZ_REGISTER_TEST(TestImportDlg);

#include "tst_importdlg.moc"
