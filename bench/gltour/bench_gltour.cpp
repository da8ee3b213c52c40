// Frames of the OpenGL view over a pan-and-zoom tour of the whole country
// (21 tiles N48-N50 x E012-E018): the start-up window, one tile, the
// narrowest window the wheel reaches, and back. Regular tiles drawn from
// their levels at q = 1 and q = 5, against today's drawing of the q = 5
// tiles triangle by triangle, in the same run.
//
//   bench_gltour [--runs N] [--dir DIR]   (DIR/q1 and DIR/q5 hold the tiles;
//                                          missing ones are made there)
//
// Needs a display with OpenGL, e.g.
//   xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1 bench_gltour

#include "BenchSupport.h"
#include "ChgtTileReader.h"
#include "DrawGLWdg.h"
#include "ViewExtent.h"

#include <QApplication>
#include <QDir>
#include <QOpenGLContext>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using BenchSupport::median;
using BenchSupport::statusKb;
using BenchSupport::timeMs;

const QSize Window(1280, 1024);

ViewExtent stepsIn(int steps)
{
    ViewExtent e = ViewExtentMath::InitialDegrees;
    for (int i = 0; i < steps; ++i)
        ViewExtentMath::zoom(e, 1, 0.45, 0.15);
    return e;
}

struct Stop
{
    const char *name;
    ViewExtent extent;
};

const std::vector<Stop> &tour()
{
    static const std::vector<Stop> stops{
        {"start-up window", stepsIn(0)},
        {"one tile (N49E015)", ViewExtent{15.0f, 16.0f, 49.0f, 50.0f}},
        {"nine wheel steps in", stepsIn(9)},
        {"one tile again", ViewExtent{15.0f, 16.0f, 49.0f, 50.0f}},
        {"start-up again", stepsIn(0)},
    };
    return stops;
}

double mb(qint64 bytes)
{
    return bytes / 1048576.0;
}

// A frame drawn into memory and read back, so the rasteriser has finished.
double frameMs(DrawGLWdg &view, const ViewExtent &extent)
{
    DrawGLWdg::setViewExtent(extent);
    return timeMs([&] { view.grabFramebuffer(); });
}

// A frame on screen as "Překreslit" draws it (what log.txt times); -1 when
// the window system deferred it to the next frame.
double screenMs(DrawGLWdg &view, const ViewExtent &extent)
{
    DrawGLWdg::setViewExtent(extent);
    QTest::qWait(40);
    QSignalSpy spy(&view, &DrawGLWdg::sProgress);
    const double ms = timeMs([&] { view.repaint(); });
    return spy.isEmpty() ? -1 : ms;
}

void measure(const char *what, const QStringList &files, bool asTriangles, int runs)
{
    auto view = std::make_unique<DrawGLWdg>();
    view->resize(Window);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        std::fprintf(stderr, "the view was not shown\n");
    view->viewBorder(true);
    const double loadMs = timeMs([&] {
        if (asTriangles) {
            for (const QString &f : files) {
                QByteArray floats;
                if (ChgtTileReader::readTriangles(f, floats))
                    view->addTile(f, floats);
            }
        } else {
            view->createHeightsGenBuffer(files);
        }
    });
    const qint64 rssAfterOpen = statusKb("VmRSS");
    // cold: the tour's frames with every level built anew (the buffers of
    // the previous run dropped first); warm: the same tour at once again.
    std::vector<std::vector<double>> cold(tour().size()), warm(tour().size()), screen(tour().size());
    qint64 mostHeld = 0;
    for (int run = 0; run < runs; ++run) {
        view->setLevelBudget(0);
        frameMs(*view, ViewExtent{0.0f, 1.0f, 0.0f, 1.0f}); // nothing in sight, all given up
        view->setLevelBudget(DrawGLWdg::DefaultLevelBudget);
        for (size_t i = 0; i < tour().size(); ++i) {
            cold[i].push_back(frameMs(*view, tour()[i].extent));
            mostHeld = std::max(mostHeld, view->levelBufferBytes());
        }
        for (size_t i = 0; i < tour().size(); ++i)
            warm[i].push_back(frameMs(*view, tour()[i].extent));
        for (size_t i = 0; i < tour().size(); ++i) {
            const double ms = screenMs(*view, tour()[i].extent);
            if (ms >= 0)
                screen[i].push_back(ms);
        }
    }
    std::printf("%s: %d tiles, open %.0f ms, %lld level buffers built\n", what, view->tileCount(), loadMs,
                view->levelBuffersBuilt());
    double worst = 0;
    for (size_t i = 0; i < tour().size(); ++i) {
        DrawGLWdg::setViewExtent(tour()[i].extent);
        view->grabFramebuffer();
        QString levels;
        for (int k : view->drawnLevels()) {
            if (k && !levels.contains(QString::number(k) + QLatin1Char(' ')))
                levels += QString::number(k) + QLatin1Char(' ');
        }
        const double c = median(cold[i]), w = median(warm[i]), s = median(screen[i]);
        worst = std::max(worst, std::max(c, w));
        std::printf("  %-22s cold %7.1f ms  warm %7.1f ms  on screen %7.1f ms (%zu of %d)  levels %s\n",
                    tour()[i].name, c, w, s, screen[i].size(), runs,
                    asTriangles ? "(stored triangles)" : qPrintable(levels));
    }
    std::printf("  slowest frame (median) %.1f ms; level buffers held at most %.1f MB (budget %.0f MB)\n", worst,
                mb(mostHeld), mb(DrawGLWdg::DefaultLevelBudget));
    std::printf("  process memory: %.0f MB after the open, %.0f MB now, peak %.0f MB\n\n", rssAfterOpen / 1024.0,
                statusKb("VmRSS") / 1024.0, statusKb("VmHWM") / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int runs = 5;
    QString base = QDir::currentPath() + QStringLiteral("/benchtiles");
    QStringList only;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--runs"))
            runs = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--dir"))
            base = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--only"))
            only << args.at(i + 1);
    }
    const auto tiles = [&](int q) {
        const QDir dir(base + QStringLiteral("/q%1").arg(q));
        QDir().mkpath(dir.path());
        return BenchSupport::countryTiles(dir, q);
    };
    std::printf("window %dx%d, %d runs per figure, tiles in %s\n", Window.width(), Window.height(), runs,
                qPrintable(base));
    {
        DrawGLWdg probe;
        probe.resize(200, 200);
        probe.show();
        if (!QTest::qWaitForWindowExposed(&probe))
            std::fprintf(stderr, "the probe was not shown\n");
        probe.makeCurrent();
        std::printf("OpenGL: %s\n\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
        probe.doneCurrent();
    }
    const bool all = only.isEmpty();
    if (all || only.contains("empty"))
        measure("no tiles (border only): the fixed cost of a frame", {}, false, runs);
    if (all || only.contains("today5"))
        measure("today's drawing, q = 5 (triangles)", tiles(5), true, runs);
    if (all || only.contains("levels5"))
        measure("levels, q = 5", tiles(5), false, runs);
    if (all || only.contains("levels1"))
        measure("levels, q = 1", tiles(1), false, runs);
    return 0;
}
