// The country's 21 tiles (N48-N50, E012-E018) imported from Copernicus-like
// GeoTIFFs (float32, 1 arc-second, 3600 columns south of 50 N and 2400 from
// 50 N, each tile's east column and south row left out, deflate-compressed
// in blocks of 1024 pixels as the Copernicus tiles are), two ways, in turns:
//   pipeline: one gdalwarp per tile with the import's rule, as many at once
//             as there are processors, writing HGT tiles; then hgt2chgt -j
//   rzmap:    hgt2chgt -j with the GeoTIFFs themselves
// Prints each run's times and ratio, with both ways' page faults and how
// fast the machine hands out fresh memory just then; the medians, the
// median of the runs' ratios (goal: at most 0.6; within a run the two ways
// meet the same machine, which drifts by a tenth and more between runs),
// the peak memory of each process, and whether both give the same bytes
// (the pipeline's HGT voids coloured, the import's no-data cells left out).
// Then the peak memory of rzmap's import at every quantity (goal: under
// 1 GB).
//   bench_rasterimport [--runs N] [--quantity Q] [--block B] [--overviews] [--keep DIR]
#include "BenchSupport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QTextStream out(stdout);

// Smooth relief over whole degrees, so neighbouring rasters meet.
float reliefAt(double lon, double lat)
{
    const double v = 0.5 + 0.25 * std::sin(lon * 5.1 + 0.3) * std::cos(lat * 4.3)
                     + 0.15 * std::sin(lon * 23.0 + lat * 17.0) + 0.1 * std::cos(lon * 61.0 - lat * 47.0);
    return float(-40.0 + 1900.0 * std::pow(std::max(0.0, v), 1.6));
}

// One Copernicus-like tile: posts from the west edge on and from the north
// edge down, the east column and the south row belonging to neighbours.
bool makeRaster(const QString &path, int lat, int lon, int block, bool overviews)
{
    const int rows = 3600;
    const int columns = lat >= 50 ? 2400 : 3600;
    GDALDriverH tiff = GDALGetDriverByName("GTiff");
    char **options = nullptr;
    options = CSLSetNameValue(options, "COMPRESS", "DEFLATE");
    options = CSLSetNameValue(options, "PREDICTOR", "3");
    options = CSLSetNameValue(options, "TILED", "YES");
    const QByteArray side = QByteArray::number(block);
    options = CSLSetNameValue(options, "BLOCKXSIZE", side.constData());
    options = CSLSetNameValue(options, "BLOCKYSIZE", side.constData());
    GDALDatasetH ds = GDALCreate(tiff, path.toUtf8().constData(), columns, rows, 1, GDT_Float32, options);
    CSLDestroy(options);
    if (!ds)
        return false;
    const double dx = 1.0 / columns, dy = 1.0 / rows;
    double transform[6] = {lon - dx / 2, dx, 0, lat + 1 + dy / 2, 0, -dy};
    GDALSetGeoTransform(ds, transform);
    OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(wgs84, 4326);
    GDALSetSpatialRef(ds, wgs84);
    OSRDestroySpatialReference(wgs84);
    GDALRasterBandH band = GDALGetRasterBand(ds, 1);
    std::vector<float> line(size_t(columns) * 512);
    bool ok = true;
    for (int y0 = 0; ok && y0 < rows; y0 += 512) {
        const int n = std::min(512, rows - y0);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < columns; ++x)
                line[size_t(y) * columns + x] = reliefAt(lon + x * dx, lat + 1 - (y0 + y) * dy);
        ok = GDALRasterIO(band, GF_Write, 0, y0, columns, n, line.data(), columns, n, GDT_Float32, 0, 0)
             == CE_None;
    }
    if (ok && overviews) {
        // Inside the file, compressed as the full resolution, as a
        // cloud-optimised GeoTIFF has them.
        CPLSetConfigOption("COMPRESS_OVERVIEW", "DEFLATE");
        CPLSetConfigOption("PREDICTOR_OVERVIEW", "3");
        CPLSetConfigOption("GDAL_TIFF_OVR_BLOCKSIZE", side.constData());
        int levels[] = {2, 4, 8};
        ok = GDALBuildOverviews(ds, "AVERAGE", 3, levels, 0, nullptr, nullptr, nullptr) == CE_None;
    }
    GDALClose(ds);
    return ok;
}

