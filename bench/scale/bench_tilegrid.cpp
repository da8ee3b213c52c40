// Recognising regular tiles and holding them as cell grids, against a plain
// read of the same file from the page cache (the baseline, same run):
//   read      RegularFile::readAll into a reused buffer (one copy out of the cache)
//   map+touch mapping the file and reading every 32-bit word (no check)
//   map+check MappedFile + TileGrid::recognise (what an open would do)
//   check     TileGrid::recognise over bytes already in memory
// then the speed of making vertices from a grid (TileLevel::writeCells),
// and, with --country, the 21 tiles N48-N50 x E012-E018 at q = 1 recognised
// on two threads. Medians of --runs interleaved runs; memory held per cell
// and the peak of the process.
//
//   bench_tilegrid [--runs N] [--dir DIR] [--country]

#include "BenchSupport.h"
#include "MappedFile.h"
#include "PoolTask.h"
#include "RegularFile.h"
#include "TileGrid.h"
#include "TileLevel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using BenchSupport::median;

quint32 touch(const char *data, qint64 size)
{
    quint32 acc = 0;
    for (qint64 i = 0; i + 4 <= size; i += 4) {
        quint32 w;
        std::memcpy(&w, data + i, 4);
        acc ^= w;
    }
    return acc;
}

TileGrid mapAndCheck(const QString &path)
{
    MappedFile file;
    if (!file.open(path, TileGrid::fileBytes(1)))
        return {};
    return TileGrid::recognise(file.data(), file.size());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int runs = 7;
    QString base = QDir::currentPath();
    bool country = false;
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size())
            runs = qMax(1, args.at(++i).toInt());
        else if (args.at(i) == QLatin1String("--dir") && i + 1 < args.size())
            base = args.at(++i);
        else if (args.at(i) == QLatin1String("--country"))
            country = true;
    }
    QDir dir(base);
    dir.mkpath(QStringLiteral("bench_tilegrid_tiles"));
    dir.cd(QStringLiteral("bench_tilegrid_tiles"));
    std::printf("making tiles in %s\n", qPrintable(dir.path()));
    const QString tile = BenchSupport::makeTile(dir, 49, 14, 1);
    const double mb = TileGrid::fileBytes(1) / 1e6;

    QByteArray buffer;
    RegularFile::readAll(tile, TileGrid::fileBytes(1), buffer); // warms the page cache
    const qint64 rssStart = BenchSupport::statusKb("VmRSS");

    std::vector<double> read, mapTouch, mapCheck, check;
    volatile quint32 sink = 0;
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        read.push_back(BenchSupport::timeMs([&] { ok &= RegularFile::readAll(tile, TileGrid::fileBytes(1), buffer); }));
        mapTouch.push_back(BenchSupport::timeMs([&] {
            MappedFile file;
            ok &= file.open(tile, TileGrid::fileBytes(1));
            sink = sink ^ touch(file.data(), file.size());
        }));
        mapCheck.push_back(BenchSupport::timeMs([&] { ok &= !mapAndCheck(tile).isNull(); }));
        check.push_back(BenchSupport::timeMs([&] {
            ok &= !TileGrid::recognise(buffer.constData(), buffer.size()).isNull();
        }));
    }
    if (!ok) {
        std::printf("FAILED: the tile was not read or not recognised\n");
        return 1;
    }
    const double base_ = median(read);
    auto line = [&](const char *name, const std::vector<double> &t) {
        std::printf("%-10s %8.1f ms  %7.0f MB/s  %5.2f x read\n", name, median(t), mb / median(t) * 1e3,
                    median(t) / base_);
    };
    std::printf("q = 1 tile, %.1f MB, page cache warm, median of %d runs, one thread:\n", mb, runs);
    line("read", read);
    line("map+touch", mapTouch);
    line("map+check", mapCheck);
    line("check", check);
    buffer = QByteArray();

    // Making vertices from the grid: a whole level-1 tile (as stored) and
    // its level 5, with shared far edges, into a reused buffer.
    const TileGrid one = mapAndCheck(tile);
    {
        std::vector<float> out(size_t(one.side()) * one.side() * 36);
        std::vector<double> level1, level5;
        for (int run = 0; run < runs; ++run) {
            level1.push_back(BenchSupport::timeMs([&] {
                const TileLevel level(one, 1, CellEdges::FarEdge::Shared);
                level.writeCells(level.wholeTile(), out.data());
            }));
            level5.push_back(BenchSupport::timeMs([&] {
                const TileLevel level(one, 5, CellEdges::FarEdge::Shared);
                level.writeCells(level.wholeTile(), out.data());
            }));
        }
        std::printf("vertices: level 1 (1440000 cells) %.1f ms, %.0f M cells/s; level 5 (57600 cells) %.2f ms, "
                    "%.0f M cells/s\n",
                    median(level1), 1.44 / median(level1) * 1e3, median(level5), 0.0576 / median(level5) * 1e3);
    }

    // Memory held: many grids of the same tile kept at once.
    const qint64 rssBefore = BenchSupport::statusKb("VmRSS");
    std::vector<TileGrid> held;
    for (int i = 0; i < 21; ++i) {
        held.push_back(mapAndCheck(tile));
    }
    const qint64 rssAfter = BenchSupport::statusKb("VmRSS");
    const double cells = 21.0 * one.side() * one.side();
    std::printf("held: %lld bytes per grid for %d x %d cells (%.3f bytes per cell by the grid's count, "
                "%.3f by VmRSS over 21 grids)\n",
                one.heldBytes(), one.side(), one.side(), double(one.heldBytes()) / (one.side() * one.side()),
                (rssAfter - rssBefore) * 1024.0 / cells);
    held.clear();

    if (country) {
        const QStringList tiles = BenchSupport::countryTiles(dir, 1);
        for (const QString &path : tiles) // warm
            mapAndCheck(path);
        // Baselines on the same two threads: reading each file into a buffer
        // the thread reuses, and mapping it and reading every word.
        auto readOnly = [](const QString &path) {
            thread_local QByteArray bytes;
            return RegularFile::readAll(path, TileGrid::fileBytes(1), bytes);
        };
        auto touchOnly = [](const QString &path) {
            MappedFile file;
            return file.open(path, TileGrid::fileBytes(1)) && touch(file.data(), file.size()) != 1;
        };
        auto recognised = [](const QString &path) { return !mapAndCheck(path).isNull(); };
        std::vector<double> wallRead, wallTouch, wallCheck;
        auto onTwoThreads = [&](const std::function<bool(const QString &)> &work) {
            return BenchSupport::timeMs([&] {
                QThreadPool pool;
                pool.setMaxThreadCount(2);
                std::vector<PoolTask<bool>> tasks;
                for (const QString &tile : tiles)
                    tasks.emplace_back([&work, tile] { return work(tile); }, &pool);
                for (PoolTask<bool> &task : tasks)
                    ok &= task.take();
            });
        };
        for (int run = 0; run < runs; ++run) {
            wallRead.push_back(onTwoThreads(readOnly));
            wallTouch.push_back(onTwoThreads(touchOnly));
            wallCheck.push_back(onTwoThreads(recognised));
        }
        const double all = tiles.size() * mb;
        std::printf("country: %d q = 1 tiles (%.0f MB) on 2 threads, median of %d runs:%s\n", int(tiles.size()),
                    all, runs, ok ? "" : "  FAILED");
        for (const auto &[name, t] : {std::pair{"read", &wallRead}, {"map+touch", &wallTouch}, {"map+check", &wallCheck}})
            std::printf("%-10s %8.0f ms  %7.0f MB/s  %5.2f x read\n", name, median(*t), all / median(*t) * 1e3,
                        median(*t) / median(wallRead));
    }
    std::printf("memory: VmRSS at start %lld kB, peak (VmHWM) %lld kB\n", rssStart,
                BenchSupport::statusKb("VmHWM"));
    return ok ? 0 : 1;
}
