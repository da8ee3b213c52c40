#include "TestRegistry.h"
#include "ViewTesting.h"
#include "Waits.h"

#include "OpenTiles.h"
#include "ProgressDlg.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QtTest>

#include <memory>

// q, holes, size, step (30 sizes unless null), extent, levels drawn (0: not in sight)
using Scene = std::tuple<int, bool, QSize, QSize, ViewExtent, QVector<int>>;
Q_DECLARE_METATYPE(Scene)

using namespace ViewTesting;

namespace {

// The extent after steps of the wheel in from the start-up window.
ViewExtent stepsIn(int steps)
{
    ViewExtent e = ViewExtentMath::InitialDegrees;
    for (int i = 0; i < steps; ++i)
        ViewExtentMath::zoom(e, 1, 0.45, 0.15);
    return e;
}

// A fence after every glBindBuffer(GL_ARRAY_BUFFER, 0), which ends a frame
// right after its last draw; the newest replaces the one before.
struct Fencing
{
    GlBufferFunctions::BindBuffer bind = nullptr;
    bool on = false;
    GLsync last = nullptr;
    int fences = 0;
} fencing; // the GUI thread's only

void QOPENGLF_APIENTRY bindAndFence(GLenum target, GLuint buffer)
{
    fencing.bind(target, buffer);
    if (!fencing.on || target != GL_ARRAY_BUFFER || buffer != 0)
        return;
    QOpenGLExtraFunctions *f = QOpenGLContext::currentContext()->extraFunctions();
    if (fencing.last)
        f->glDeleteSync(fencing.last);
    fencing.last = f->glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    ++fencing.fences;
}

QImage pictureOf(DrawGLWdg &view, const ViewExtent &extent)
{
    DrawGLWdg::setViewExtent(extent);
    return view.grabFramebuffer();
}

// How many pixels differ from the expected picture, or -1 for one white
// inside the tiles (two pixels from their edges), where only the expected
// one may be: today's hairline gaps. gaps: the expected one's white there.
int differences(const QImage &expected, const QImage &got, const ViewExtent &e, int *gaps)
{
    const QRgb white = qRgb(255, 255, 255);
    const double w = got.width(), h = got.height(), mx = 2 * (e.right - e.left) / w, my = 2 * (e.top - e.bottom) / h;
    int differ = 0;
    *gaps = 0;
    for (int y = 0; y < got.height(); ++y) {
        const double lat = e.top - (y + 0.5) * (e.top - e.bottom) / h;
        for (int x = 0; x < got.width(); ++x) {
            const double lon = e.left + (x + 0.5) * (e.right - e.left) / w;
            const bool inside = lon > 14 + mx && lon < 16 - mx && lat > 49 + my && lat < 50 - my;
            const QRgb a = expected.pixel(x, y) | 0xff000000u, b = got.pixel(x, y) | 0xff000000u;
            if (inside && b == white)
                return -1;
            *gaps += inside && a == white;
            differ += a != b && !(inside && a == white);
        }
    }
    return differ;
}

} // namespace

class TestGlLevels : public QObject
{
    Q_OBJECT

    LodTiles tiles;
    QTemporaryDir dir;
    // N49E014 and N49E015 of relief, converted at q = 1 and 5.
    QStringList q1Files, q5Files;
    // The q = 5 tiles drawn as today, triangle by triangle.
    std::unique_ptr<DrawGLWdg> today;

    // An earlier tile of slanted triangles in two colours, then the tiles
    // with the border's cells left out; written once.
    QStringList holedFiles(int q)
    {
        QStringList files{dir.filePath(QStringLiteral("under.chgt"))};
        for (int lon : {14, 15}) {
            files << dir.filePath(QStringLiteral("holes-q%1-N49E0%2.chgt").arg(q).arg(lon));
            if (!QFile::exists(files.last()) && !TestTiles::writeBytes(files.last(), tiles.cells(Kind::Relief, 49, lon, q, true)))
                return {};
        }
        return files;
    }

private slots:
    void initTestCase()
    {
        q1Files = reliefTiles(tiles, 1);
        q5Files = reliefTiles(tiles, 5);
        QVERIFY(!q1Files.contains(QString()) && !q5Files.contains(QString()));
        QVERIFY(TestTiles::writeFloats(dir.filePath("under.chgt"), underTile(13.5, 48.5, 30, 20)));
        today = std::make_unique<DrawGLWdg>();
        QVERIFY(showAt(today.get(), QSize(1200, 600)));
        QVERIFY(addAsTriangles(*today, q5Files));
        today->viewBorder(false);
        QCOMPARE(today->vertexCounts(), (QVector<int>{345600, 345600}));
    }

