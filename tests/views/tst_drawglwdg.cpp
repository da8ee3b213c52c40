#include "TestRegistry.h"
#include "tst_qtdata.h"

#include "DrawGLWdg.h"
#include "ProgressDlg.h"

#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace QtViewTestData;

namespace {

const QColor Red = QColor::fromRgbF(1, 0, 0), Blue = QColor::fromRgbF(0, 0, 1), Green = QColor::fromRgbF(0, 0.5, 0);

// One cell as the converter writes it: two triangles SW-SE-NW, NW-NE-SE.
QVector<float> rectCell(double west, double south, double east, double north, QColor c)
{
    QVector<float> v;
    addTriangle(v, west, south, east, south, west, north, c.redF(), c.greenF(), c.blueF());
    addTriangle(v, west, north, east, north, east, south, c.redF(), c.greenF(), c.blueF());
    return v;
}

// Pixel of a map point at the initial extent on 900 x 300: 0.01 degree a pixel.
QRgb pixelAt(DrawGLWdg *v, double lon, double lat)
{
    return v->grabFramebuffer().pixel(int((lon - 11.0) * 100), int((51.3 - lat) * 100));
}

// The values of the first whole paint the spy saw (ending with 100).
QList<int> firstPaint(const QSignalSpy &spy)
{
    QList<int> values;
    for (int i = 0; i < spy.count() && (values.isEmpty() || values.last() != 100); ++i)
        values << spy.at(i).at(0).toInt();
    return values;
}

// Finds no buffer-object entry point, like a GL 1.1 driver without them.
class DrawGLWdgWithoutBuffers : public DrawGLWdg
{
protected:
    QFunctionPointer lookupGlFunction(const char *name) const override
    {
        return qstrcmp(name, "glBindBuffer") == 0 ? nullptr : DrawGLWdg::lookupGlFunction(name);
    }
};

} // namespace

