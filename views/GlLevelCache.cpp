#include "GlLevelCache.h"

#include <algorithm>

namespace {

bool holds(const CellRange &outer, const CellRange &inner)
{
    return outer.column0 <= inner.column0 && inner.column1 <= outer.column1 && outer.row0 <= inner.row0
        && inner.row1 <= outer.row1;
}

} // namespace

const GlLevelCache::Buffer *GlLevelCache::find(const TileGrid *grid, int level, LevelMesh::Runs runs,
                                               const CellRange &range)
{
    for (Buffer &b : buffers) {
        if (b.grid == grid && b.level == level && b.runs == runs && holds(b.range, range)) {
            b.lastFrame = frame;
            return &b;
        }
    }
    return nullptr;
}

const GlLevelCache::Buffer &GlLevelCache::add(Buffer buffer, const Delete &del)
{
    for (size_t i = 0; i < buffers.size(); ++i) {
        if (buffers[i].grid == buffer.grid && buffers[i].level == buffer.level && buffers[i].runs == buffer.runs) {
            remove(i, del);
            break;
        }
    }
    buffer.lastFrame = frame;
    held += buffer.bytes;
    buffers.push_back(buffer);
    return buffers.back();
}

void GlLevelCache::shrinkTo(qint64 bytes, bool keepCurrent, const Delete &del)
{
    while (held > bytes) {
        auto oldest = std::min_element(buffers.begin(), buffers.end(), [](const Buffer &a, const Buffer &b) {
            return a.lastFrame < b.lastFrame;
        });
        if (oldest == buffers.end() || (keepCurrent && oldest->lastFrame == frame))
            return;
        remove(size_t(oldest - buffers.begin()), del);
    }
}

void GlLevelCache::clear(const Delete &del)
{
    while (!buffers.empty())
        remove(buffers.size() - 1, del);
    held = 0;
}

void GlLevelCache::remove(size_t i, const Delete &del)
{
    if (del)
        del(buffers[i].id);
    held -= buffers[i].bytes;
    buffers.erase(buffers.begin() + qsizetype(i));
}
