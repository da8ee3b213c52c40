#include "ImportDlg.h"
#include "TestRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

#include <functional>

namespace {

// Runs `act` on the modal widget as soon as one is up (called before the
// code that opens it with exec()).
void whenModal(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, act] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
            // A failed check inside `act` must not leave exec() waiting.
            if (QApplication::activeModalWidget() == modal && modal->isVisible())
                modal->close();
        } else if (++*tries > 500) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start();
}

template<typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

// Drags the slider's handle to one end of its groove.
void dragHandleTo(QSlider *slider, bool rightEnd)
{
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.upsideDown = slider->invertedAppearance() != (slider->layoutDirection() == Qt::RightToLeft);
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &opt,
                                                         QStyle::SC_SliderHandle, slider);
    const QPoint from = handle.center();
    const QPoint to(rightEnd ? slider->width() - 1 : 0, from.y());
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= 10; ++i)
        QTest::mouseMove(slider, from + (to - from) * i / 10);
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, to);
}

// Types text key by key, including characters Qt Test's ASCII key table
// does not know.
void typeText(QWidget *w, const QString &text)
{
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

const QString defaultDir() { return QDir::homePath() + QStringLiteral("/RZOutput"); }

} // namespace

class TestImportDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void opensWithFilesDefaultsAndTexts_data();
    void opensWithFilesDefaultsAndTexts();
    void importHandsBackParameters_data();
    void importHandsBackParameters();
    void typedDirectoryIsReturnedExactly_data();
    void typedDirectoryIsReturnedExactly();
    void closingWithoutImportRequestsNothing_data();
    void closingWithoutImportRequestsNothing();
    void browseForDirectory_data();
    void browseForDirectory();
};

void TestImportDlg::initTestCase()
{
    // The Qt file dialog can be found and driven; a native one could not.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestImportDlg::opensWithFilesDefaultsAndTexts_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::newRow("one file") << QStringList{"/data/N49E014.hgt"};
    QTest::newRow("dialog order kept")
            << QStringList{"/data/N50E016.hgt", "/data/N48E012.hgt", "/other/dir/N49E014.hgt"};
}

void TestImportDlg::opensWithFilesDefaultsAndTexts()
{
    QFETCH(QStringList, files);
    ImportDlg dlg(files);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    auto *list = child<QListWidget>(&dlg, "listWidgetFiles");
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    QCOMPARE(shown, files);
    QCOMPARE(child<QLineEdit>(&dlg, "lineEditDirPath")->text(), defaultDir());
    auto *slider = child<QSlider>(&dlg, "horizontalSliderQuantity");
    QCOMPARE(slider->value(), 2);
    QVERIFY(!dlg.importRequested);

    QCOMPARE(dlg.windowTitle(), QStringLiteral("Import"));
    QCOMPARE(dlg.size(), QSize(350, 330));
    QCOMPARE(child<QPushButton>(&dlg, "pushButtonBrowse")->text(), QStringLiteral("Procházet..."));
    QCOMPARE(child<QPushButton>(&dlg, "pushButtonImport")->text(), QStringLiteral("Import"));
    QCOMPARE(child<QPushButton>(&dlg, "pushButtonStorno")->text(), QStringLiteral("Storno"));

    // "min" stands left of the slider, "max" right of it; the value 2 is
    // one step from the "max" end.
    auto *minLabel = child<QLabel>(&dlg, "label");
    auto *maxLabel = child<QLabel>(&dlg, "label_2");
    QCOMPARE(minLabel->text(), QStringLiteral("min"));
    QCOMPARE(maxLabel->text(), QStringLiteral("max"));
    QVERIFY(minLabel->x() < slider->x() && slider->x() < maxLabel->x());

    QVERIFY(Qt::mightBeRichText(slider->toolTip()));
    QTextDocument tip;
    tip.setHtml(slider->toolTip());
    QCOMPARE(tip.toPlainText(),
             QStringLiteral("max – využití všech výšek\nmin – každé páté\n"
                            "(pro zobrazení celé ČR postačuje min)"));
}

void TestImportDlg::importHandsBackParameters_data()
{
    QTest::addColumn<int>("drag"); // 0 none, 1 to the right end, -1 to the left end
    QTest::addColumn<int>("expectedQ");
    QTest::newRow("untouched") << 0 << 2;
    QTest::newRow("max end") << 1 << 1;
    QTest::newRow("min end") << -1 << 5;
}

