// Opening the 21 q = 5 tiles in both views as "Otevřít..." does (both views
// loaded, each file read once for both), against a
// plain serial read-and-build of the same files measured in the same run:
// each file read whole and built into polygons one after another, then each
// file read again and uploaded into a buffer. Every measurement runs in a
// fresh process (the first open of a session, heap included), the two kinds
// taking turns; the page cache is warm for both.
//
//   bench_open [--runs N] [--dir DIR]
//
// Needs a display with OpenGL, e.g.
//   xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1 bench_open

#include "ColoredPolygon.h"
#include "BenchSupport.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "HgtTileGenerator.h"
#include "OpenTiles.h"
#include "TileGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using BenchSupport::median;

// The baseline: one file after another, read whole, one polygon per
// triangle appended to the list; then each file read again and uploaded.
qint64 plainOpen(const QStringList &files, DrawGLWdg &gl, QVector<ColoredPolygon> &polygons)
{
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const float *f = reinterpret_cast<const float *>(bytes.constData());
        for (qsizetype i = 0; i + 18 <= bytes.size() / 4; i += 18) {
            ColoredPolygon cp;
            cp.polygon << QPointF(100.0 * f[i], 100.0 * f[i + 1]) << QPointF(100.0 * f[i + 6], 100.0 * f[i + 7])
                       << QPointF(100.0 * f[i + 12], 100.0 * f[i + 13]);
            cp.color = QColor::fromRgbF(f[i + 3], f[i + 4], f[i + 5]);
            polygons.append(cp);
        }
    }
    gl.makeCurrent();
    QOpenGLFunctions *fn = QOpenGLContext::currentContext()->functions();
    qint64 uploaded = 0;
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        GLuint id = 0;
        fn->glGenBuffers(1, &id);
        fn->glBindBuffer(GL_ARRAY_BUFFER, id);
        fn->glBufferData(GL_ARRAY_BUFFER, bytes.size(), bytes.constData(), GL_STATIC_DRAW);
        fn->glBindBuffer(GL_ARRAY_BUFFER, 0);
        uploaded += id != 0;
    }
    fn->glFinish();
    gl.doneCurrent();
    return uploaded;
}

// One open in this process; prints "ms=... kb=... triangles=... tiles=...".
int child(const QString &kind, const QStringList &files)
{
    // Page cache warm, as for the other kind.
    for (const QString &path : files) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            file.readAll();
    }
    DrawGLWdg gl;
    gl.resize(1920, 1080);
    gl.show();
    if (!QTest::qWaitForWindowExposed(&gl) || !gl.hasBufferObjects()) {
        std::fprintf(stderr, "no OpenGL view with buffer objects\n");
        return 1;
    }
    // Hidden, so only loading counts, not the redraw that follows.
    gl.hide();
    DrawQtWdg qt;
    qt.setAttribute(Qt::WA_DontShowOnScreen);
    QVector<ColoredPolygon> plainPolygons;

    const qint64 before = BenchSupport::statusKb("VmRSS");
    const double cpuBefore = BenchSupport::processorMs();
    QElapsedTimer timer;
    timer.start();
    qint64 triangles = 0, tiles = 0;
    if (kind == QLatin1String("plain")) {
        tiles = plainOpen(files, gl, plainPolygons);
        triangles = plainPolygons.size();
    } else {
        OpenTiles::intoViews(files, qt, gl);
        gl.makeCurrent();
        glFinish();
        gl.doneCurrent();
        // Regular tiles are held as grids: their cells' two triangles count.
        triangles = qt.storedPolygons().size();
        for (const MapContent::Entry &e : qt.mapContent().entries())
            if (e.grid)
                triangles += 2 * qint64(e.grid->side()) * e.grid->side();
        tiles = gl.tileCount();
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    const double cpu = BenchSupport::processorMs() - cpuBefore;
    // What stays once the window is idle again.
    QCoreApplication::processEvents();
    const qint64 held = BenchSupport::statusKb("VmRSS") - before;
    const qint64 peak = BenchSupport::statusKb("VmHWM") - before;
    std::printf("ms=%.3f cpu=%.3f held=%lld peak=%lld triangles=%lld tiles=%lld\n", ms, cpu, held, peak,
                triangles, tiles);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int runs = 5;
    QString dirPath;
    QString childKind;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--dir"))
            dirPath = args[i + 1];
        else if (args[i] == QLatin1String("--child"))
            childKind = args[i + 1];
    }
    QTemporaryDir temp;
    if (dirPath.isEmpty())
        dirPath = temp.path();
    QDir().mkpath(dirPath);
    const QStringList files = BenchSupport::countryTiles(QDir(dirPath), 5);
    if (!childKind.isEmpty())
        return child(childKind, files);

    std::printf("opening 21 tiles at q = 5 in both views, a fresh process per run, medians of %d runs\n", runs);
    struct Figures
    {
        std::vector<double> ms, cpuMs, heldKb, peakKb;
        qint64 triangles = 0, tiles = 0;
    };
    Figures plain, program;
    const QRegularExpression line(
        QStringLiteral("ms=([0-9.]+) cpu=([0-9.]+) held=(-?\\d+) peak=(-?\\d+) triangles=(\\d+) tiles=(\\d+)"));
    for (int r = 0; r < runs; ++r) {
        for (auto [kind, figures] : {std::pair{"plain", &plain}, std::pair{"program", &program}}) {
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(QCoreApplication::applicationFilePath(),
                          {"--dir", dirPath, "--child", QLatin1String(kind)});
            process.waitForFinished(-1);
            const QRegularExpressionMatch m = line.match(QString::fromLatin1(process.readAllStandardOutput()));
            if (process.exitCode() != 0 || !m.hasMatch()) {
                std::fprintf(stderr, "the %s run failed\n", kind);
                return 1;
            }
            figures->ms.push_back(m.captured(1).toDouble());
            figures->cpuMs.push_back(m.captured(2).toDouble());
            figures->heldKb.push_back(m.captured(3).toDouble());
            figures->peakKb.push_back(m.captured(4).toDouble());
            figures->triangles = m.captured(5).toLongLong();
            figures->tiles = m.captured(6).toLongLong();
        }
    }
    const double ratio = median(program.ms) / median(plain.ms);
    for (auto [name, f] : {std::pair{"plain serial read-and-build", &plain}, std::pair{"rzmap, both views", &program}}) {
        std::printf("%-28s %8.1f ms (processor %.1f ms), %lld triangles, %lld tiles; memory held %.1f MB, "
                    "peak %.1f MB (%.1f and %.1f bytes per triangle)\n",
                    name, median(f->ms), median(f->cpuMs), f->triangles, f->tiles, median(f->heldKb) / 1024,
                    median(f->peakKb) / 1024, median(f->heldKb) * 1024 / double(f->triangles),
                    median(f->peakKb) * 1024 / double(f->triangles));
    }
    std::printf("ratio rzmap / plain: %.2f (goal at most 0.50)\n", ratio);
    return ratio <= 0.5 ? 0 : 1;
}
