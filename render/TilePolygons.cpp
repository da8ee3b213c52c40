#include "TilePolygons.h"

#include "ChgtTile.h"
#include "ChgtTileReader.h"

#include <new>
#include <vector>

namespace {

constexpr int FloatsPerTriangle = ChgtTile::FloatsPerTriangle;

} // namespace

QColor TilePolygons::colorOf(float red, float green, float blue)
{
    return QColor::fromRgbF(ChgtTileReader::clampUnit(red), ChgtTileReader::clampUnit(green),
                           ChgtTileReader::clampUnit(blue), 1.0f);
}

void TilePolygons::appendTriangles(const float *f, qint64 floatCount,
                                 QVector<ColoredPolygon> &polygons)
{
    const qint64 triangles = floatCount / FloatsPerTriangle;
    if (triangles <= 0)
        return;
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
        polygons.append(ColoredPolygon{QPolygonF{QPointF(100.0 * f[i], 100.0 * f[i + 1]),
                                                 QPointF(100.0 * f[i + 6], 100.0 * f[i + 7]),
                                                 QPointF(100.0 * f[i + 12], 100.0 * f[i + 13])},
                                       color});
    }
}

TilePolygons::FileTriangles TilePolygons::readFile(const QString &path, bool keepFloats)
{
    FileTriangles file;
    QByteArray bytes;
    if (!ChgtTileReader::readTriangles(path, bytes, &file.failure))
        return file;
    try {
        appendTriangles(reinterpret_cast<const float *>(bytes.constData()),
                        bytes.size() / qint64(sizeof(float)), file.polygons);
    } catch (const std::bad_alloc &) {
        // A tile too large for memory is left out whole; the map carries on.
        file = FileTriangles();
        file.failure = FileFailure::of(FileFailure::OutOfMemory);
        return file;
    }
    if (keepFloats)
        file.floats = std::move(bytes);
    file.ok = true;
    return file;
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
    return files;
}

bool TilePolygons::append(FileTriangles &file, QVector<ColoredPolygon> &polygons)
{
    if (!file.ok)
        return false;
    try {
        if (polygons.isEmpty())
            polygons = std::move(file.polygons);
        else
            polygons.append(std::move(file.polygons));
    } catch (const std::bad_alloc &) {
        // No room to join it to the others: left out like an unreadable file.
        file.ok = false;
        file.failure = FileFailure::of(FileFailure::OutOfMemory);
    }
    file.polygons = QVector<ColoredPolygon>();
    return file.ok;
}

int TilePolygons::appendAll(QVector<FileTriangles> &files, QVector<ColoredPolygon> &polygons)
{
    int read = 0;
    for (FileTriangles &file : files)
        read += append(file, polygons) ? 1 : 0;
    return read;
}
