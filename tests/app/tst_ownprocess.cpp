#include "TestRegistry.h"
#include "AppWindow.h"

// On a platform without OpenGL (its own ctest entry: "offscreen" without
// GLX) the program starts, the painter view works, the OpenGL page says why
// it shows nothing.
class NoOpenGLTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QVERIFY2(!DrawGLWdg::isOpenGLAvailable(), "this test wants a platform without OpenGL");
    }

    void programStartsAndPaints()
    {
        QProcess rzmap;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_QPA_OFFSCREEN_NO_GLX", "1"); // under Xvfb it would find GLX
        rzmap.setProcessEnvironment(env);
        rzmap.start(RZMAP_PATH, {});
        QVERIFY(rzmap.waitForStarted());
        QVERIFY2(!rzmap.waitForFinished(3000), qPrintable(rzmap.readAllStandardError()));
        rzmap.kill();
        rzmap.waitForFinished();

        QTemporaryDir dir;
        const QString chgt = constantTile(dir.path(), "N49E014", 150);
        QVERIFY(!chgt.isEmpty());
        DrawQtWdg::resetViewExtent();

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(900, 500);
        auto *label = qobject_cast<QLabel *>(w.findChild<QStackedWidget *>("stackedWidget")->currentWidget());
        QVERIFY(label && label->text().contains("OpenGL není v tomto systému k dispozici"));
        actionOf(w, "actionRepaint")->trigger(); // nothing to time there
        openByMenu(w, {chgt});
        QWidget *view = showPage(w, 0);
        QVERIFY(view);
        const QImage img = pictureOf(view);
        QCOMPARE(img.pixel(pixelAt(img.size(), degreesOf(0), 14.5, 49.5)) | 0xff000000, qRgb(180, 220, 172));
    }
};

RZ_REGISTER_NAMED_TEST(NoOpenGLTest);

// The state a program starts in, in a process of its own (its own ctest
// entry) so no other test has moved the shared view windows before.
class FreshStartTest : public QObject
{
    Q_OBJECT

private slots:
    void startsOnTheWholeCountry()
    {
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QCOMPARE(DrawQtWdg::viewExtent(), (ViewExtent{1100.0f, 2000.0f, 4830.0f, 5130.0f}));
        QCOMPARE(DrawGLWdg::viewExtent(), (ViewExtent{11.0f, 20.0f, 48.3f, 51.3f}));

        QTemporaryDir dir;
        const QString chgt = constantTile(dir.path(), "N49E014", 150);
        QVERIFY(!chgt.isEmpty());
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        openByMenu(w, {chgt});
        // The tile covers 14..15° E, 49..50° N of the 11..20° E, 48.3..51.3° N
        // window, stretched over each view.
        for (int page : {0, 1}) {
            QWidget *view = viewOf(w, page);
            view->resize(900, 300);
            const QImage img = pictureOf(view);
            QCOMPARE(img.pixel(310, 140) | 0xff000000, qRgb(180, 220, 172));
            QCOMPARE(img.pixel(390, 210) | 0xff000000, qRgb(180, 220, 172));
            QVERIFY((img.pixel(290, 140) | 0xff000000) != qRgb(180, 220, 172));
            QVERIFY((img.pixel(310, 125) | 0xff000000) != qRgb(180, 220, 172));
        }
    }
};

RZ_REGISTER_NAMED_TEST(FreshStartTest);
#include "tst_ownprocess.moc"