    void cleanupTestCase() { DrawGLWdg::resetViewExtent(); }

    // Grids at the rule's level give the picture of the q = 5 tiles drawn
    // triangle by triangle (the level's conversion) but for its hairlines,
    // which rows of 30 sizes must show at some. With cells left out over
    // an earlier tile: exactly the level's cells as triangles (shared edges).
    void levelPictures_data()
    {
        QTest::addColumn<Scene>("scene");
        const auto row = [](const char *name, int q, bool holes, QSize size, ViewExtent e, QVector<int> levels = {5, 5},
                            QSize step = QSize(0, 0)) { QTest::newRow(name) << Scene{q, holes, size, step, e, levels}; };
        const ViewExtent twoTiles{13.9f, 16.1f, 48.9f, 50.1f};
        row("q1 start-up 1200x600", 1, false, QSize(1200, 600), stepsIn(0));
        row("q5 start-up 1080x700", 5, false, QSize(1080, 700), stepsIn(0));
        // Cells wider than high on screen: runs laid in columns, not rows.
        row("q5 two tiles 1200x600", 5, false, QSize(1200, 600), twoTiles);
        row("q5 the seam up close, 30 sizes", 5, false, QSize(1080, 500), {14.95f, 15.05f, 49.45f, 49.5f}, {5, 5}, QSize(5, 3));
        row("holes, q1 start-up 1200x600", 1, true, QSize(1200, 600), stepsIn(0));
        row("holes, q5 start-up 600x300", 5, true, QSize(600, 300), stepsIn(0), {10, 10});
        row("holes, q5 two tiles 1200x600, in columns", 5, true, QSize(1200, 600), twoTiles);
        row("holes, q1 the border up close 900x700, in rows", 1, true, QSize(900, 700), {14.17f, 14.3f, 49.7f, 49.8f}, {1, 0});
        // No cell of the tile in sight: nothing to draw, and nothing failed.
        row("holes, q1 inside a hole 640x480", 1, true, QSize(640, 480), {14.01f, 14.06f, 49.5f, 49.54f}, {1, 0});
        row("holes, q1 the north-east corner 800x800", 1, true, QSize(800, 800), {14.97f, 15.03f, 49.97f, 50.03f}, {1, 1});
    }

    void levelPictures()
    {
        QFETCH(Scene, scene);
        const auto &[q, holes, size, step, extent, levels] = scene;
        const QStringList files = holes ? holedFiles(q) : q == 1 ? q1Files : q5Files;
        QTest::failOnWarning(QRegularExpression("could not be uploaded"));
        DrawGLWdg view, holed;
        QVERIFY(showAt(&view, size));
        view.viewBorder(false);
        QVERIFY(view.createHeightsGenBuffer(files));
        if (holes) { // the same cells, one triangle pair each, after the same earlier tile
            QVERIFY(showAt(&holed, size));
            holed.viewBorder(false);
            QVERIFY(addAsTriangles(holed, files.mid(0, 1)));
            for (int i = 1; i < 3; ++i) {
                if (levels[i - 1] == 0) // not in sight
                    continue;
                const TileLevel level(*tiles.grid(Kind::Relief, 49, 13 + i, q, true), levels[i - 1], CellEdges::FarEdge::Shared);
                holed.addTile(files[i], levelCells(level, level.wholeTile()));
            }
        }
        DrawGLWdg &reference = holes ? holed : *today;
        int sizesWithLines = 0;
        qint64 under = 0;
        for (int i = 0; i < (step.isNull() ? 1 : 30); ++i) {
            view.resize(size + step * i);
            reference.resize(size + step * i);
            const QImage expected = pictureOf(reference, extent), got = pictureOf(view, extent);
            QCOMPARE(view.drawnLevels(), levels);
            QCOMPARE(got.size(), expected.size());
            int gaps = 0;
            QCOMPARE(differences(expected, got, extent, &gaps), 0);
            QVERIFY(gaps <= 4 * (got.width() + got.height())); // hairlines, not areas
            sizesWithLines += gaps > 0;
            under += countOf(got, UnderColour);
        }
        QVERIFY(step.isNull() || sizesWithLines > 0);
        QCOMPARE(view.tileCount(), files.size());
        if (holes) {
            QVERIFY(under > 0);
            // Both tiles are still drawn at the next window.
            pictureOf(view, stepsIn(0));
            QVERIFY(!view.drawnLevels().contains(0));
        }
    }

