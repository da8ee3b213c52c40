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
#include "tst_noopengl.moc"
