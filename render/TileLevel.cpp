#include "TileLevel.h"

#include "ChgtTile.h"
#include "HeightColors.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int Cell = ChgtTile::FloatsPerCell;

} // namespace

TileLevel::TileLevel(const TileGrid &grid, int k, CellEdges::FarEdge farEdge)
    : grid(grid), k(k), columns(grid.lon(), k, farEdge), rows(grid.lat(), k, farEdge)
{
    Q_ASSERT(grid.hasLevel(k));
}

CellRange TileLevel::visibleCells(const GeoBox &area) const
{
    CellRange range;
    columns.reaching(std::min(area.west, area.east), std::max(area.west, area.east),
                     &range.column0, &range.column1);
    rows.reaching(std::min(area.south, area.north), std::max(area.south, area.north),
                  &range.row0, &range.row1);
    if (range.isEmpty())
        return CellRange{};
    return range;
}

qint64 TileLevel::writeCells(const CellRange &range, float *out) const
{
    if (range.isEmpty())
        return 0;
    const float *const start = out;
    const bool holes = grid.hasHoles();
    // As in the builder: a cell is the bitwise union of three templates
    // with disjoint slots (the column's x, the row's y, the colour).
    const int rowCount = range.row1 - range.row0;
    std::vector<quint32> rowSlots(size_t(rowCount) * Cell, 0);
    for (int r = 0; r < rowCount; ++r) {
        quint32 *row = rowSlots.data() + size_t(r) * Cell;
        const int m = range.row0 + r;
        ChgtTile::setCellRow(row, rows.nearEdge(m), rows.farEdge(m));
    }
    for (int c = range.column0; c < range.column1; ++c) {
        quint32 column[Cell] = {};
        ChgtTile::setCellColumn(column, columns.nearEdge(c), columns.farEdge(c));
        for (int r = 0; r < rowCount; ++r) {
            const int b = grid.bandAt(k, c, range.row0 + r);
            if (holes && b == TileGrid::NoCell)
                continue;
            const quint32 *row = rowSlots.data() + size_t(r) * Cell;
            const quint32 *colour = ChgtTile::bandCellColours(b);
            quint32 bits[Cell];
            for (int i = 0; i < Cell; ++i)
                bits[i] = column[i] | row[i] | colour[i];
            std::memcpy(out, bits, sizeof bits);
            out += Cell;
        }
    }
    return (out - start) / Cell;
}
