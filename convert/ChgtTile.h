#pragma once

#include <QString>
#include <QtGlobal>

// The CHGT tile: a bare array of 24-byte vertex records (x, y, z, r, g, b as
// little-endian floats), three per triangle, two triangles per cell.
class ChgtTile
{
public:
    static constexpr int FloatsPerVertex = 6;
    static constexpr int VertexBytes = FloatsPerVertex * 4;
    static constexpr int FloatsPerTriangle = 3 * FloatsPerVertex;
    static constexpr int FloatsPerCell = 2 * FloatsPerTriangle;

    // "N49E014.chgt" for lat 49, lon 14, without a directory.
    static QString fileName(int lat, int lon);

    // The FloatsPerCell words (float bits, host order) of a cell of the
    // given height band as the conversion writes it: the band's colour in
    // every vertex's colour slots, zero in the coordinate slots, so a cell
    // is these words or'ed with its coordinates.
    static const quint32 *bandCellColours(int band);
    // The x words of a cell from x to xd (the y words from y to yd) into
    // cell, whose other words are left alone: the layout of a cell's two
    // triangles, shared by the conversion and the views' levels.
    static void setCellColumn(quint32 *cell, float x, float xd);
    static void setCellRow(quint32 *cell, float y, float yd);
};
