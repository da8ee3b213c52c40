#include "ChgtReader.h"

#include "WholeFile.h"

#include <QMutex>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <QtEndian>

#include <cmath>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int FloatsPerVertex = ChgtTile::FloatsPerVertex;
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

float clampUnit(float v)
{
    if (!(v > 0.0f)) // NaN too
        return 0.0f;
    return v < 1.0f ? v : 1.0f;
}

} // namespace

QColor ChgtReader::colorOf(float red, float green, float blue)
{
    return QColor::fromRgbF(clampUnit(red), clampUnit(green), clampUnit(blue), 1.0f);
}

bool ChgtReader::hasFiniteCoordinates(const float *t)
{
    for (int v = 0; v < 3; ++v) {
        const float *p = t + v * FloatsPerVertex;
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return false;
    }
    return true;
}

qint64 ChgtReader::keepFiniteTriangles(float *floats, qint64 floatCount)
{
    qint64 kept = 0;
    for (qint64 i = 0; i + FloatsPerTriangle <= floatCount; i += FloatsPerTriangle) {
        if (!hasFiniteCoordinates(floats + i))
            continue;
        if (kept != i)
            std::memmove(floats + kept, floats + i, FloatsPerTriangle * sizeof(float));
        kept += FloatsPerTriangle;
    }
    return kept;
}

bool ChgtReader::readTriangles(const QString &path, QByteArray &bytes, FileFailure *failure)
{
    if (!WholeFile::read(path, bytes, failure))
        return false;
    // QByteArray's block is aligned for floats.
    float *floats = reinterpret_cast<float *>(bytes.data());
    const qint64 count = bytes.size() / qint64(sizeof(float));
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        for (qint64 i = 0; i < count; ++i)
            floats[i] = qFromLittleEndian(floats[i]);
    }
    const qint64 kept = keepFiniteTriangles(floats, count);
    for (qint64 v = 0; v < kept; v += FloatsPerVertex) {
        for (int c = 3; c < 6; ++c)
            floats[v + c] = clampUnit(floats[v + c]);
    }
    bytes.truncate(qsizetype(kept * qint64(sizeof(float))));
    return true;
}

void ChgtReader::appendTriangles(const float *f, qint64 floatCount,
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
        if (!hasFiniteCoordinates(f + i))
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

ChgtReader::FileTriangles ChgtReader::readFile(const QString &path, bool keepFloats)
{
    FileTriangles file;
    QByteArray bytes = readBuffers().take();
    if (!readTriangles(path, bytes, &file.failure))
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

void ChgtReader::recycle(QByteArray &&floats)
{
    floats.resize(0);
    readBuffers().give(std::move(floats));
}

void ChgtReader::releaseBuffers()
{
    readBuffers().release();
    polygonLists().release();
}

void ChgtReader::returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

QList<QFuture<ChgtReader::FileTriangles>> ChgtReader::startReading(const QStringList &paths,
                                                                   bool keepFloats)
{
    // Building polygons costs more than reading, and files are independent.
    QList<QFuture<FileTriangles>> reading;
    reading.reserve(paths.size());
    for (const QString &path : paths)
        reading.append(QtConcurrent::run([path, keepFloats] { return readFile(path, keepFloats); }));
    return reading;
}

QVector<ChgtReader::FileTriangles> ChgtReader::readFiles(const QStringList &paths)
{
    QList<QFuture<FileTriangles>> reading = startReading(paths, false);
    QVector<FileTriangles> files;
    files.reserve(reading.size());
    for (QFuture<FileTriangles> &file : reading)
        files.append(file.takeResult());
    releaseBuffers();
    return files;
}

bool ChgtReader::append(FileTriangles &file, QVector<ColoredPolygon> &polygons,
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

int ChgtReader::appendAll(QVector<FileTriangles> &files, QVector<ColoredPolygon> &polygons,
                          PointBlocks &points)
{
    int read = 0;
    for (FileTriangles &file : files)
        read += append(file, polygons, points) ? 1 : 0;
    return read;
}
