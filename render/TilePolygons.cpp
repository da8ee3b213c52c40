#include "TilePolygons.h"

#include "ChgtTile.h"
#include "ChgtTileReader.h"

#include <QMutex>
#include <QThreadPool>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <new>
#include <vector>

namespace {

constexpr int FloatsPerTriangle = ChgtTile::FloatsPerTriangle;

// Blocks given back, for the next files of the same open: fresh pages cost
// the kernel more than the work done in them.
template<class Block>
class Recycler
{
public:
    Block take()
    {
        const QMutexLocker lock(&mutex);
        if (blocks.empty())
            return {};
        Block b = std::move(blocks.back());
        blocks.pop_back();
        return b;
    }
    // Kept only when empty, its own and with room.
    void give(Block &&b)
    {
        // As many as files are read at once, and a few ahead of the uploads.
        const size_t most = size_t(QThreadPool::globalInstance()->maxThreadCount()) + 2;
        if (b.isEmpty() && b.isDetached() && b.capacity() > 0) {
            const QMutexLocker lock(&mutex);
            if (blocks.size() < most)
                blocks.push_back(std::move(b));
        }
        b = Block();
    }
    void release()
    {
        std::vector<Block> old;
        const QMutexLocker lock(&mutex);
        old.swap(blocks);
    }

private:
    QMutex mutex;
    std::vector<Block> blocks;
};

Recycler<QByteArray> &readBuffers()
{
    static Recycler<QByteArray> buffers;
    return buffers;
}

Recycler<QVector<ColoredPolygon>> &polygonLists()
{
    static Recycler<QVector<ColoredPolygon>> lists;
    return lists;
}

} // namespace

QColor TilePolygons::colorOf(float red, float green, float blue)
{
    return QColor::fromRgbF(ChgtTileReader::clampUnit(red), ChgtTileReader::clampUnit(green),
                           ChgtTileReader::clampUnit(blue), 1.0f);
}

void TilePolygons::appendTriangles(const float *f, qint64 floatCount,
                                 QVector<ColoredPolygon> &polygons, PointBlocks &points)
{
    const qint64 triangles = floatCount / FloatsPerTriangle;
    if (triangles <= 0)
        return;
    QPointF *block = points.allocate(qsizetype(3 * triangles));
    // Only an empty list is sized up front: reserving on a filled one would
    // copy every element, while appending grows it by moving the block.
    if (polygons.isEmpty())
        polygons.reserve(triangles);
    // Neighbouring triangles mostly share a colour: made once per run.
    float red = 0.0f, green = 0.0f, blue = 0.0f;
    QColor color;
    bool haveColor = false;
    for (qint64 i = 0; i + FloatsPerTriangle <= floatCount; i += FloatsPerTriangle) {
        if (!ChgtTileReader::hasFiniteCoordinates(f + i))
            continue;
        if (!haveColor || f[i + 3] != red || f[i + 4] != green || f[i + 5] != blue) {
            red = f[i + 3];
            green = f[i + 4];
            blue = f[i + 5];
            color = colorOf(red, green, blue);
            haveColor = true;
        }
        QPointF *p = block;
        block += 3;
        p[0] = QPointF(100.0 * f[i], 100.0 * f[i + 1]);
        p[1] = QPointF(100.0 * f[i + 6], 100.0 * f[i + 7]);
        p[2] = QPointF(100.0 * f[i + 12], 100.0 * f[i + 13]);
        // A list over raw data: it owns nothing, and any change to it would
        // copy the points out first.
        polygons.append(ColoredPolygon{
            QPolygonF(QList<QPointF>(QArrayDataPointer<QPointF>::fromRawData(p, 3))), color});
    }
}

TilePolygons::FileTriangles TilePolygons::readFile(const QString &path, bool keepFloats)
{
    FileTriangles file;
    QByteArray bytes = readBuffers().take();
    if (!ChgtTileReader::readTriangles(path, bytes, &file.failure))
        return file;
    file.polygons = polygonLists().take();
    try {
        appendTriangles(reinterpret_cast<const float *>(bytes.constData()),
                        bytes.size() / qint64(sizeof(float)), file.polygons, file.points);
    } catch (const std::bad_alloc &) {
        // A tile too large for memory is left out whole; the map carries on.
        file = FileTriangles();
        file.failure = FileFailure::of(FileFailure::OutOfMemory);
        return file;
    }
    if (keepFloats)
        file.floats = std::move(bytes);
    else
        recycle(std::move(bytes));
    file.ok = true;
    return file;
}

void TilePolygons::recycle(QByteArray &&floats)
{
    floats.resize(0);
    readBuffers().give(std::move(floats));
}

void TilePolygons::releaseBuffers()
{
    readBuffers().release();
    polygonLists().release();
}

void TilePolygons::returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

std::vector<PoolTask<TilePolygons::FileTriangles>> TilePolygons::startReading(
    const QStringList &paths, bool keepFloats)
{
    // Building polygons costs more than reading, and files are independent:
    // short tasks for the pool.
    std::vector<PoolTask<FileTriangles>> reading;
    reading.reserve(size_t(paths.size()));
    for (const QString &path : paths)
        reading.emplace_back([path, keepFloats] { return readFile(path, keepFloats); });
    return reading;
}

QVector<TilePolygons::FileTriangles> TilePolygons::readFiles(const QStringList &paths)
{
    std::vector<PoolTask<FileTriangles>> reading = startReading(paths, false);
    QVector<FileTriangles> files;
    files.reserve(qsizetype(reading.size()));
    for (PoolTask<FileTriangles> &file : reading)
        files.append(file.take());
    releaseBuffers();
    return files;
}

bool TilePolygons::append(FileTriangles &file, QVector<ColoredPolygon> &polygons,
                        PointBlocks &points)
{
    if (!file.ok)
        return false;
    try {
        // The points first: polygons must never refer to a freed block.
        points.take(file.points);
        if (polygons.isEmpty())
            polygons = std::move(file.polygons);
        else
            polygons.append(std::move(file.polygons));
    } catch (const std::bad_alloc &) {
        // No room to join it to the others: left out like an unreadable file.
        file.ok = false;
        file.failure = FileFailure::of(FileFailure::OutOfMemory);
    }
    // Its block, emptied, holds the next file's polygons.
    file.polygons.clear();
    polygonLists().give(std::move(file.polygons));
    file.points.clear();
    return file.ok;
}

int TilePolygons::appendAll(QVector<FileTriangles> &files, QVector<ColoredPolygon> &polygons,
                          PointBlocks &points)
{
    int read = 0;
    for (FileTriangles &file : files)
        read += append(file, polygons, points) ? 1 : 0;
    return read;
}
