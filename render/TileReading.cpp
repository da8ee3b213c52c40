#include "TileReading.h"

#include "ChgtTileReader.h"
#include "MappedFile.h"

#include <atomic>

namespace TileReading {

namespace {
std::atomic<bool> gridsEnabled{true};
} // namespace

void setGridsEnabled(bool on)
{
    gridsEnabled = on;
}

OpenedTile open(const QString &path, bool keepFloats)
{
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

std::vector<PoolTask<OpenedTile>> start(const QStringList &paths, bool keepFloats)
{
    std::vector<PoolTask<OpenedTile>> opening;
    opening.reserve(size_t(paths.size()));
    for (const QString &path : paths)
        opening.emplace_back([path, keepFloats] { return open(path, keepFloats); });
    return opening;
}

OpenedTile take(PoolTask<OpenedTile> &task, const QString &path, bool keepFloats)
{
    OpenedTile tile = task.take();
    if (!tile.grid && !tile.triangles.ok && tile.triangles.failure.kind == FileFailure::OutOfMemory) {
        tile = OpenedTile();
        TilePolygons::releaseBuffers();
        tile = open(path, keepFloats);
    }
    return tile;
}

} // namespace TileReading
