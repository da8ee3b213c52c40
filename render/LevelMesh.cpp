#include "LevelMesh.h"

#include "HeightColors.h"

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

LevelMesh::LevelMesh(const TileLevel &level, Runs runs)
    : level(level), runs(runs)
{
}

int LevelMesh::bandAt(int line, int i) const
{
    return runs == Runs::InColumns ? level.band(line, i) : level.band(i, line);
}

void LevelMesh::lines(const CellRange &range, int *first, int *end, int *i0, int *i1) const
{
    const bool columns = runs == Runs::InColumns;
    *first = columns ? range.column0 : range.row0;
    *end = columns ? range.column1 : range.row1;
    *i0 = columns ? range.row0 : range.column0;
    *i1 = columns ? range.row1 : range.column1;
}

qint64 LevelMesh::rectangleCount(const CellRange &range) const
{
    if (range.isEmpty())
        return 0;
    int first, end, i0, i1;
    lines(range, &first, &end, &i0, &i1);
    qint64 count = 0;
    for (int line = first; line < end; ++line) {
        int previous = -1;
        for (int i = i0; i < i1; ++i) {
            const int b = bandAt(line, i);
            count += b != previous && b != TileGrid::NoCell;
            previous = b;
        }
    }
    return count;
}

void LevelMesh::write(const CellRange &range, float *out) const
{
    if (range.isEmpty())
        return;
    int first, end, i0, i1;
    lines(range, &first, &end, &i0, &i1);
    const bool inColumns = runs == Runs::InColumns;
    // Across a line: its own edges; along it: the run's first near and last far edge.
    const CellEdges &across = inColumns ? level.columnEdges() : level.rowEdges();
    const CellEdges &along = inColumns ? level.rowEdges() : level.columnEdges();
    const BandColours &colours = bandColours();
    for (int line = first; line < end; ++line) {
        const float lineNear = across.nearEdge(line);
        const float lineFar = across.farEdge(line);
        int i = i0;
        while (i < i1) {
            const int b = bandAt(line, i);
            // A missing cell ends a run and gives nothing.
            if (b == TileGrid::NoCell) {
                ++i;
                continue;
            }
            int stop = i + 1;
            while (stop < i1 && bandAt(line, stop) == b)
                ++stop;
            const float runNear = along.nearEdge(i);
            const float runFar = along.farEdge(stop - 1);
            const float west = inColumns ? lineNear : runNear;
            const float east = inColumns ? lineFar : runFar;
            const float south = inColumns ? runNear : lineNear;
            const float north = inColumns ? runFar : lineFar;
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
            i = stop;
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
