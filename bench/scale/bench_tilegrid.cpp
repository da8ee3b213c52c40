// Recognising regular tiles and holding them as cell grids, against a plain
// read of the same file from the page cache (the baseline, same run):
//   read      RegularFile::readAll into a reused buffer (one copy out of the cache)
//   map+touch mapping the file and reading every 32-bit word (no check)
//   map+check MappedFile + TileGrid::recognise (what an open would do)
//   check     TileGrid::recognise over bytes already in memory
//   holes     the same for the tile with a third of its cells left out (west
//             of a wavy line, as a tile cut along a state border), per cell
//   nan       the whole tile with a NaN triangle appended (checked, found
//             wrong at the end, checked again without it)
// then the speed of making vertices from a grid (TileLevel::writeCells),
// the painter's frame and the OpenGL view's level mesh of the full and of
// the holed tile (a quarter of the tile in a 1280 x 1024 picture, level 1,
// and the start-up window, level 5),
// and, with --country, the 21 tiles N48-N50 x E012-E018 at q = 1 recognised
// on two threads. Medians of --runs interleaved runs; memory held per cell
// and the peak of the process.
//
//   bench_tilegrid [--runs N] [--dir DIR] [--country]

#include "BenchSupport.h"
#include "LevelMesh.h"
#include "MapContent.h"
#include "MapPainter.h"
#include "MappedFile.h"
#include "PoolTask.h"
#include "RegularFile.h"
#include "TileGrid.h"
#include "TileLevel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using BenchSupport::median;

// The tile's cells west of a wavy line left out, the rest in order.
QByteArray withHoles(const QByteArray &tile)
{
    const int n = 1200;
    QByteArray out;
    out.reserve(tile.size());
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            const double border = 400 + 150 * std::sin(r / 97.0) + 40 * std::sin(r / 13.0);
            if (c >= border)
                out.append(tile.constData() + (qsizetype(c) * n + r) * 144, 144);
        }
    }
    return out;
}

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

    std::vector<double> read, mapTouch, mapCheck, check, holes, nan;
    volatile quint32 sink = 0;
    bool ok = true;
    QByteArray holed = withHoles(buffer);
    QByteArray nanAppended = buffer;
    {
        float t[18] = {};
        t[0] = std::nanf("");
        nanAppended.append(reinterpret_cast<const char *>(t), sizeof t);
    }
    const double holedCells = holed.size() / 144.0;
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
        holes.push_back(BenchSupport::timeMs([&] {
            ok &= TileGrid::recognise(holed.constData(), holed.size()).hasHoles();
        }));
        nan.push_back(BenchSupport::timeMs([&] {
            ok &= !TileGrid::recognise(nanAppended.constData(), nanAppended.size()).isNull();
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
    std::printf("%-10s %8.1f ms  %7.0f MB/s  %5.2f x read; %.1f ns per cell present, %.1f for the whole tile\n",
                "holes", median(holes), holed.size() / 1e6 / median(holes) * 1e3, median(holes) / base_,
                median(holes) * 1e6 / holedCells, median(check) * 1e6 / 1.44e6);
    line("nan", nan);
    {
        const TileGrid g = TileGrid::recognise(holed.constData(), holed.size());
        std::printf("held: %lld bytes for the tile with %lld of %d cells\n", g.heldBytes(), g.cellCount(),
                    g.side() * g.side());
    }
    buffer = QByteArray();
    holed = QByteArray();
    nanAppended = QByteArray();

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

    // Drawing the full and the holed tile: the painter's frame and the
    // OpenGL view's level mesh.
    {
        const auto fullGrid = std::make_shared<const TileGrid>(one);
        QByteArray holedBytes;
        {
            MappedFile file;
            ok &= file.open(tile, TileGrid::fileBytes(1));
            holedBytes = withHoles(QByteArray::fromRawData(file.data(), file.size()));
        }
        const auto holedGrid = std::make_shared<const TileGrid>(TileGrid::recognise(holedBytes.constData(), holedBytes.size()));
        holedBytes = QByteArray();
        ok &= holedGrid->hasHoles();
        const QSize size(1280, 1024);
        const QRect quarter(1425, 4975, 50, -50), whole(1100, 5130, 900, -300); // the start-up window
        struct Row
        {
            const char *name;
            std::shared_ptr<const TileGrid> grid;
        };
        for (const Row &row : {Row{"full", fullGrid}, Row{"holes", holedGrid}}) {
            MapContent content;
            content.addGrid(row.grid);
            QImage image(size, QImage::Format_RGB32);
            MapPainter painter;
            std::vector<double> frames[2], meshes[2];
            int levels[2] = {};
            for (int run = 0; run < runs; ++run) {
                int w = 0;
                for (const QRect &window : {quarter, whole}) {
                    frames[w].push_back(BenchSupport::timeMs([&] {
                        image.fill(Qt::white);
                        QPainter p(&image);
                        painter.paint(p, size, window, content, {}, false);
                    }));
                    levels[w] = painter.lastLevels().at(0);
                    const TileLevel level(*row.grid, levels[w], CellEdges::FarEdge::Shared);
                    meshes[w].push_back(BenchSupport::timeMs([&] {
                        ok &= !LevelMesh(level, LevelMesh::Runs::InColumns).vertices(level.wholeTile()).isEmpty();
                    }));
                    ++w;
                }
            }
            std::printf("%-6s painter frame: quarter, level %d: %.1f ms; start-up, level %d: %.1f ms; "
                        "level mesh of the whole tile: level %d %.1f ms, level %d %.2f ms\n",
                        row.name, levels[0], median(frames[0]), levels[1], median(frames[1]), levels[0],
                        median(meshes[0]), levels[1], median(meshes[1]));
        }
    }

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
