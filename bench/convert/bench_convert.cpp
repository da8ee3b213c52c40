// Conversion speed and memory against baselines measured in the same run:
// a plain buffered write of a q = 1 tile's bytes to the same directory, and
// memset over a freshly allocated array of that size. Prints the median
// wall-clock and CPU time of several interleaved runs of each.
//
//   bench_convert [--runs N] [--dir DIR]

#include "BenchSupport.h"
#include "ConvertHgt.h"
#include "HgtTile.h"
#include "HgtTileGenerator.h"
#include "TileMeshBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>


namespace {

using BenchSupport::median;

constexpr qint64 Q1Bytes = 207360000;

struct Figure
{
    const char *name;
    std::function<void()> prepare; // untimed
    std::function<void()> work;
    std::vector<double> wall;
    std::vector<double> cpu;

    void run()
    {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        const double cpuStart = BenchSupport::processorMs();
        timer.start();
        work();
        wall.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(BenchSupport::processorMs() - cpuStart);
    }
    double wallMs() const { return median(wall); }
    double cpuMedianMs() const { return median(cpu); }
};

// Runs in a child process so that nothing else has raised the peak.
int probeMemory(const QString &src, const QString &dir)
{
    const qint64 before = BenchSupport::statusKb("VmRSS");
    const ConvertHgt::Outcome outcome = ConvertHgt::convertFile(src, QDir(dir), 1);
    std::printf("%lld %lld %d\n", before, BenchSupport::statusKb("VmHWM"), int(outcome));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--probe-memory"))
        return probeMemory(args.at(2), args.at(3));

    int runs = 7;
    QString base = QDir::currentPath();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--runs"))
            runs = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--dir"))
            base = args.at(i + 1);
    }
    QTemporaryDir work(base + QStringLiteral("/bench_convert-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot make a scratch directory in %s\n", qPrintable(base));
        return 1;
    }
    const QDir dir(work.path());
    const QDir out(dir.filePath(QStringLiteral("out")));
    dir.mkpath(QStringLiteral("out"));
    std::printf("median of %d runs, directory %s\n\n", runs, qPrintable(dir.path()));

    HgtTileGenerator tile;
    tile.fillRelief(49, 14, 1);
    const QString src = dir.filePath(QStringLiteral("N49E014.hgt"));
    tile.save(src);
    QStringList country;
    for (int lat = 48; lat <= 50; ++lat) {
        for (int lon = 12; lon <= 18; ++lon) {
            HgtTileGenerator t;
            t.fillRelief(lat, lon, 1);
            country << dir.filePath(QStringLiteral("N%1E0%2.hgt").arg(lat).arg(lon));
            t.save(country.last());
        }
    }

    const std::vector<char> payload(size_t(Q1Bytes), 'x');
    const QString plainPath = dir.filePath(QStringLiteral("plain.bin"));
    const QByteArray hgt = tile.bytes();

    std::vector<Figure> figures;
    // The baseline and each conversion write a new file in place of their own
    // previous output, removed untimed, so that all get the pages it frees.
    figures.push_back({"plain write of 207,360,000 bytes", [&] { QFile::remove(plainPath); }, [&] {
        QFile file(plainPath);
        file.open(QIODevice::WriteOnly);
        file.write(payload.data(), qint64(payload.size()));
        file.close();
    }, {}, {}});
    figures.push_back({"memset over a fresh array of that size", nullptr, [] {
        char *p = static_cast<char *>(std::malloc(size_t(Q1Bytes)));
        std::memset(p, 1, size_t(Q1Bytes));
        asm volatile("" : : "r"(p) : "memory");
        std::free(p);
    }, {}, {}});
    figures.push_back({"mesh builder alone, q = 1", nullptr, [&] {
        const TileMeshBuilder builder(hgt.constData(), 14, 49, 1);
        QVector<float> v(builder.floatCount());
        builder.buildColumns(v.data(), 0, builder.columnCount());
    }, {}, {}});
    static const char *const convertNames[] = {"convert one tile, q = 1", "convert one tile, q = 2",
        "convert one tile, q = 3", "convert one tile, q = 4", "convert one tile, q = 5"};
    for (int q = 1; q <= 5; ++q) {
        const QDir qOut(out.filePath(QStringLiteral("q%1").arg(q)));
        qOut.mkpath(QStringLiteral("."));
        const QString qTile = qOut.filePath(QStringLiteral("N49E014.chgt"));
        figures.push_back({convertNames[q - 1], [qTile] { QFile::remove(qTile); },
                           [&src, qOut, q] { ConvertHgt::convertFile(src, qOut, q); }, {}, {}});
    }
    figures.push_back({"convert 21 tiles, q = 5, worker thread", nullptr, [&] {
        ConvertHgt worker(country, out.path(), 5);
        worker.start();
        worker.wait();
    }, {}, {}});

    // In a virtual machine the first touch of a page can cost more than the
    // work measured; touch a good amount of memory once and run every figure
    // once untimed, so the figures compete for warm pages alike.
    {
        const size_t warm = size_t(Q1Bytes) * 8;
        char *p = static_cast<char *>(std::malloc(warm));
        if (p)
            std::memset(p, 0, warm);
        asm volatile("" : : "r"(p) : "memory");
        std::free(p);
        for (Figure &f : figures) {
            f.run();
            f.wall.clear();
            f.cpu.clear();
        }
    }
    // Interleaved, so changes in the machine's load hit every figure alike.
    for (int i = 0; i < runs; ++i) {
        for (Figure &f : figures)
            f.run();
    }
    QFile::remove(plainPath);

    std::printf("%-42s %10s %10s\n", "", "wall ms", "cpu ms");
    for (const Figure &f : figures)
        std::printf("%-42s %10.1f %10.1f\n", f.name, f.wallMs(), f.cpuMedianMs());

    const Figure &plain = figures[0];
    const Figure &memset = figures[1];
    const Figure &mesh = figures[2];
    const Figure &q1 = figures[3];
    std::printf("\n%-42s %10s %10s\n", "ratio (goal)", "wall", "cpu");
    std::printf("%-42s %10.2f %10.2f\n", "q = 1 conversion / plain write (<= 1.3)",
                q1.wallMs() / plain.wallMs(), q1.cpuMedianMs() / plain.cpuMedianMs());
    std::printf("%-42s %10.2f %10.2f\n", "q = 1 mesh builder / memset (<= 2.5)",
                mesh.wallMs() / memset.wallMs(), mesh.cpuMedianMs() / memset.cpuMedianMs());

    QProcess probe;
    probe.start(app.applicationFilePath(), {QStringLiteral("--probe-memory"), src, out.path()});
    probe.waitForFinished(-1);
    const QList<QByteArray> fields = probe.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() == 3 && fields.at(2).toInt() == int(ConvertHgt::Outcome::Converted)) {
        const double before = fields.at(0).toDouble() * 1024;
        const double peak = fields.at(1).toDouble() * 1024;
        const double allowed = HgtTile::FileSize + double(Q1Bytes);
        std::printf("\nq = 1 peak memory: %.1f MB above the %.1f MB before the conversion\n"
                    "  = %.3f of source + array (goal <= 1.10)\n",
                    (peak - before) / 1e6, before / 1e6, (peak - before) / allowed);
    } else {
        std::printf("\nmemory probe failed\n");
        return 1;
    }
    return 0;
}
