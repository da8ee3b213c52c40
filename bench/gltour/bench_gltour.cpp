// Frames of the OpenGL view over a pan-and-zoom tour of the whole country
// (21 tiles N48-N50 x E012-E018): the start-up window, one tile, the
// narrowest window the wheel reaches, and back. Regular tiles drawn from
// their levels at q = 1 and q = 5, against today's drawing of the q = 5
// tiles triangle by triangle, in the same run.
//
// Also: the time a timed repaint ("Překreslit") writes to log.txt against
// the frame's drawing timed here, until finished, at the start-up window
// and zoomed in.
//
//   bench_gltour [--runs N] [--dir DIR]   (DIR/q1 and DIR/q5 hold the tiles;
//                                          missing ones are made there)
//   --only logged1 / logged5: just the comparison of the logged times
//
// Needs a display with OpenGL, e.g.
//   xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1 bench_gltour

#include "BenchSupport.h"
#include "ChgtTileReader.h"
#include "DrawGLWdg.h"
#include "ActionClock.h"
#include "ProgressDlg.h"
#include "RepaintNow.h"
#include "ViewExtent.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

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

// The elapsed time of the last line of log.txt, in milliseconds; -1 when
// there is none.
double lastLoggedMs()
{
    QFile log(QStringLiteral("log.txt"));
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return -1;
    const QTime elapsed = QTime::fromString(lines.last().section(QLatin1Char('\t'), 2, 2), QStringLiteral("mm:ss.zzz"));
    return elapsed.isValid() ? elapsed.msecsSinceStartOfDay() : -1;
}

// Until the frame reports 100; with finish, the bench then waits for the
// drawing itself (glFinish in the frame's context) before it reads its clock.
class FrameClock
{
public:
    FrameClock(DrawGLWdg &view, bool finish)
        : connection(QObject::connect(&view, &DrawGLWdg::sProgress, [this, finish](int percent) {
              if (percent != 100 || ms >= 0)
                  return;
              if (finish)
                  QOpenGLContext::currentContext()->functions()->glFinish();
              ms = clock.nsecsElapsed() / 1e6;
          }))
    {
        clock.start();
    }
    ~FrameClock() { QObject::disconnect(connection); }
    // -1 when no frame came.
    double waitMs()
    {
        return QTest::qWaitFor([this] { return ms >= 0; }, 10000) ? ms : -1;
    }

private:
    QElapsedTimer clock;
    double ms = -1;
    QMetaObject::Connection connection;
};

struct Timed
{
    double logged = -1;   // what log.txt says
    double measured = -1; // the same interval on the bench's clock
};

// The progress dialog's clock, which also reads the bench's own: the
// dialog's first reading is the start of the action, its last (for the
// log line) the completion.
class ActionWatch : public ActionClock
{
public:
    QTime currentTime() const override
    {
        if (!watch.isValid())
            watch.start();
        else
            completedMs = watch.nsecsElapsed() / 1e6;
        return QTime::currentTime();
    }
    mutable QElapsedTimer watch;
    mutable double completedMs = -1;
};

// "Překreslit" in the OpenGL view as the window does it: the time the
// progress dialog logs, and on the bench's clock the time from the start of
// the action until the frame is drawn and finished: until the dialog's
// completion, plus however long the frame then still takes (glFinish right
// after the dialog has completed, timed).
Timed timedRepaint(DrawGLWdg &view)
{
    QFile::remove(QStringLiteral("log.txt"));
    ActionWatch clock;
    view.progressDialog()->setClock(&clock);
    double stillDrawing = -1;
    const QMetaObject::Connection c = QObject::connect(&view, &DrawGLWdg::sProgress, [&](int percent) {
        if (percent != 100 || stillDrawing >= 0 || clock.completedMs < 0)
            return;
        QElapsedTimer wait;
        wait.start();
        QOpenGLContext::currentContext()->functions()->glFinish();
        stillDrawing = wait.nsecsElapsed() / 1e6;
    });
    view.repaintGLWdg();
    const bool done = QTest::qWaitFor([&] { return stillDrawing >= 0 && !view.progressDialog()->isTiming(); }, 10000);
    QObject::disconnect(c);
    view.progressDialog()->setClock(nullptr);
    Timed t;
    if (done) {
        t.logged = lastLoggedMs();
        t.measured = clock.completedMs + stillDrawing;
    }
    return t;
}

// An untimed repaint, in which the view waits for nothing; the composition
// of the window that follows is not counted, as the log does not count it.
double drawnMs(DrawGLWdg &view, bool finish)
{
    FrameClock frame(view, finish);
    repaintNow(&view);
    return frame.waitMs();
}

// The logged time of a timed repaint against the frame's time measured
// here, at the start-up window and zoomed in.
void compareLogged(const char *what, const QStringList &files, int runs)
{
    // log.txt goes into the working directory: a scratch one.
    QTemporaryDir scratch;
    const QString home = QDir::currentPath();
    QDir::setCurrent(scratch.path());
    auto view = std::make_unique<DrawGLWdg>();
    view->resize(Window);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        std::fprintf(stderr, "the view was not shown\n");
    view->createHeightsGenBuffer(files);
    std::printf("%s: the time \"Překreslit\" logs against the same action measured until its frame is\n"
                "drawn and finished (medians of %d; the ratio of their sums)\n",
                what, runs);
    const Stop stops[] = {{"start-up window", stepsIn(0)}, {"six wheel steps in", stepsIn(6)},
                          {"one tile (N49E015)", ViewExtent{15.0f, 16.0f, 49.0f, 50.0f}}};
    for (const Stop &stop : stops) {
        DrawGLWdg::setViewExtent(stop.extent);
        drawnMs(*view, true); // levels built
        std::vector<double> logged, measured, finished, queued;
        for (int run = 0; run < runs; ++run) {
            QTest::qWait(40);
            const Timed t = timedRepaint(*view);
            if (t.logged >= 0 && t.measured >= 0) {
                logged.push_back(t.logged);
                measured.push_back(t.measured);
            }
            QTest::qWait(40);
            const double f = drawnMs(*view, true);
            if (f >= 0)
                finished.push_back(f);
            QTest::qWait(40);
            const double q = drawnMs(*view, false);
            if (q >= 0)
                queued.push_back(q);
        }
        // The log has whole milliseconds: the ratio of the sums evens that out.
        double loggedSum = 0, measuredSum = 0;
        for (size_t i = 0; i < logged.size(); ++i) {
            loggedSum += logged[i];
            measuredSum += measured[i];
        }
        std::printf("  %-22s logged %6.1f ms  measured %6.1f ms  logged/measured %.2f   untimed frame: "
                    "drawn %5.1f ms, calls only %5.1f ms\n",
                    stop.name, median(logged), median(measured), loggedSum / measuredSum, median(finished),
                    median(queued));
    }
    view.reset();
    QDir::setCurrent(home);
    std::printf("\n");
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
    if (all || only.contains("logged5"))
        compareLogged("levels, q = 5", tiles(5), runs);
    if (all || only.contains("logged1"))
        compareLogged("levels, q = 1", tiles(1), runs);
    return 0;
}
