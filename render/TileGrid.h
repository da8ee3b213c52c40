#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

// One CHGT tile that is regular conversion output, held as one height band
// (an index into heightColors) per cell instead of 36 floats: the vertices
// follow from the quantity and the tile's corner, so nothing else is needed
// to give back the file byte for byte, or any coarser level of it.
//
// Cells are numbered as the file orders them: column 0 is the westernmost,
// row 0 the southernmost; stored cell (column, row) is cell column * side()
// + row of a full tile. A tile may leave cells out (no height there): the
// file then holds the others in the same order, and the grid marks the
// missing ones NoCell, still one byte each, so holes cost what cells cost.
class TileGrid
{
public:
    // Quantities the conversion makes; their file sizes differ.
    static constexpr int MaxQuantity = 5;

    // Cells per side at quantity (or level) k: floor(1199 / k) + 1.
    static constexpr int sideAt(int k) { return 1199 / k + 1; }
    // Bytes of a tile converted at quantity q.
    static constexpr qint64 fileBytes(int q) { return qint64(sideAt(q)) * sideAt(q) * 144; }

    // A null grid: not a tile.
    TileGrid() = default;

    // The band of a cell the tile leaves out.
    static constexpr int NoCell = 0xff;

    // The grid of tile bytes as stored (little-endian vertex records), or a
    // null grid unless they are exactly what the conversion writes, with or
    // without cells left out: the cells of quantity q in the file's order,
    // some of them missing, every x and y bit-identical to the cell rule for
    // q and the corner, every z +0.0, and the six colours of each cell
    // identical and one of the table's. q is the one whose side, added to
    // the first record's x as the rule adds it, gives its second x; the
    // corner is the degree that x and y lie in. Reads every byte once, at
    // memory speed; data need not be aligned.
    //
    // Readers drop triangles with a non-finite coordinate: when the bytes
    // are not a grid as they stand but hold such triangles, the grid is that
    // of the triangles kept, if they are one.
    static TileGrid recognise(const char *data, qint64 size);

    bool isNull() const { return q == 0; }
    int quantity() const { return q; }
    int lon() const { return lonDegrees; }
    int lat() const { return latDegrees; }
    int side() const { return n; }

    // Band of stored cell (column, row), or NoCell.
    int band(int column, int row) const
    {
        return quint8(bands.constData()[qsizetype(column) * n + row]);
    }
    bool hasCell(int column, int row) const { return band(column, row) != NoCell; }
    // Cells the tile holds: side() * side() unless some are left out.
    qint64 cellCount() const { return cells; }
    bool hasHoles() const { return cells < qint64(n) * n; }

    // Levels: a tile of quantity q gives the exact picture of every quantity
    // k = m * q that divides 1200 (those are the quantities whose tiles meet
    // without a gap); cell (column, row) at level k is stored cell
    // (column * m, row * m), and missing where that one is.
    bool hasLevel(int k) const { return q > 0 && k >= q && k % q == 0 && 1200 % k == 0; }
    int bandAt(int level, int column, int row) const
    {
        const int m = level / q;
        return band(column * m, row * m);
    }

    // Memory held for the cells, in bytes (one per stored cell).
    qint64 heldBytes() const { return bands.capacity(); }

private:
    // Cells: next() gives 144 bytes or nullptr; exhausted() whether the
    // bytes ended with the last cell.
    template<class Cells>
    static TileGrid recogniseCells(Cells &cells);

    int q = 0;
    int lonDegrees = 0;
    int latDegrees = 0;
    int n = 0;
    qint64 cells = 0;
    QByteArray bands; // n * n, column by column
};