    // Touring the wheel's windows, level buffers stay within the budget and
    // what was given up is built again, the same. In a new context (another
    // window) the view draws all again from what it holds. A timed repaint
    // there reports 100 when its frame is drawn, not only queued: the fence
    // after its last draw is signalled. Heavy frames of triangles.
    void levelBudgetNewContextAndFinishedFrames()
    {
        DrawGLWdg::resetViewExtent();
        QWidget first, second;
        auto *view = new DrawGLWdg(&first);
        view->setGlLookup(replacing("glBindBuffer", &bindAndFence, &fencing.bind));
        view->resize(1200, 600);
        QVERIFY(showAt(&first, QSize(1200, 600)));
        view->viewBorder(false);
        QCOMPARE(view->levelBudgetBytes(), qint64(192) << 20);
        QVector<float> red;
        TestTiles::addTriangle(red, 14.2, 49.2, 15.8, 49.2, 14.2, 49.8, Qt::red);
        QVERIFY(TestTiles::writeFloats(dir.filePath("red.chgt"), red));
        QVERIFY(view->createHeightsGenBuffer(q1Files + QStringList{dir.filePath("red.chgt")}));
        const QImage start = pictureOf(*view, stepsIn(0));
        const qint64 startBytes = view->levelBufferBytes();
        QCOMPARE(view->levelBuffersBuilt(), qint64(2)); // one level of each tile
        pictureOf(*view, stepsIn(0));
        QCOMPARE(view->levelBuffersBuilt(), qint64(2)); // kept

        // Room for the start-up window's levels, not for the fine ones.
        const qint64 budget = startBytes + startBytes / 2;
        view->setLevelBudget(budget);
        QVector<int> levels;
        const ViewExtent middle{14.5f, 15.5f, 49.2f, 49.8f};
        for (const ViewExtent &e : {stepsIn(0), middle, stepsIn(4), stepsIn(9), stepsIn(4), middle}) {
            QVERIFY(!pictureOf(*view, e).isNull());
            QVERIFY2(view->levelBufferBytes() <= budget, qPrintable(QString::number(view->levelBufferBytes())));
            levels << view->drawnLevels().last();
        }
        QCOMPARE(levels, (QVector<int>{5, 1, 3, 1, 3, 1}));
        const qint64 builds = view->levelBuffersBuilt();
        QCOMPARE(pictureOf(*view, stepsIn(0)), start);
        QCOMPARE(view->levelBuffersBuilt(), builds + 2); // given up on the way, built again
        QVERIFY(view->levelBufferBytes() <= budget);

        view->setParent(&second);
        view->resize(1200, 600);
        QVERIFY(showAt(&second, QSize(1200, 600)));
        view->show();
        QTRY_VERIFY(view->isValid());
        QCOMPARE(view->grabFramebuffer(), start);
        QCOMPARE(view->tileCount(), 3);
        QVERIFY(view->levelBufferBytes() > 0);

        view->makeCurrent();
        QOpenGLContext *context = QOpenGLContext::currentContext();
        fencing.on = context->format().version() >= qMakePair(3, 2) || context->hasExtension("GL_ARB_sync");
        view->doneCurrent();
        if (!fencing.on)
            QSKIP("no sync objects in this OpenGL");
        for (int i = 0; i < 4; ++i)
            QVERIFY(addAsTriangles(*view, q5Files));
        view->viewBorder(true);
        GLint stateAtHundred = 0; // the fence's state when a frame first reports 100
        int fencesAtHundred = -1;
        connect(view, &DrawGLWdg::sProgress, this, [&](int percent) {
            if (percent != 100 || fencesAtHundred >= 0)
                return;
            context->extraFunctions()->glGetSynciv(fencing.last, GL_SYNC_STATUS, 1, nullptr, &stateAtHundred);
            fencesAtHundred = fencing.fences;
        });
        for (const ViewExtent &e : {stepsIn(0), stepsIn(6), ViewExtent{14.2f, 15.8f, 49.2f, 49.8f}}) {
            DrawGLWdg::setViewExtent(e);
            fencesAtHundred = -1;
            const int fencesBefore = fencing.fences;
            view->repaintGLWdg();
            QTRY_VERIFY_WITH_TIMEOUT(!view->progressDialog()->isTiming(), Waits::Event);
            QVERIFY(fencesAtHundred > fencesBefore); // the frame's own fence
            QCOMPARE(stateAtHundred, GLint(GL_SIGNALED));
        }
        disconnect(view, &DrawGLWdg::sProgress, this, nullptr);
        // No more fences; the view still binds through the wrapper.
        view->makeCurrent();
        context->extraFunctions()->glDeleteSync(fencing.last);
        fencing = {fencing.bind};
        view->doneCurrent();
    }