struct Run
{
    double ms = 0;
    qint64 peakKb = 0; // the largest child's
    double cpuMs = 0; // the children's user and system time
    double sysMs = 0;
    qint64 faults = 0; // the children's minor page faults, summed
    bool ok = true;
};

// How fast this machine hands out memory never touched before, in MB/s:
// on this virtual machine it changes from one period to the next, and the
// way that touches more fresh memory loses more when it is slow.
double freshMemoryMBps()
{
    constexpr size_t Bytes = size_t(64) << 20;
    void *memory = mmap(nullptr, Bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return 0;
    const long page = sysconf(_SC_PAGESIZE);
    QElapsedTimer clock;
    clock.start();
    auto *bytes = static_cast<volatile char *>(memory);
    for (size_t i = 0; i < Bytes; i += size_t(page))
        bytes[i] = 1;
    const double seconds = clock.nsecsElapsed() / 1e9;
    munmap(memory, Bytes);
    return seconds > 0 ? 64 / seconds : 0;
}

// Runs commands, at most jobs at once; wall time and each child's peak.
Run runAll(const std::vector<QStringList> &commands, int jobs)
{
    Run run;
    QElapsedTimer clock;
    clock.start();
    size_t next = 0;
    int running = 0;
    while (next < commands.size() || running > 0) {
        while (running < jobs && next < commands.size()) {
            const QStringList &c = commands[next++];
            std::vector<QByteArray> args;
            for (const QString &a : c)
                args.push_back(a.toLocal8Bit());
            std::vector<char *> argv;
            for (QByteArray &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            const pid_t pid = fork();
            if (pid == 0) {
                freopen("/dev/null", "w", stdout);
                freopen("/dev/null", "w", stderr);
                execvp(argv[0], argv.data());
                _exit(127);
            }
            ++running;
        }
        int status = 0;
        rusage usage{};
        if (wait4(-1, &status, 0, &usage) > 0) {
            --running;
            run.peakKb = std::max<qint64>(run.peakKb, usage.ru_maxrss);
            const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
            run.cpuMs += ms(usage.ru_utime) + ms(usage.ru_stime);
            run.sysMs += ms(usage.ru_stime);
            run.faults += usage.ru_minflt;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                run.ok = false;
        }
    }
    run.ms = clock.nsecsElapsed() / 1e6;
    return run;
}

QString fixed(double v) { return QString::number(v, 'g', 17); }

// One command per tile: gdalwarp with the import's rule, every raster a source.
std::vector<QStringList> warpCommands(const QStringList &rasters, const QDir &hgtDir)
{
    std::vector<QStringList> commands;
    for (int lat = 48; lat <= 50; ++lat)
        for (int lon = 12; lon <= 18; ++lon) {
            const double half = 0.5 / 1200;
            QStringList c{"gdalwarp", "-q", "-overwrite", "-t_srs", "EPSG:4326", "-te",
                            fixed(lon - half), fixed(lat - half), fixed(lon + 1 + half), fixed(lat + 1 + half),
                          "-ts", "1201", "1201", "-r", "bilinear", "-ot", "Int16", "-et", "0",
                            "-dstnodata", "-32768", "-of", "SRTMHGT"};
            c << rasters << hgtDir.filePath(BenchSupport::tileName(lat, lon, "hgt"));
            commands.push_back(c);
        }
    return commands;
}

QByteArray contentsOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The pipeline's tile as the import writes it: the cells whose sample is
// the void (no data) left out, the last sample read standing in past the
// last row and column.
QByteArray withoutVoids(const QByteArray &hgt, const QByteArray &full, int q)
{
    const int side = 1199 / q + 1;
    if (hgt.size() != 1201 * 1201 * 2 || full.size() != qint64(side) * side * 144)
        return QByteArray();
    QByteArray kept;
    qint16 h = 0;
    for (int k = 0; k < side; ++k)
        for (int m = 0; m < side; ++m) {
            const int c = 1 + k * q, r = 1 + m * q;
            if (c <= 1199 && r <= 1199) {
                const uchar *p = reinterpret_cast<const uchar *>(hgt.constData()) + 2 * ((1201 - r) * 1201 + c);
                h = qint16((p[0] << 8) | p[1]);
            }
            if (h != -32768)
                kept.append(full.constData() + (qint64(k) * side + m) * 144, 144);
        }
    return kept;
}

// Each tile's bytes by name, hashed: the steps' tiles are compared once
// both have run, but not kept meanwhile.
using Digests = QMap<QString, size_t>;

// The pipeline's tiles with its voids left out, as the import writes them.
Digests pipelineDigests(const QDir &hgtDir, const QDir &pipeOut, int q)
{
    Digests digests;
    for (const QString &name : pipeOut.entryList({"*.chgt"}, QDir::Files, QDir::Name)) {
        const QString hgt = hgtDir.filePath(QString(name).replace(".chgt", ".hgt"));
        digests.insert(name, qHash(withoutVoids(contentsOf(hgt), contentsOf(pipeOut.filePath(name)), q)));
    }
    return digests;
}

Digests tileDigests(const QDir &dir)
{
    Digests digests;
    for (const QString &name : dir.entryList({"*.chgt"}, QDir::Files, QDir::Name))
        digests.insert(name, qHash(contentsOf(dir.filePath(name))));
    return digests;
}

// How many of the import's tiles are the pipeline's, byte for byte; -1 when
// the two give different sets of tiles.
int sameTiles(const Digests &pipeline, const Digests &ours)
{
    if (pipeline.keys() != ours.keys())
        return -1;
    int same = 0;
    for (auto it = ours.begin(); it != ours.end(); ++it)
        same += pipeline.value(it.key()) == it.value() ? 1 : 0;
    return same;
}

void emptied(const QDir &dir)
{
    QDir(dir.path()).removeRecursively();
    QDir().mkpath(dir.path());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption runsOption("runs", "Runs of each (default 3).", "N", "3");
    const QCommandLineOption quantityOption("quantity", "Quantity (default 2).", "Q", "2");
    const QCommandLineOption blockOption("block", "Side of the rasters' blocks (default 1024).", "B", "1024");
    const QCommandLineOption keepOption("keep", "Folder to keep the rasters in between runs.", "DIR");
    const QCommandLineOption overviewsOption("overviews", "Give the rasters overviews of 2, 4 and 8.");
    parser.addOptions({runsOption, quantityOption, blockOption, keepOption, overviewsOption});
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const QString q = QString::number(std::clamp(parser.value(quantityOption).toInt(), 1, 5));
    const int jobs = QThread::idealThreadCount();
    const int block = std::clamp(parser.value(blockOption).toInt() / 16 * 16, 16, 4096);
    const bool overviews = parser.isSet(overviewsOption);

    const QString hgt2chgt = QCoreApplication::applicationDirPath() + "/hgt2chgt";
    if (QStandardPaths::findExecutable("gdalwarp").isEmpty()) {
        out << "bench_rasterimport: gdalwarp is missing (gdal-bin)\n";
        return 1;
    }
    GDALAllRegister();
    QTemporaryDir work;
    const QDir rasterDir((parser.isSet(keepOption) ? parser.value(keepOption) : work.path())
                         + QString("/blocks%1").arg(block) + (overviews ? "-overviews" : ""));
    QDir().mkpath(rasterDir.path());
    QStringList rasters;
    QElapsedTimer made;
    made.start();
    for (int lat = 48; lat <= 50; ++lat)
        for (int lon = 12; lon <= 18; ++lon) {
            const QString path = rasterDir.filePath(BenchSupport::tileName(lat, lon, "tif"));
            if (!QFileInfo::exists(path) && !makeRaster(path, lat, lon, block, overviews)) {
                out << "bench_rasterimport: cannot write " << path << "\n";
                return 1;
            }
            rasters << path;
        }
    out << "21 Copernicus-like GeoTIFFs (blocks of " << block << (overviews ? ", overviews 2, 4, 8" : "")
        << ") ready in " << made.elapsed() << " ms, jobs " << jobs
        << ", quantity " << q << Qt::endl;

    std::vector<double> pipelineMs, warpMs, oursMs, ratios;
    qint64 pipelinePeak = 0, oursPeak = 0;
    int same = -1;
    for (int r = 0; r < runs; ++r) {
        const QDir hgtDir(work.filePath("hgt")), pipeOut(work.filePath("pipe")), ourOut(work.filePath("ours"));
        // Each step starts with nothing of the steps before it left, on
        // disk or to write, and the two ways take turns at going first.
        // This machine hands freed memory back to its host after a while:
        // a step that found the gigabyte of tiles before it still on disk
        // wrote its own into fresh pages, at up to twice the time.
        const double fresh = freshMemoryMBps();
        Run warp, convert, ours;
        QStringList hgts;
        Digests pipelineTiles, ourTiles;
        const auto pipeline = [&] {
            emptied(hgtDir);
            emptied(pipeOut);
            sync();
            warp = runAll(warpCommands(rasters, hgtDir), jobs);
            for (const QString &name : hgtDir.entryList({"*.hgt"}, QDir::Files, QDir::Name))
                hgts << hgtDir.filePath(name);
            sync();
            convert = runAll({QStringList{hgt2chgt, "-q", q, "-j", QString::number(jobs), "-o",
                                          pipeOut.path()} + hgts}, 1);
            pipelineTiles = pipelineDigests(hgtDir, pipeOut, q.toInt());
            emptied(hgtDir);
            emptied(pipeOut);
        };
        const auto rzmap = [&] {
            emptied(ourOut);
            sync();
            ours = runAll({QStringList{hgt2chgt, "-q", q, "-j", QString::number(jobs), "-o",
                                       ourOut.path()} + rasters}, 1);
            ourTiles = tileDigests(ourOut);
            emptied(ourOut);
        };
        if (r % 2 == 0) {
            pipeline();
            rzmap();
        } else {
            rzmap();
            pipeline();
        }
        if (!warp.ok || !convert.ok || !ours.ok || hgts.size() != 21) {
            out << "bench_rasterimport: a step failed (" << hgts.size() << " HGT tiles)\n";
            return 1;
        }
        warpMs.push_back(warp.ms);
        pipelineMs.push_back(warp.ms + convert.ms);
        oursMs.push_back(ours.ms);
        ratios.push_back(ours.ms / pipelineMs.back());
        pipelinePeak = std::max({pipelinePeak, warp.peakKb, convert.peakKb});
        oursPeak = std::max(oursPeak, ours.peakKb);
        same = sameTiles(pipelineTiles, ourTiles);
        out << "run " << r + 1 << ": pipeline " << qRound(warp.ms) << " + " << qRound(convert.ms)
            << " ms, rzmap " << qRound(ours.ms) << " ms (processor " << qRound(ours.cpuMs) << " ms, of it system "
            << qRound(ours.sysMs) << " ms), ratio " << QString::number(ratios.back(), 'f', 3) << "; page faults: pipeline "
            << (warp.faults + convert.faults) / 1000 << "k, rzmap " << ours.faults / 1000 << "k; fresh memory "
            << qRound(fresh) << " MB/s" << Qt::endl;
    }
    const double p = BenchSupport::median(pipelineMs), o = BenchSupport::median(oursMs);
    out << "pipeline (gdalwarp x21 then hgt2chgt -j " << jobs << "): median " << qRound(p) << " ms (warp "
        << qRound(BenchSupport::median(warpMs)) << " ms), peak " << pipelinePeak / 1024 << " MB per process\n"
        << "rzmap (hgt2chgt -j " << jobs << " on the GeoTIFFs): median " << qRound(o) << " ms, peak "
        << oursPeak / 1024 << " MB\n"
        << "ratio " << QString::number(BenchSupport::median(ratios), 'f', 2)
        << " (median of the runs' ratios; goal <= 0.60), of the medians " << QString::number(o / p, 'f', 2)
        << "; tiles identical to the "
        << "pipeline's with its voids left out: " << same << " of 21" << Qt::endl;

    // Peak memory of the import at every quantity.
    for (int k = 1; k <= 5; ++k) {
        const QDir dir(work.filePath(QString("q%1").arg(k)));
        QDir().mkpath(dir.path());
        sync();
        const Run run = runAll({QStringList{hgt2chgt, "-q", QString::number(k), "-j", QString::number(jobs),
                                            "-o", dir.path()} + rasters}, 1);
        out << "q = " << k << ": " << qRound(run.ms) << " ms, peak " << run.peakKb / 1024 << " MB"
            << (run.ok ? "" : " (failed)") << Qt::endl;
        QDir(dir.path()).removeRecursively();
    }
    return same == 21 ? 0 : 1;
}