void TestImportDlg::importHandsBackParameters()
{
    QFETCH(int, drag);
    QFETCH(int, expectedQ);
    const QStringList files{"/data/N50E016.hgt", "/data/N48E012.hgt"};
    ImportDlg dlg(files);

    whenModal([&](QWidget *modal) {
        QCOMPARE(modal, &dlg);
        if (drag != 0)
            dragHandleTo(child<QSlider>(modal, "horizontalSliderQuantity"), drag > 0);
        QTest::mouseClick(child<QPushButton>(modal, "pushButtonImport"), Qt::LeftButton);
    });
    dlg.exec();

    QVERIFY(!dlg.isVisible());
    QVERIFY(dlg.importRequested);
    QStringList srcS;
    QString dstA;
    int q = 0;
    dlg.getParams(srcS, dstA, q);
    QCOMPARE(srcS, files);
    QCOMPARE(dstA, defaultDir());
    QCOMPARE(q, expectedQ);
    QVERIFY(!dlg.importRequested);
}

void TestImportDlg::typedDirectoryIsReturnedExactly_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("absolute") << "/tmp/výstup/tiles";
    QTest::newRow("spaces kept") << "  /tmp/with space  ";
    QTest::newRow("relative") << "out/chgt";
    QTest::newRow("empty") << "";
}

void TestImportDlg::typedDirectoryIsReturnedExactly()
{
    QFETCH(QString, typed);
    ImportDlg dlg({"/data/N49E014.hgt"});

    whenModal([&](QWidget *modal) {
        auto *edit = child<QLineEdit>(modal, "lineEditDirPath");
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        typeText(edit, typed);
        QTest::mouseClick(child<QPushButton>(modal, "pushButtonImport"), Qt::LeftButton);
    });
    dlg.exec();

    QVERIFY(dlg.importRequested);
    QStringList srcS;
    QString dstA = "unchanged";
    int q = 0;
    dlg.getParams(srcS, dstA, q);
    QCOMPARE(dstA, typed);
}

void TestImportDlg::closingWithoutImportRequestsNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Storno") << "storno";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close button") << "window";
}

void TestImportDlg::closingWithoutImportRequestsNothing()
{
    QFETCH(QString, how);
    ImportDlg dlg({"/data/N49E014.hgt"});

    whenModal([&](QWidget *modal) {
        if (how == "storno") {
            QTest::mouseClick(child<QPushButton>(modal, "pushButtonStorno"), Qt::LeftButton);
        } else if (how == "escape") {
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : modal;
            QTest::keyClick(target, Qt::Key_Escape);
        } else {
            // What the window manager's close button does.
            modal->windowHandle()->close();
        }
    });
    dlg.exec();

    QVERIFY(!dlg.isVisible());
    QVERIFY(!dlg.importRequested);
}

void TestImportDlg::browseForDirectory_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("cancelled") << false;
    QTest::newRow("directory chosen") << true;
}

void TestImportDlg::browseForDirectory()
{
    QFETCH(bool, accept);
    QTemporaryDir target;
    QVERIFY(target.isValid());

    ImportDlg dlg({"/data/N49E014.hgt"});
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *edit = child<QLineEdit>(&dlg, "lineEditDirPath");
    edit->setText("/typed/before");

    QString caption;
    QString startDir;
    whenModal([&](QWidget *modal) {
        auto *chooser = qobject_cast<QFileDialog *>(modal);
        QVERIFY(chooser);
        caption = chooser->windowTitle();
        startDir = chooser->directory().absolutePath();
        if (accept) {
            chooser->setDirectory(target.path());
            static_cast<QDialog *>(chooser)->accept();
        } else {
            chooser->reject();
        }
    });
    QTest::mouseClick(child<QPushButton>(&dlg, "pushButtonBrowse"), Qt::LeftButton);

    QCOMPARE(caption, QStringLiteral("Vyberte adresář"));
    QCOMPARE(startDir, QDir::rootPath());
    QCOMPARE(edit->text(), accept ? target.path() : QStringLiteral("/typed/before"));
    QVERIFY(dlg.isVisible());
    QVERIFY(!dlg.importRequested);
}

RZ_REGISTER_TEST(TestImportDlg);

#include "tst_importdlg.moc"
