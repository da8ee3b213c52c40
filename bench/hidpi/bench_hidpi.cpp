// The painter view's full-window repaint on a high-DPI screen against the
// same repaint at device pixel ratio 1: 21 q = 5 tiles (2,419,200 triangles)
// in a shown window of the same logical size, once with QT_SCALE_FACTOR=1 and
// once with QT_SCALE_FACTOR=2 (four times the pixels). Each scale factor
// runs in a process of its own, the two taking turns; the goal is at most
// 4.5 times the ratio-1 time. The ratio-2 repaint without bands (the plain
// QPainter path high-DPI devices used to get) is timed beside it.
//
//   bench_hidpi [--runs N] [--rounds N] [--dir DIR] [--size WxH]
//
// Runs without a display (offscreen platform unless QT_QPA_PLATFORM is set).

#include "BenchSupport.h"
#include "DrawQtWdg.h"
#include "MapPainter.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using BenchSupport::median;
using BenchSupport::timeMs;

struct ChildResult
{
    std::vector<double> fast, plain;
    double ratio = 0;
    qint64 filled = 0;
    qint64 bandBytes = 0;
    qint64 peakKb = 0;
    qint64 heldKb = 0;
};

// One process at one scale factor: shows the view, times full repaints.
int child(const QStringList &files, QSize size, int runs)
{
    DrawQtWdg view;
    view.resize(size);
    view.createHeightsBuffer(files);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view, 30000))
        return 3;
    view.repaint(); // band images allocated, caches warm
    std::vector<double> fast, plain;
    for (int r = 0; r < runs; ++r) {
        view.mapPainter().setMode(MapPainter::Mode::Automatic);
        fast.push_back(timeMs([&] { view.repaint(); }));
        view.mapPainter().setMode(MapPainter::Mode::Serial);
        plain.push_back(timeMs([&] { view.repaint(); }));
    }
    view.mapPainter().setMode(MapPainter::Mode::Automatic);
    view.repaint();
    std::printf("ratio %.2f filled %lld bands %lld held %lld peak %lld\n", view.devicePixelRatioF(),
                view.mapPainter().lastFilledTriangles(), view.mapPainter().bandImageBytes(),
                BenchSupport::statusKb("VmRSS"), BenchSupport::statusKb("VmHWM"));
    for (double t : fast)
        std::printf("fast %.3f\n", t);
    for (double t : plain)
        std::printf("plain %.3f\n", t);
    return 0;
}

bool runChild(const QString &scale, const QStringList &args, ChildResult &into)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationFilePath(), args);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "child at scale %s failed: %s\n", qPrintable(scale),
                     process.readAllStandardError().constData());
        return false;
    }
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n');
    for (const QString &line : lines) {
        const QStringList f = line.split(' ', Qt::SkipEmptyParts);
        if (f.size() == 2 && f[0] == QLatin1String("fast"))
            into.fast.push_back(f[1].toDouble());
        else if (f.size() == 2 && f[0] == QLatin1String("plain"))
            into.plain.push_back(f[1].toDouble());
        else if (f.size() == 10 && f[0] == QLatin1String("ratio")) {
            into.ratio = f[1].toDouble();
            into.filled = f[3].toLongLong();
            into.bandBytes = f[5].toLongLong();
            into.heldKb = std::max(into.heldKb, f[7].toLongLong());
            into.peakKb = std::max(into.peakKb, f[9].toLongLong());
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int runs = 5;
    int rounds = 3;
    QString dirPath;
    QSize size(1280, 720);
    bool isChild = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, next.toInt());
        else if (args[i] == QLatin1String("--rounds"))
            rounds = std::max(1, next.toInt());
        else if (args[i] == QLatin1String("--dir"))
            dirPath = next;
        else if (args[i] == QLatin1String("--size"))
            size = QSize(next.section('x', 0, 0).toInt(), next.section('x', 1, 1).toInt());
        else if (args[i] == QLatin1String("--child"))
            isChild = true;
    }
    QTemporaryDir temp;
    if (dirPath.isEmpty())
        dirPath = temp.path();
    QDir().mkpath(dirPath);
    const QStringList files = BenchSupport::countryTiles(QDir(dirPath), 5);
    if (isChild)
        return child(files, size, runs);

    std::printf("high-DPI painter benchmark: %d tiles at q = 5, window %dx%d logical, "
                "%d rounds of %d repaints per scale factor, %d threads, platform %s\n",
                int(files.size()), size.width(), size.height(), rounds, runs, QThread::idealThreadCount(),
                qPrintable(QGuiApplication::platformName()));
    const QStringList childArgs{"--child", "--runs", QString::number(runs), "--dir", dirPath, "--size",
                                QStringLiteral("%1x%2").arg(size.width()).arg(size.height())};
    ChildResult one, two;
    for (int r = 0; r < rounds; ++r) {
        if (!runChild(QStringLiteral("1"), childArgs, one) || !runChild(QStringLiteral("2"), childArgs, two))
            return 2;
    }
    const double ratio = median(two.fast) / median(one.fast);
    const bool met = ratio <= 4.5 && two.filled > 0;
    std::printf("ratio %.0f: repaint %8.1f ms (without bands %8.1f ms), triangles filled directly %lld\n",
                one.ratio, median(one.fast), median(one.plain), one.filled);
    std::printf("ratio %.0f: repaint %8.1f ms (without bands %8.1f ms), triangles filled directly %lld\n",
                two.ratio, median(two.fast), median(two.plain), two.filled);
    std::printf("ratio 2 / ratio 1: %.2fx (goal at most 4.5x) %s; ratio 2 bands against without: %.2fx faster\n",
                ratio, met ? "met" : "NOT MET", median(two.plain) / median(two.fast));
    std::printf("band images held: %.1f MB at ratio 1, %.1f MB at ratio 2\n",
                double(one.bandBytes) / (1 << 20), double(two.bandBytes) / (1 << 20));
    std::printf("process memory held / peak: %.0f / %.0f MB at ratio 1, %.0f / %.0f MB at ratio 2\n",
                one.heldKb / 1024.0, one.peakKb / 1024.0, two.heldKb / 1024.0, two.peakKb / 1024.0);
    return met ? 0 : 1;
}
