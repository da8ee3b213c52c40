// OpenGL view speed against the painter view drawing the same picture in
// the same run: upload of 21 q = 5 tiles, paint of the whole country at
// 1920 x 1080 with those tiles and with one q = 1 tile.
//
//   bench_glview [--runs N] [--dir DIR]
//
// Needs a display with OpenGL, e.g.
//   xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1 bench_glview

#include "BenchSupport.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "HgtTileGenerator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLContext>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using BenchSupport::makeTile;
using BenchSupport::median;
using BenchSupport::timeMs;

const QSize Screen(1920, 1080);

template<class View>
std::unique_ptr<View> shownView()
{
    auto view = std::make_unique<View>();
    view->resize(Screen);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        std::fprintf(stderr, "%s was not shown\n", view->metaObject()->className());
    return view;
}

// A paint of the whole view into memory; the read-back waits for the
// rasteriser to finish.
double glPaintMs(DrawGLWdg &view)
{
    return timeMs([&] { view.grabFramebuffer(); });
}

double qtPaintMs(DrawQtWdg &view)
{
    return timeMs([&] { view.grab(); });
}

// A paint on screen, as "Překreslit" does it; -1 when the window system
// deferred it to the next frame.
double glScreenMs(DrawGLWdg &view)
{
    QTest::qWait(40);
    QSignalSpy spy(&view, &DrawGLWdg::sProgress);
    const double ms = timeMs([&] { view.repaint(); });
    return spy.isEmpty() ? -1 : ms;
}

double qtScreenMs(DrawQtWdg &view)
{
    QTest::qWait(40);
    return timeMs([&] { view.repaint(); });
}

struct Figures
{
    std::vector<double> gl, qt, glScreen, qtScreen;
    void add(double g, double q, double gs, double qs)
    {
        gl.push_back(g);
        qt.push_back(q);
        if (gs >= 0)
            glScreen.push_back(gs);
        qtScreen.push_back(qs);
    }
    void print(const char *what) const
    {
        const double g = median(gl), q = median(qt);
        std::printf("%s\n", what);
        std::printf("  OpenGL view, paint + read-back   %9.1f ms\n", g);
        std::printf("  painter view, paint into image   %9.1f ms\n", q);
        std::printf("  painter / OpenGL                 %9.2f\n", g > 0 ? q / g : 0.0);
        if (!glScreen.empty())
            std::printf("  on screen: OpenGL %.1f ms (%zu of %zu synchronous), painter %.1f ms\n",
                        median(glScreen), glScreen.size(), gl.size(), median(qtScreen));
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int runs = 5;
    QString base = QDir::tempPath();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--runs"))
            runs = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--dir"))
            base = args.at(i + 1);
    }
    QTemporaryDir work(base + QStringLiteral("/bench_glview-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot make a scratch directory in %s\n", qPrintable(base));
        return 1;
    }
    const QDir dir(work.path());

    std::printf("making tiles in %s ...\n", qPrintable(dir.path()));
    QStringList country;
    for (int lat = 48; lat <= 50; ++lat)
        for (int lon = 12; lon <= 18; ++lon)
            country << makeTile(dir, lat, lon, 5);
    const QStringList fine{makeTile(dir, 49, 14, 1)};

    {
        auto probe = shownView<DrawGLWdg>();
        probe->makeCurrent();
        const QOpenGLContext *ctx = QOpenGLContext::currentContext();
        std::printf("OpenGL: %s, %s\n", ctx ? reinterpret_cast<const char *>(glGetString(GL_RENDERER)) : "none",
                    ctx ? reinterpret_cast<const char *>(glGetString(GL_VERSION)) : "");
        probe->doneCurrent();
        if (!probe->hasBufferObjects()) {
            std::fprintf(stderr, "no OpenGL buffer objects: nothing to measure\n");
            return 1;
        }
    }
    std::printf("runs per figure: %d, view %dx%d, whole country (11-20 E, 48.3-51.3 N)\n\n", runs,
                Screen.width(), Screen.height());

    // Upload: a fresh view each run, hidden so only reading and uploading
    // count, not the redraw that follows.
    std::vector<double> glUpload, qtLoad;
    for (int i = 0; i < runs; ++i) {
        auto gl = shownView<DrawGLWdg>();
        gl->hide();
        glUpload.push_back(timeMs([&] {
            gl->createHeightsGenBuffer(country);
            gl->makeCurrent();
            glFinish();
            gl->doneCurrent();
        }));
        if (gl->tileCount() != country.size()) {
            std::fprintf(stderr, "only %d of %d tiles loaded\n", gl->tileCount(), int(country.size()));
            return 1;
        }
        DrawQtWdg qt;
        qt.setAttribute(Qt::WA_DontShowOnScreen);
        qtLoad.push_back(timeMs([&] { qt.createHeightsBuffer(country); }));
    }
    const double up = median(glUpload), load = median(qtLoad);
    std::printf("21 tiles, q = 5 (%.1f MB of vertices)\n", country.size() * 8294400 / 1e6);
    std::printf("  OpenGL view, read + upload        %9.1f ms\n", up);
    std::printf("  painter view, read into polygons  %9.1f ms\n", load);
    std::printf("  painter / OpenGL                  %9.2f\n\n", up > 0 ? load / up : 0.0);

    auto measure = [&](const QStringList &files, const char *what) {
        auto gl = shownView<DrawGLWdg>();
        auto qt = shownView<DrawQtWdg>();
        gl->createHeightsGenBuffer(files);
        qt->createHeightsBuffer(files);
        glPaintMs(*gl); // first paints settle caches and threads
        qtPaintMs(*qt);
        Figures f;
        for (int i = 0; i < runs; ++i)
            f.add(glPaintMs(*gl), qtPaintMs(*qt), glScreenMs(*gl), qtScreenMs(*qt));
        f.print(what);
        std::printf("\n");
    };
    measure({}, "empty view (border only): the fixed cost of a paint");
    measure(country, "whole country, 21 tiles q = 5");
    measure(fine, "whole country, one tile q = 1");
    return 0;
}
