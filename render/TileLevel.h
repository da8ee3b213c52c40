#pragma once

#include "CellEdges.h"
#include "TileGrid.h"

#include <QtGlobal>

// A rectangle of cell indices at one level: columns [column0, column1),
// rows [row0, row1).
struct CellRange
{
    int column0 = 0;
    int column1 = 0;
    int row0 = 0;
    int row1 = 0;

    bool isEmpty() const { return column0 >= column1 || row0 >= row1; }
    qint64 cellCount() const { return isEmpty() ? 0 : qint64(column1 - column0) * (row1 - row0); }
    bool operator==(const CellRange &o) const
    {
        return column0 == o.column0 && column1 == o.column1 && row0 == o.row0 && row1 == o.row1;
    }
};

// A map area in degrees: longitudes west .. east, latitudes south .. north.
struct GeoBox
{
    double west = 0.0;
    double east = 0.0;
    double south = 0.0;
    double north = 0.0;
};

// Level k of a TileGrid: the cells the tile has when converted at quantity
// k, made from the stored bands without the source. With FarEdge::Stored the
// vertices are bit-identical to the conversion's (at k = the grid's quantity,
// to the file itself); with FarEdge::Shared each cell's far edges are its
// neighbours' near edges, so no hairline is left between them.
class TileLevel
{
public:
    // The grid is shared, not copied; k must be one of its levels.
    TileLevel(const TileGrid &grid, int k, CellEdges::FarEdge farEdge = CellEdges::FarEdge::Stored);

    int level() const { return k; }
    int side() const { return columns.count(); }
    const CellEdges &columnEdges() const { return columns; }
    const CellEdges &rowEdges() const { return rows; }
    // The cell's band, or TileGrid::NoCell where the tile has none.
    int band(int column, int row) const { return grid.bandAt(k, column, row); }
    bool hasHoles() const { return grid.hasHoles(); }
    CellRange wholeTile() const { return CellRange{0, side(), 0, side()}; }

    // The cells that can show in area (any orientation of its edges), one
    // more on every side than those reaching into it, clamped to the tile:
    // drawing only these gives the same pixels as drawing all.
    CellRange visibleCells(const GeoBox &area) const;

    // Writes the cells of range the tile has in the file's order (column by
    // column, west to east, each south to north), 36 floats per cell in host
    // byte order: six vertices (x, y, 0, red, green, blue) south-west,
    // south-east, north-west, north-west, north-east, south-east. out must
    // have room for range.cellCount() * 36 floats. Returns the cells written.
    qint64 writeCells(const CellRange &range, float *out) const;

private:
    TileGrid grid;
    int k;
    CellEdges columns;
    CellEdges rows;
};