class TestDrawGLWdg : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<DrawGLWdg> view;

    QString path(const QString &name) const { return dir.filePath(name); }

    // A shown 900 x 300 view: one pixel is 0.01 degree either way.
    DrawGLWdg *showView(DrawGLWdg *v = nullptr)
    {
        view.reset(v ? v : new DrawGLWdg);
        view->resize(900, 300);
        view->show();
        return QTest::qWaitForWindowExposed(view.get()) ? view.get() : nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(writeFloats(path("red.chgt"), rectCell(14.0, 49.0, 15.0, 50.0, Red)));
        QVERIFY(writeFloats(path("blue.chgt"), rectCell(14.5, 49.5, 15.5, 50.5, Blue)));
        QVERIFY(writeFloats(path("partial.chgt"), rectCell(16.0, 49.0, 17.0, 50.0, Green), QByteArray(50, '\x7f')));
        QVERIFY(writeFloats(path("empty.chgt"), {}));
        QVERIFY(QDir(dir.path()).mkpath("folder.chgt"));
        QFile huge(path("huge.chgt")); // sparse: costs no disk
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 31));
    }

    void init() { DrawGLWdg::resetViewExtent(); }
    void cleanup()
    {
        view.reset();
        DrawGLWdg::resetViewExtent();
    }

    void loadsAndDraws_data()
    {
        QTest::addColumn<int>("variant"); // 0 shown view, 1 files opened before showing, 2 no buffer objects
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QVector<int>>("counts");
        QTest::addColumn<QPointF>("probe");
        QTest::addColumn<QColor>("expected");
        const QColor white(Qt::white);
        QTest::newRow("no files") << 0 << QStringList() << QVector<int>() << QPointF(14.5, 49.5) << white;
        QTest::newRow("second triangle drawn") << 0 << QStringList{"red.chgt"} << QVector<int>{6} << QPointF(14.8, 49.8) << Red;
        QTest::newRow("same file twice") << 0 << QStringList{"red.chgt", "red.chgt"} << QVector<int>{6, 6} << QPointF(14.2, 49.2) << Red;
        QTest::newRow("three tiles") << 0 << QStringList{"blue.chgt", "red.chgt", "red.chgt"} << QVector<int>{6, 6, 6} << QPointF(14.7, 49.7) << Red;
        QTest::newRow("four tiles") << 0 << QStringList{"red.chgt", "blue.chgt", "red.chgt", "blue.chgt"} << QVector<int>(4, 6) << QPointF(14.7, 49.7) << Blue;
        QTest::newRow("later covers earlier, unreadable between")
            << 0 << QStringList{"red.chgt", "missing.chgt", "folder.chgt", "blue.chgt"} << QVector<int>{6, 6} << QPointF(14.7, 49.7) << Blue;
        QTest::newRow("partial triangle at the end") << 0 << QStringList{"partial.chgt"} << QVector<int>{6} << QPointF(16.8, 49.8) << Green;
        QTest::newRow("empty tile") << 0 << QStringList{"empty.chgt"} << QVector<int>{0} << QPointF(14.5, 49.5) << white;
        QTest::newRow("2 GiB file skipped") << 0 << QStringList{"huge.chgt", "red.chgt"} << QVector<int>{6} << QPointF(14.5, 49.5) << Red;
        QTest::newRow("opened before shown") << 1 << QStringList{"red.chgt", "missing.chgt"} << QVector<int>{6} << QPointF(14.5, 49.5) << Red;
        QTest::newRow("no buffer objects: background only") << 2 << QStringList{"red.chgt"} << QVector<int>() << QPointF(14.5, 49.5) << white;
    }

    void loadsAndDraws()
    {
        QFETCH(int, variant);
        QFETCH(QStringList, files);
        QFETCH(QVector<int>, counts);
        QFETCH(QPointF, probe);
        QFETCH(QColor, expected);
        QStringList paths;
        for (const QString &f : files)
            paths << path(f);
        if (variant == 2)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("buffer objects"));
        view.reset(variant == 2 ? new DrawGLWdgWithoutBuffers : new DrawGLWdg);
        if (variant == 1) {
            QVERIFY(view->createHeightsGenBuffer(paths));
            QCOMPARE(view->tileCount(), 0);
        }
        QVERIFY(showView(view.release()));
        QCOMPARE(view->hasBufferObjects(), variant != 2);
        if (variant != 1) {
            QSignalSpy painted(view.get(), &DrawGLWdg::sProgress);
            QVERIFY(view->createHeightsGenBuffer(paths));
            // It redraws itself, reporting progress per tile: 0, 25, 50, 75, 100 with four.
            QTRY_VERIFY(!painted.isEmpty() && firstPaint(painted).last() == 100);
            QList<int> progress;
            for (int i = 0; i < counts.size(); ++i)
                progress << i * 100 / int(counts.size());
            QCOMPARE(firstPaint(painted), progress << 100);
        }
        QCOMPARE(view->vertexCounts(), counts);
        const QRgb got = pixelAt(view.get(), probe.x(), probe.y());
        QVERIFY2(sameColor(got, expected), qPrintable(QColor(got).name()));
    }

    // Inside a window whose own background is not white, as in the program.
    void showsOpaqueWhiteBackground()
    {
        QWidget window;
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, QColor(40, 80, 120));
        window.setPalette(pal);
        window.setAutoFillBackground(true);
        window.resize(900, 300);
        auto *v = new DrawGLWdg(&window);
        v->resize(900, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        v->createHeightsGenBuffer({path("red.chgt")});
        // What the window system shows, and what a grab of the window gives.
        auto screen = [&] { return window.screen()->grabWindow(window.winId()).toImage(); };
        QTRY_VERIFY(sameColor(screen().pixel(350, 180), Red));
        for (const QImage &img : {screen(), window.grab().toImage()}) {
            QVERIFY2(sameColor(img.pixel(100, 150), Qt::white), qPrintable(QColor(img.pixel(100, 150)).name()));
            QVERIFY(sameColor(img.pixel(350, 180), Red));
        }
    }

    // A view deletes its buffers in its own context, not in the current one.
    void destroyedViewLeavesOthersWorking()
    {
        QVERIFY(showView());
        view->createHeightsGenBuffer({path("red.chgt")});
        auto *other = new DrawGLWdg;
        other->resize(200, 100);
        other->show();
        QVERIFY(QTest::qWaitForWindowExposed(other));
        other->createHeightsGenBuffer({path("blue.chgt")});
        view->makeCurrent();
        delete other;
        QVERIFY(sameColor(pixelAt(view.get(), 14.5, 49.5), Red));
        QCOMPARE(view->borderVertexCount(), 2835);
    }
};

RZ_REGISTER_TEST(TestDrawGLWdg);
#include "tst_drawglwdg.moc"
