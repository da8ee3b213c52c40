#include "TileMeshBuilder.h"

#include "HeightColors.h"
#include "HgtTile.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int Cell = ChgtTile::FloatsPerCell;

// Colour of every possible 16-bit height, as the colour slots of a cell, so
// the inner loop does one lookup.
struct ColourLookup
{
    ColourLookup()
    {
        for (int b = 0; b < HeightBandCount; ++b)
            std::copy_n(ChgtTile::bandCellColours(b), Cell, cells[b]);
        for (int h = -32768; h <= 32767; ++h)
            band[h + 32768] = quint8(heightBand(float(h)));
    }

    const quint32 *cell(qint16 height) const { return cells[band[height + 32768]]; }

    quint32 cells[HeightBandCount][Cell] = {};
    std::array<quint8, 65536> band;
};

const ColourLookup &colourLookup()
{
    static const ColourLookup lookup;
    return lookup;
}

} // namespace

TileMeshBuilder::TileMeshBuilder(const char *data, int lon, int lat, int q, Voids voids)
    : data(data), quantity(q), side(1199 / q + 1), voids(voids), lonD(lon), step(q / 1200.0),
      rowTemplates(size_t(side) * Cell, 0)
{
    const double latD = lat;
    for (int m = 0; m < side; ++m) {
        const int r = 1 + m * q;
        const float y = float(r / 1200.0 + latD);
        const float yd = float(double(y) + step);
        quint32 *row = rowTemplates.data() + Cell * m;
        ChgtTile::setCellRow(row, y, yd);
    }
    colourLookup();
}

// The height a column starts with when its first cell reads no sample: the
// last one read in the column before it.
qint16 TileMeshBuilder::heightBefore(int column) const
{
    if (column == 0)
        return 0;
    const int c = 1 + (column - 1) * quantity;
    const int lastRow = 1 + (1198 / quantity) * quantity;
    return HgtTile::sample(data, HgtTile::Side - lastRow, c);
}

qint64 TileMeshBuilder::buildColumns(float *out, int first, int end) const
{
    // Two copies of the loop, so the full tile's pays nothing for holes.
    return voids == Voids::Holes ? build<true>(out, first, end) : build<false>(out, first, end);
}

template<bool Holes>
qint64 TileMeshBuilder::build(float *out, int first, int end) const
{
    // A cell is assembled from three 36-float templates whose filled slots do
    // not overlap: the column's x, the row's y and the colour. Combining their
    // bits takes a few vector operations instead of 36 separate stores.
    const ColourLookup &lookup = colourLookup();
    const float *const start = out;
    for (int k = first; k < end; ++k) {
        const int c = 1 + k * quantity;
        const float x = float(c / 1200.0 + lonD);
        const float xd = float(double(x) + step);
        quint32 column[Cell] = {};
        ChgtTile::setCellColumn(column, x, xd);
        float *p = Holes ? out : out + (k - first) * floatsPerColumn();

        // Past the last sample row or column the cell keeps the previous height.
        const int readRows = c <= 1199 ? qMin(side, 1198 / quantity + 1) : 0;
        qint16 h = readRows > 0 ? 0 : heightBefore(k);

        for (int m = 0; m < side; ++m) {
            if (m < readRows)
                h = HgtTile::sample(data, HgtTile::Side - (1 + m * quantity), c);
            if (Holes && h == Void)
                continue;
            const quint32 *row = rowTemplates.data() + Cell * m;
            const quint32 *colour = lookup.cell(h);
            for (int i = 0; i < Cell; ++i) {
                const quint32 bits = column[i] | row[i] | colour[i];
                std::memcpy(p + i, &bits, sizeof bits);
            }
            p += Cell;
        }
        if (Holes)
            out = p;
    }
    return Holes ? out - start : (end - first) * floatsPerColumn();
}