    // A grid level or triangles the driver refuses is left out with one
    // warning, at every window, through the view's own open and the open
    // into both views; the painter view keeps it.
    void refusedUploads()
    {
        QVector<float> e015, red;
        TestTiles::addTriangle(e015, 15.1, 49.1, 17.0, 49.1, 15.1, 51.0, Qt::blue);
        TestTiles::addTriangle(red, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, Qt::red);
        const QStringList files = q5Files + QStringList{dir.filePath("e015.chgt"), dir.filePath("red.chgt")};
        QVERIFY(TestTiles::writeFloats(files[2], e015) && TestTiles::writeFloats(files[3], red));
        // A driver that refuses the uploads of E015, as when out of memory:
        // a size of -1 is refused with a GL error just the same.
        static GlBufferFunctions::BufferData realBufferData = nullptr;
        const GlBufferFunctions::BufferData refusing = [](GLenum target, GLsizeiptr size, const void *data,
                                                          GLenum usage) {
            const auto *f = static_cast<const float *>(data);
            realBufferData(target, f && size >= 24 && f[0] >= 15.0f && f[0] < 16.0f ? -1 : size, data, usage);
        };
        QTest::failOnWarning(QRegularExpression("could not be uploaded"));
        for (bool throughOpen : {false, true}) {
            DrawGLWdg::resetViewExtent();
            DrawGLWdg view;
            view.setGlLookup(replacing("glBufferData", refusing, &realBufferData));
            QVERIFY(showAt(&view));
            view.viewBorder(false);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("N49E015.chgt could not be uploaded"));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("e015.chgt could not be uploaded"));
            DrawQtWdg qt;
            if (throughOpen)
                OpenTiles::intoViews(files, qt, view);
            else
                QVERIFY(view.createHeightsGenBuffer(files));
            QCOMPARE(qt.storedPolygons().size(), throughOpen ? 2 : 0);
            for (int steps : {0, 3, 9}) {
                const ViewExtent e = stepsIn(steps);
                const QImage img = pictureOf(view, e);
                QCOMPARE(img.pixel(pixelAt(img.size(), e, 15.5, 49.8)) | 0xff000000u, qRgb(255, 255, 255));
                if (steps == 0) {
                    QVERIFY((img.pixel(pixelAt(img.size(), e, 14.6, 49.6)) | 0xff000000u) != qRgb(255, 255, 255));
                    QVERIFY(sameColor(img.pixel(pixelAt(img.size(), e, 14.1, 49.1)), Qt::red));
                }
            }
            QCOMPARE(view.drawnLevels(), (QVector<int>{0, 0}));
            QCOMPARE(view.vertexCounts(), (QVector<int>{345600, 3}));
        }
    }
};

RZ_REGISTER_TEST(TestGlLevels);
#include "tst_glevels.moc"
