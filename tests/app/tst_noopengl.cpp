#include "TestRegistry.h"
#include "AppWindow.h"

// Runs on a platform without OpenGL (its own ctest entry sets "offscreen"
// without GLX):
// the program starts, the painter view works, the OpenGL page says why it
// shows nothing.
class NoOpenGLTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QVERIFY2(!DrawGLWdg::isOpenGLAvailable(), "this test wants a platform without OpenGL");
    }

    void programStarts()
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
    }

    void painterViewWorks()
    {
        QTemporaryDir dir;
        const QString chgt = constantTile(dir.path(), "N49E014", 150);
        QVERIFY(!chgt.isEmpty());
        DrawQtWdg::resetViewExtent();

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(900, 500);
        auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
        auto *label = qobject_cast<QLabel *>(stack->currentWidget());
        QVERIFY(label && label->text().contains("OpenGL není v tomto systému k dispozici"));
        actionOf(w, "actionRepaint")->trigger(); // nothing to time there
        openByMenu(w, {chgt});
        actionOf(w, "actionShowQtWdg")->trigger();
        auto *view = qobject_cast<DrawQtWdg *>(stack->currentWidget());
        QVERIFY(view);
        QCOMPARE(view->mapContent().gridCount(), 1); // a regular tile, held as its grid
        const QImage img = view->grab().toImage();
        // 14.5° E, 49.5° N in the initial window 11..20° E, 48.3..51.3° N.
        const QPoint p(int(3.5 / 9 * img.width()), int(1.8 / 3 * img.height()));
        QCOMPARE(img.pixel(p) | 0xff000000, qRgb(180, 220, 172));
    }
};

RZ_REGISTER_NAMED_TEST(NoOpenGLTest);
#include "tst_noopengl.moc"
