#pragma once

#include "TileLevel.h"

#include <QByteArray>
#include <QtGlobal>

// The triangles a view draws for the cells of one level of a regular tile:
// vertex records of 24 bytes (x, y, z = 0, red, green, blue as floats in
// host byte order, the colours exactly as the conversion writes them).
//
// Neighbouring cells of a column (or of a row) that share a height band
// become one rectangle of two triangles (a missing cell gives nothing and
// ends a run), with the vertex order and winding
// of a cell (south-west, south-east, north-west; north-west, north-east,
// south-east). The far edges are the shared ones, so a run's edges are the
// very floats of its cells' outer edges: a rasteriser that covers each pixel
// centre of a rectangle exactly once gives the same pixels for the run as
// for its cells, with far fewer triangles. Cells do not overlap, so the
// order they are drawn in does not matter either.
//
// A software rasteriser's cost grows with the length of a triangle's long
// side over its short one, so runs are best laid along the direction in
// which cells are smaller on screen: in columns when cells are wider than
// high, in rows when they are higher than wide.
class LevelMesh
{
public:
    static constexpr int FloatsPerVertex = 6;
    static constexpr int VerticesPerRectangle = 6;
    static constexpr int FloatsPerRectangle = FloatsPerVertex * VerticesPerRectangle;
    static constexpr int BytesPerRectangle = FloatsPerRectangle * 4;

    enum class Runs { InColumns, InRows };

    // The level must have been made with CellEdges::FarEdge::Shared.
    explicit LevelMesh(const TileLevel &level, Runs runs = Runs::InColumns);

    // Rectangles the cells of range become (runs of a band in a column or row).
    qint64 rectangleCount(const CellRange &range) const;
    // Writes them, column by column west to east, each run south to north
    // (by rows: row by row south to north, each run west to east); out must
    // have room for rectangleCount(range) * FloatsPerRectangle.
    void write(const CellRange &range, float *out) const;
    // The vertex records of range as bytes; empty when they cannot be
    // allocated (throws nothing).
    QByteArray vertices(const CellRange &range) const;

private:
    // Band of cell i of a line (a column, or a row).
    int bandAt(int line, int i) const;
    void lines(const CellRange &range, int *first, int *end, int *i0, int *i1) const;

    const TileLevel &level;
    Runs runs;
};
