#pragma once

#include "PoolTask.h"
#include "TileGrid.h"
#include "TilePolygons.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// Opening a CHGT file for the views: a regular tile becomes its grid, read
// straight from a mapping that is let go of at once; any other file is read
// into triangles as before.
namespace TileReading {

struct OpenedTile
{
    // Set for a regular tile; then triangles holds nothing.
    std::shared_ptr<const TileGrid> grid;
    TilePolygons::FileTriangles triangles;
};

// keepFloats: an irregular file's floats are kept for an upload.
OpenedTile open(const QString &path, bool keepFloats);
// The files on a thread pool, one task per path in order.
std::vector<PoolTask<OpenedTile>> start(const QStringList &paths, bool keepFloats,
                                        QThreadPool *pool = QThreadPool::globalInstance());

// The tile of a task of start(). A file that did not fit in memory while
// others were read beside it is read once more, on the calling thread:
// whether a file is left out
// for want of memory must not depend on which files happened to be read at
// the same moment.
OpenedTile take(PoolTask<OpenedTile> &task, const QString &path, bool keepFloats);

// For benchmarks only: when off, every file is read into triangles.
void setGridsEnabled(bool on);
// For tests only: called with each path on the thread that opens it, before
// it is opened, so a test can hold an open at a known file. Empty: none.
void setOpenHook(std::function<void(const QString &path)> hook);

} // namespace TileReading
