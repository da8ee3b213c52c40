#pragma once

#include "ChgtTile.h"

#include <QtGlobal>

#include <vector>

// Builds the cells of one tile column by column, west to east, each column
// south to north. A cell is six vertices (x, y, 0, r, g, b): south-west,
// south-east, north-west, north-west, north-east, south-east. Columns are
// independent, so a range of them can be built while another thread writes
// finished ones.
class TileMeshBuilder
{
public:
    // The height that marks a post without data.
    static constexpr qint16 Void = -32768;

    // What becomes of a cell whose height is Void: an HGT tile's void is
    // coloured like 0 m; a tile warped from rasters leaves the cell out, so
    // what lies below shows through.
    enum class Voids { Coloured, Holes };

    // data must hold a whole HGT tile and q must be at least 1.
    TileMeshBuilder(const char *data, int lon, int lat, int q, Voids voids = Voids::Coloured);

    int columnCount() const { return side; }
    qint64 floatsPerColumn() const { return qint64(side) * ChgtTile::FloatsPerCell; }
    qint64 floatCount() const { return floatsPerColumn() * side; }

    // Writes columns [first, end) one after another from out on, which
    // must have room for (end - first) * floatsPerColumn() floats. Returns
    // the floats written: all of them unless cells are left out as holes.
    qint64 buildColumns(float *out, int first, int end) const;

private:
    qint16 heightBefore(int column) const;
    template<bool Holes>
    qint64 build(float *out, int first, int end) const;

    const char *data;
    int quantity;
    int side;
    Voids voids;
    double lonD;
    double step;
    std::vector<quint32> rowTemplates; // per row: the y slots of a cell
};
