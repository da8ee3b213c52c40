#pragma once

#include "LevelMesh.h"
#include "TileLevel.h"

#include <QtGlobal>
#include <QtGui/qopengl.h>

#include <functional>
#include <vector>

class TileGrid;

// The vertex buffers a view has built for levels of its regular tiles: one
// per tile and level, holding the whole tile or the cells of a range (runs
// laid in columns or in rows), kept
// while they fit in a byte budget and given up least recently used first.
// Only bookkeeping: the view builds, uploads and deletes the buffers (with
// its context current) and tells the cache which frame it draws.
class GlLevelCache
{
public:
    struct Buffer
    {
        const TileGrid *grid = nullptr;
        int level = 0;
        LevelMesh::Runs runs = LevelMesh::Runs::InColumns;
        CellRange range;
        GLuint id = 0;
        qint64 bytes = 0;
        int vertexCount = 0;
        quint64 lastFrame = 0;
    };
    using Delete = std::function<void(GLuint)>;

    // The buffer of grid's level with runs so laid that holds every cell of
    // range, or nullptr; a found buffer is marked as used in the current frame.
    const Buffer *find(const TileGrid *grid, int level, LevelMesh::Runs runs, const CellRange &range);
    // Adds a buffer, used in the current frame. Another one of the same tile,
    // level and runs (holding another range) is deleted: only one is kept.
    const Buffer &add(Buffer buffer, const Delete &del);

    void startFrame() { ++frame; }
    // Deletes buffers, least recently used first, until at most bytes are
    // held; those of the current frame only when keepCurrent is false.
    void shrinkTo(qint64 bytes, bool keepCurrent, const Delete &del);
    // Forgets every buffer, deleting each with del when given.
    void clear(const Delete &del);

    qint64 heldBytes() const { return held; }
    int bufferCount() const { return int(buffers.size()); }

private:
    void remove(size_t i, const Delete &del);

    std::vector<Buffer> buffers;
    qint64 held = 0;
    quint64 frame = 1;
};
