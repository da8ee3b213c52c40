// Painter view speed and memory against the plain serial paint of every
// stored triangle, measured in the same run: 21 q = 5 tiles (2,419,200
// triangles) painted at 1920 x 1080, the whole window and one tile zoomed;
// load time and bytes held per triangle; chgt2png end to end.
//
//   bench_painter [--runs N] [--dir DIR]
//
// Runs without a display (offscreen platform unless QT_QPA_PLATFORM is set)
// and without widgets: the painter view's drawing code on its own.

#include "BenchSupport.h"
#include "BorderOutline.h"
#include "HgtTileGenerator.h"
#include "MapPainter.h"
#include "TilePolygons.h"
#include "ViewExtent.h"

#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

using BenchSupport::median;
using BenchSupport::timeMs;

const QSize Screen(1920, 1080);
const ViewExtent OneTile{1400.0f, 1500.0f, 4900.0f, 5000.0f};

std::vector<double> repeat(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(timeMs(work));
    return times;
}

// Bytes allocated on the heap (0 where the C library cannot tell).
qint64 heapInUse()
{
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
#else
    return 0;
#endif
}

void trimHeap()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// What the painter view holds and draws: its triangles, the border and
// its drawing code.
struct Map
{
    MapContent content; // a run of triangles per file, as the view holds them
    QVector<QPointF> border = BorderOutline::mapPoints(BorderOutline::readResource());
    MapPainter renderer;

    void load(const QStringList &files)
    {
        QVector<TilePolygons::FileTriangles> read = TilePolygons::readFiles(files);
        for (TilePolygons::FileTriangles &file : read)
            content.addTriangles(file);
    }
};

QImage plainPaint(const Map &map, const ViewExtent &extent)
{
    QImage image(Screen, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    MapPainter::paintPlain(painter, Screen, ViewExtentMath::windowRect(extent), map.content.polygons(),
                           map.border, true);
    return image;
}

// The view's own drawing, into an image of the screen's size.
QImage viewPaint(Map &map, const ViewExtent &extent)
{
    QImage image(Screen, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    map.renderer.paint(painter, Screen, ViewExtentMath::windowRect(extent), map.content,
                       map.border, true);
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    int runs = 5;
    QString dirPath;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--dir"))
            dirPath = args[i + 1];
    }
    QTemporaryDir temp;
    if (dirPath.isEmpty())
        dirPath = temp.path();
    QDir().mkpath(dirPath);
    const QStringList files = BenchSupport::countryTiles(QDir(dirPath), 5);

    std::printf("painter view benchmark: %d tiles at q = 5, %dx%d, medians of %d runs, %d threads\n",
                int(files.size()), Screen.width(), Screen.height(), runs, QThread::idealThreadCount());

    // Loading, and what the stored triangles hold.
    std::vector<double> loads;
    double bytesPerTriangle = 0.0;
    qint64 triangles = 0;
    for (int i = 0; i < std::max(3, runs / 2); ++i) {
        trimHeap();
        const qint64 before = heapInUse();
        Map map;
        loads.push_back(timeMs([&] { map.load(files); }));
        triangles = map.content.polygons().size();
        bytesPerTriangle = double(heapInUse() - before) / double(triangles);
    }
    std::printf("load %lld triangles:            %9.1f ms\n", triangles, median(loads));
    std::printf("heap held per stored triangle:   %9.1f bytes\n", bytesPerTriangle);

    Map view;
    view.load(files);

    struct Case
    {
        const char *name;
        ViewExtent extent;
        double goal;
    };
    const Case cases[] = {{"whole window", ViewExtentMath::scaled(ViewExtentMath::InitialDegrees, 100.0), 4.0},
                          {"one tile zoomed", OneTile, 20.0}};
    bool allMet = true;
    for (const Case &c : cases) {
        // Same picture, or the figures mean nothing.
        const QImage reference = plainPaint(view, c.extent);
        const bool same = viewPaint(view, c.extent) == reference;
        // Runs take turns, so a change in the machine's load hits all alike.
        std::vector<double> plain, fast, serial, plainCpu, fastCpu;
        for (int r = 0; r < runs; ++r) {
            double cpu = BenchSupport::processorMs();
            plain.push_back(timeMs([&] { plainPaint(view, c.extent); }));
            plainCpu.push_back(BenchSupport::processorMs() - cpu);
            cpu = BenchSupport::processorMs();
            fast.push_back(timeMs([&] { viewPaint(view, c.extent); }));
            fastCpu.push_back(BenchSupport::processorMs() - cpu);
            // The same without threads: culling and brush reuse alone.
            view.renderer.setMode(MapPainter::Mode::Serial);
            serial.push_back(timeMs([&] { viewPaint(view, c.extent); }));
            view.renderer.setMode(MapPainter::Mode::Automatic);
        }
        const double ratio = median(plain) / median(fast);
        const bool met = same && ratio >= c.goal;
        allMet = allMet && met;
        std::printf("%-16s plain serial %8.1f ms, view %8.1f ms, %5.2fx (goal %.0fx) %s%s\n", c.name,
                    median(plain), median(fast), ratio, c.goal, same ? "same pixels" : "PIXELS DIFFER",
                    met ? "" : "  NOT MET");
        std::printf("%-16s   view on one thread %8.1f ms, %5.2fx; processor time plain %.1f ms, view %.1f ms\n",
                    "", median(serial), median(plain) / median(serial), median(plainCpu), median(fastCpu));
        viewPaint(view, c.extent);
        std::printf("%-16s   triangles painted %lld, of them filled without QPainter %lld\n", "",
                    view.renderer.lastPaintedTriangles(), view.renderer.lastFilledTriangles());
    }
    // The status bar's readout: the topmost triangle under the pointer,
    // looked up at every mouse move.
    {
        std::vector<double> lookups;
        int found = 0;
        for (int r = 0; r < runs; ++r) {
            lookups.push_back(timeMs([&] {
                for (int i = 0; i < 1000; ++i) {
                    const QPointF at(12.0 + 7.0 * i / 1000.0, 48.0 + 3.0 * ((i * 37) % 1000) / 1000.0);
                    found += MapPainter::colorAt(view.content, at).isValid();
                }
            }) / 1000.0);
        }
        std::printf("pointer readout lookup:          %9.3f ms per move (%d of %d hit a tile)\n",
                    median(lookups), found / runs, 1000);
    }
    std::printf("band images held by the view:    %9.1f MB\n",
                double(view.renderer.bandImageBytes()) / (1 << 20));

    // chgt2png from start to the written PNG.
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/chgt2png");
    if (QFile::exists(tool)) {
        const QString out = QDir(dirPath).filePath(QStringLiteral("bench.png"));
        int exitCode = 0;
        const std::vector<double> times = repeat(std::max(3, runs / 2), [&] {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            process.setStandardErrorFile(QProcess::nullDevice());
            process.start(tool, QStringList{"--size", "1920x1080", "-o", out} + files);
            process.waitForFinished(-1);
            exitCode = process.exitCode();
        });
        std::printf("chgt2png 21 tiles to 1920x1080:  %9.1f ms (exit %d)\n", median(times), exitCode);
    } else {
        std::printf("chgt2png not built next to this program; skipped\n");
    }
    return allMet ? 0 : 1;
}
