#include "LevelMesh.h"

#include "HeightColors.h"

#include <array>
#include <cstring>
#include <new>

namespace {

// Each band's colour as the conversion writes it into a cell.
struct BandColours
{
    BandColours()
    {
        for (int b = 0; b < HeightBandCount; ++b)
            heightColor(float(heightColors[b].bound), rgb[b][0], rgb[b][1], rgb[b][2]);
    }
    float rgb[HeightBandCount][3] = {};
};

const BandColours &bandColours()
{
    static const BandColours colours;
    return colours;
}

} // namespace

LevelMesh::LevelMesh(const TileLevel &level)
    : level(level)
{
}

qint64 LevelMesh::rectangleCount(const CellRange &range) const
{
    if (range.isEmpty())
        return 0;
    qint64 count = 0;
    for (int c = range.column0; c < range.column1; ++c) {
        int previous = -1;
        for (int r = range.row0; r < range.row1; ++r) {
            const int b = level.band(c, r);
            count += b != previous;
            previous = b;
        }
    }
    return count;
}

void LevelMesh::write(const CellRange &range, float *out) const
{
    if (range.isEmpty())
        return;
    const CellEdges &columns = level.columnEdges();
    const CellEdges &rows = level.rowEdges();
    const BandColours &colours = bandColours();
    for (int c = range.column0; c < range.column1; ++c) {
        const float west = columns.nearEdge(c);
        const float east = columns.farEdge(c);
        int r = range.row0;
        while (r < range.row1) {
            const int b = level.band(c, r);
            int end = r + 1;
            while (end < range.row1 && level.band(c, end) == b)
                ++end;
            const float south = rows.nearEdge(r);
            const float north = rows.farEdge(end - 1);
            const float *rgb = colours.rgb[b];
            const float corners[VerticesPerRectangle][2] = {
                {west, south}, {east, south}, {west, north}, {west, north}, {east, north}, {east, south}};
            for (const auto &corner : corners) {
                out[0] = corner[0];
                out[1] = corner[1];
                out[2] = 0.0f;
                out[3] = rgb[0];
                out[4] = rgb[1];
                out[5] = rgb[2];
                out += FloatsPerVertex;
            }
            r = end;
        }
    }
}

QByteArray LevelMesh::vertices(const CellRange &range) const
{
    const qint64 bytes = rectangleCount(range) * BytesPerRectangle;
    QByteArray out;
    try {
        out = QByteArray(qsizetype(bytes), Qt::Uninitialized);
    } catch (const std::bad_alloc &) {
        return {};
    }
    write(range, reinterpret_cast<float *>(out.data()));
    return out;
}
