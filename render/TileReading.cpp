#include "TileReading.h"

#include "ChgtTileReader.h"
#include "MappedFile.h"

#include <atomic>
#include <mutex>

namespace TileReading {

namespace {
std::atomic<bool> gridsEnabled{true};
std::mutex openHookLock;
std::shared_ptr<const std::function<void(const QString &)>> openHook;
} // namespace

void setGridsEnabled(bool on)
{
    gridsEnabled = on;
}

void setOpenHook(std::function<void(const QString &path)> hook)
{
    const std::lock_guard<std::mutex> hold(openHookLock);
    openHook = hook ? std::make_shared<const std::function<void(const QString &)>>(std::move(hook)) : nullptr;
}

OpenedTile open(const QString &path, bool keepFloats)
{
    std::shared_ptr<const std::function<void(const QString &)>> hook;
    {
        const std::lock_guard<std::mutex> hold(openHookLock);
        hook = openHook;
    }
    if (hook)
        (*hook)(path);
    OpenedTile tile;
    if (gridsEnabled) {
        MappedFile file;
        // Any size: cells may be left out, and damaged triangles dropped.
        if (file.open(path, ChgtTileReader::MaxBytes)) {
            TileGrid grid = TileGrid::recognise(file.data(), file.size());
            if (!grid.isNull()) {
                tile.grid = std::make_shared<const TileGrid>(std::move(grid));
                return tile;
            }
        }
    }
    tile.triangles = TilePolygons::readFile(path, keepFloats);
    return tile;
}

std::vector<PoolTask<OpenedTile>> start(const QStringList &paths, bool keepFloats, QThreadPool *pool)
{
    std::vector<PoolTask<OpenedTile>> opening;
    opening.reserve(size_t(paths.size()));
    for (const QString &path : paths)
        opening.emplace_back([path, keepFloats] { return open(path, keepFloats); }, pool);
    return opening;
}

OpenedTile take(PoolTask<OpenedTile> &task, const QString &path, bool keepFloats)
{
    OpenedTile tile = task.take();
    if (!tile.grid && !tile.triangles.ok && tile.triangles.failure.kind == FileFailure::OutOfMemory) {
        tile = OpenedTile();
        tile = open(path, keepFloats);
    }
    return tile;
}

} // namespace TileReading
