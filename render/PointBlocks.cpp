#include "PointBlocks.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <type_traits>

static_assert(std::is_trivially_copyable_v<QPointF> && std::is_trivially_destructible_v<QPointF>,
              "points are written into raw memory");

QPointF *PointBlocks::allocate(qsizetype count)
{
    if (count <= 0)
        return nullptr;
    // Room in the list first, so nothing can fail once the block exists
    // (a shared_ptr that cannot be made frees the block itself).
    if (blocks.size() == blocks.capacity())
        blocks.reserve(std::max<size_t>(8, 2 * blocks.size()));
    auto *points = static_cast<QPointF *>(std::malloc(size_t(count) * sizeof(QPointF)));
    if (!points)
        throw std::bad_alloc();
    blocks.emplace_back(points, std::free);
    total += qint64(count) * qint64(sizeof(QPointF));
    return points;
}

void PointBlocks::take(PointBlocks &other)
{
    blocks.reserve(blocks.size() + other.blocks.size());
    for (std::shared_ptr<QPointF> &block : other.blocks)
        blocks.push_back(std::move(block));
    total += other.total;
    other.clear();
}

void PointBlocks::clear()
{
    blocks.clear();
    total = 0;
}
