// Opening the country in the real window and redrawing it, at every density:
// the 21 tiles N48-N50 x E012-E018 at q = 1, 2 and 5, and 84 tiles at q = 2
// around it (growth), each opened through WindowRZ::openPaths (the open of
// "Otevřít...", the wait cursor included) in a fresh process. Measured:
// the time from the open call to the map on screen (both views loaded, the
// visible OpenGL view drawn and finished), memory held after the open and
// at peak (VmRSS / VmHWM of the whole process, and above the empty window),
// bytes per stored cell, and the time of "Překreslit" in each view over a
// tour: the start-up window, one tile, the narrowest window the wheel
// reaches, and back. The baseline, in the same run: the q = 5 tiles opened
// as triangles, as before grids (TileReading::setGridsEnabled(false)).
// Sets h5, h2 and h1 are the country's tiles at that quantity with cells
// left out, as a raster import cut along a state border leaves them: those
// west of a wavy line across each tile (a third of them) and a lake. Set i5
// is the q = 5 country with one triangle dropped per tile: files that are
// not conversion output, drawn as triangles.
// With --against BENCH_SCALE, the other build's bench_scale runs every set
// too, in turns with this one, reported as "set@other".
//
//   bench_scale [--runs N] [--dir DIR] [--sets q5,q2,q1,grow,baseline,h5,h2,h1,i5]
//               [--against OTHER_BENCH_SCALE]
//
// Needs a display with OpenGL, e.g.
//   xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1 bench_scale

#include "BenchSupport.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "TileGrid.h"
#include "TileReading.h"
#include "ViewExtent.h"
#include "WindowRZ.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <type_traits>
#include <vector>

namespace {

using BenchSupport::median;
using BenchSupport::timeMs;

constexpr int Repaints = 5; // per window of the tour, median taken

// A tile of quantity q with the cells west of a wavy line and in a disc left out.
QByteArray withHoles(const QByteArray &tile, int q)
{
    const int n = TileGrid::sideAt(q);
    QByteArray out;
    if (tile.size() != TileGrid::fileBytes(q))
        return out;
    out.reserve(tile.size());
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            const int i = 1 + c * q, j = 1 + r * q;
            const double border = 400 + 150 * std::sin(j / 97.0) + 40 * std::sin(j / 13.0);
            const bool lake = (i - 820) * (i - 820) + (j - 640) * (j - 640) < 140 * 140;
            if (i >= border && !lake)
                out.append(tile.constData() + (qsizetype(c) * n + r) * 144, 144);
        }
    }
    return out;
}

// The tile without its middle cell's second triangle.
QByteArray irregular(const QByteArray &tile, int q)
{
    const int n = TileGrid::sideAt(q);
    if (tile.size() != TileGrid::fileBytes(q))
        return {};
    const qsizetype middle = (qsizetype(n / 2) * n + n / 2) * 144;
    return tile.left(middle + 72) + tile.mid(middle + 144);
}

QStringList tilesOf(const QString &set, const QString &root)
{
    if (set.startsWith(QLatin1Char('h')) || set.startsWith(QLatin1Char('i'))) {
        const int q = set.mid(1).toInt();
        const QStringList full = tilesOf(QStringLiteral("q%1").arg(q), root);
        const QDir dir(root + QLatin1Char('/') + set);
        QDir().mkpath(dir.path());
        QStringList files;
        for (const QString &path : full) {
            files << dir.filePath(QFileInfo(path).fileName());
            if (QFile::exists(files.last()))
                continue;
            QFile in(path), out(files.last());
            if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
                return {};
            out.write(set[0] == QLatin1Char('h') ? withHoles(in.readAll(), q) : irregular(in.readAll(), q));
        }
        return files;
    }
    if (set == QLatin1String("grow")) {
        const QDir dir(root + QStringLiteral("/grow2"));
        QDir().mkpath(dir.path());
        QStringList files;
        for (int lat = 46; lat <= 51; ++lat)
            for (int lon = 9; lon <= 22; ++lon)
                files << BenchSupport::makeTile(dir, lat, lon, 2);
        return files;
    }
    const int q = set == QLatin1String("baseline") ? 5 : set.mid(1).toInt();
    const QDir dir(root + QStringLiteral("/q%1").arg(q));
    QDir().mkpath(dir.path());
    return BenchSupport::countryTiles(dir, q);
}

void glFinishIn(DrawGLWdg &gl)
{
    gl.makeCurrent();
    QOpenGLContext::currentContext()->functions()->glFinish();
    gl.doneCurrent();
}

// The tour's windows in the painter's units (hundredths of a degree).
std::vector<ViewExtent> tour()
{
    const ViewExtent start = DrawQtWdg::initialExtent;
    ViewExtent narrow = start;
    while (ViewExtentMath::zoom(narrow, 120, DrawQtWdg::zoomStepX, DrawQtWdg::zoomStepY)) {
    }
    return {start, ViewExtent{1400, 1500, 4900, 5000}, narrow, start};
}

// "Překreslit" in the visible view, from the click until the view has
// painted (its progress reaches 100; for OpenGL, the frame finished): the
// paint may come from the event loop rather than at once. Median of a few.
template<class View>
double repaintMs(QAction *repaint, View &view)
{
    std::vector<double> ms;
    for (int i = 0; i < Repaints; ++i) {
        QTest::qWait(20);
        QSignalSpy painted(&view, &View::sProgress);
        QElapsedTimer clock;
        clock.start();
        repaint->trigger();
        if (painted.isEmpty() && !painted.wait(20000))
            return -1;
        if constexpr (std::is_same_v<View, DrawGLWdg>)
            glFinishIn(view);
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    return median(ms);
}

int child(const QString &set, const QStringList &files)
{
    // Page cache warm, without holding the bytes.
    {
        QByteArray buffer(8 << 20, Qt::Uninitialized);
        for (const QString &path : files) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                while (file.read(buffer.data(), buffer.size()) > 0) {
                }
        }
    }
    if (set == QLatin1String("baseline"))
        TileReading::setGridsEnabled(false);
    WindowRZ window;
    window.resize(1280, 1024);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    DrawQtWdg *qt = window.findChild<DrawQtWdg *>();
    DrawGLWdg *gl = window.findChild<DrawGLWdg *>();
    QAction *showQt = window.findChild<QAction *>(QStringLiteral("actionShowQtWdg"));
    QAction *showGl = window.findChild<QAction *>(QStringLiteral("actionShowGLWdg"));
    QAction *repaint = window.findChild<QAction *>(QStringLiteral("actionRepaint"));
    if (!qt || !showQt || !showGl || !repaint)
        return 1;
    // Without OpenGL (--painter-only: no GL integration on the same X
    // server) the window shows the painter view.
    const bool haveGl = gl && gl->isVisible();
    if (!haveGl)
        showQt->trigger(); // "Zobraz Qt", as the page without OpenGL says
    QTest::qWait(200);
    const qint64 emptyKb = BenchSupport::statusKb("VmRSS");

    // From the open to the visible view's paint done.
    QSignalSpy glPainted(haveGl ? static_cast<QObject *>(gl) : qt,
                         haveGl ? SIGNAL(sProgress(int)) : SIGNAL(sProgress(int)));
    QElapsedTimer clock;
    clock.start();
    window.openPaths(files);
    if (glPainted.isEmpty() && !glPainted.wait(60000))
        return 1;
    if (haveGl)
        glFinishIn(*gl);
    const double openMs = clock.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    QTest::qWait(300); // what the open left queued (deferred deletes, repaints) runs first
    const qint64 heldKb = BenchSupport::statusKb("VmRSS");
    const qint64 peakKb = BenchSupport::statusKb("VmHWM");

    qint64 cells = 0;
    for (const MapContent::Entry &e : qt->mapContent().entries())
        if (e.grid)
            cells += qint64(e.grid->side()) * e.grid->side();
    const qint64 gridBytes = qt->mapContent().gridBytes();

    std::printf("files=%lld open=%.1f empty=%lld held=%lld peak=%lld cells=%lld gridbytes=%lld grids=%d triangles=%lld "
                "gltiles=%d",
                qint64(files.size()), openMs, emptyKb, heldKb, peakKb, cells, gridBytes, qt->mapContent().gridCount(),
                qint64(qt->storedPolygons().size()), haveGl ? gl->tileCount() : 0);
    const std::vector<ViewExtent> windows = tour();
    for (const char *view : {"gl", "qt"}) {
        const bool isGl = view[0] == 'g';
        if (isGl && !haveGl)
            continue;
        (isGl ? showGl : showQt)->trigger();
        QTest::qWait(100);
        for (size_t w = 0; w < windows.size(); ++w) {
            DrawQtWdg::setViewExtent(windows[w]);
            DrawGLWdg::setViewExtent(ViewExtentMath::scaled(windows[w], 0.01));
            const double ms = isGl ? repaintMs(repaint, *gl) : repaintMs(repaint, *qt);
            std::printf(" %s%zu=%.1f", view, w, ms);
            if (!isGl) {
                int finest = 1200;
                for (int k : qt->mapPainter().lastLevels())
                    finest = std::min(finest, k);
                std::printf(" level%zu=%d", w, qt->mapContent().gridCount() ? finest : 0);
            }
        }
    }
    std::printf(" peakafter=%lld\n", BenchSupport::statusKb("VmHWM"));
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int runs = 3;
    QString root = QDir::current().filePath(QStringLiteral("benchtiles"));
    QString childSet;
    QString against;
    QStringList sets{"baseline", "q5", "q2", "q1", "grow"};
    bool painterOnly = false;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--painter-only"))
            painterOnly = true;
        if (i + 1 == args.size())
            break;
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--dir"))
            root = args[i + 1];
        else if (args[i] == QLatin1String("--child"))
            childSet = args[i + 1];
        else if (args[i] == QLatin1String("--against"))
            against = args[i + 1];
        else if (args[i] == QLatin1String("--sets"))
            sets = args[i + 1].split(QLatin1Char(','));
    }
    if (!childSet.isEmpty())
        return child(childSet, tilesOf(childSet, root));
    for (const QString &set : sets)
        tilesOf(set, root); // made before any timing

    QStringList labels;
    for (const QString &set : sets) {
        labels << set;
        if (!against.isEmpty())
            labels << set + QStringLiteral("@other");
    }

    const QRegularExpression field(QStringLiteral("(\\w+)=(-?[0-9.]+)"));
    std::map<QString, std::map<QString, std::vector<double>>> figures;
    for (int r = 0; r < runs; ++r) {
        for (const QString &label : labels) {
            const QString set = label.section(QLatin1Char('@'), 0, 0);
            const QString program = label.contains(QLatin1Char('@')) ? against : QCoreApplication::applicationFilePath();
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            if (painterOnly) {
                // No OpenGL at all: the window holds the painter view only.
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
                process.setProcessEnvironment(env);
            }
            process.start(program, {"--dir", root, "--child", set});
            process.waitForFinished(-1);
            const QString out = QString::fromLatin1(process.readAllStandardOutput());
            if (process.exitCode() != 0 || !out.contains(QLatin1String("peakafter="))) {
                std::fprintf(stderr, "the %s run failed: %s\n", qPrintable(label), qPrintable(out));
                return 1;
            }
            for (auto it = field.globalMatch(out); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                figures[label][m.captured(1)].push_back(m.captured(2).toDouble());
            }
        }
    }

    std::printf("bench_scale%s: WindowRZ at 1280x1024, medians of %d fresh processes per set; "
                "\"Překreslit\" medians of %d each\n",
                painterOnly ? " --painter-only (no OpenGL: the painter view alone)" : "", runs, Repaints);
    std::printf("tour: 0 start-up window, 1 one tile (N49E014), 2 the narrowest wheel window, 3 back\n\n");
    std::printf("%-12s %6s %9s %9s %9s %9s %7s | %-27s | %-27s | %s\n", "set", "tiles", "open ms",
                "held MB", "peak MB", "+held MB", "B/cell", "OpenGL ms (0 1 2 3)", "painter ms (0 1 2 3)",
                "painter levels");
    for (const QString &set : labels) {
        auto &f = figures[set];
        const auto m = [&](const char *key) { return median(f[QLatin1String(key)]); };
        const double cells = m("cells");
        std::printf("%-12s %6.0f %9.0f %9.0f %9.0f %9.0f %7.2f | %6.0f %6.0f %6.0f %6.0f | %6.1f %6.1f %6.1f %6.1f | "
                    "%.0f %.0f %.0f %.0f\n",
                    qPrintable(set), m("files"),
                    m("open"), m("held") / 1024, std::max(m("peak"), m("peakafter")) / 1024,
                    (m("held") - m("empty")) / 1024, cells > 0 ? m("gridbytes") / cells : 0.0, m("gl0"),
                    m("gl1"), m("gl2"), m("gl3"), m("qt0"), m("qt1"), m("qt2"), m("qt3"), m("level0"),
                    m("level1"), m("level2"), m("level3"));
    }
    if (!against.isEmpty())
        std::printf("\nthis build against the other, ratios of medians in the same run:\n");
    for (const QString &set : sets) {
        if (against.isEmpty())
            break;
        auto &t = figures[set];
        auto &o = figures[set + QStringLiteral("@other")];
        const auto r = [&](const char *key) { return median(t[QLatin1String(key)]) / median(o[QLatin1String(key)]); };
        std::printf("%-12s open %.2fx, held %.2fx, peak %.2fx, OpenGL %.2f %.2f %.2f %.2fx, painter %.2f %.2f %.2f "
                    "%.2fx\n",
                    qPrintable(set), r("open"), r("held"), r("peak"), r("gl0"), r("gl1"), r("gl2"), r("gl3"),
                    r("qt0"), r("qt1"), r("qt2"), r("qt3"));
    }
    if (figures.count(QStringLiteral("baseline")) && figures.count(QStringLiteral("q5"))) {
        auto &b = figures[QStringLiteral("baseline")];
        auto &g = figures[QStringLiteral("q5")];
        std::printf("\nq5 against the baseline (triangles) in the same run: open %.2fx, held %.2fx, painter "
                    "start-up frame %.2fx, OpenGL start-up frame %.2fx\n",
                    median(g["open"]) / median(b["open"]), median(g["held"]) / median(b["held"]),
                    median(g["qt0"]) / median(b["qt0"]), median(g["gl0"]) / median(b["gl0"]));
    }
    return 0;
}
