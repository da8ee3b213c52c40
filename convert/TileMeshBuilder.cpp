#include "TileMeshBuilder.h"

#include "HeightColors.h"
#include "HgtTile.h"

#include <array>

namespace {

// Colour of every possible 16-bit height, so the inner loop does one lookup.
struct ColourLookup
{
    ColourLookup()
    {
        for (int b = 0; b < HeightBandCount; ++b)
            heightColor(float(heightColors[b].bound), colour[b][0], colour[b][1], colour[b][2]);
        for (int h = -32768; h <= 32767; ++h)
            band[h + 32768] = quint8(heightBand(float(h)));
    }

    const float *operator()(qint16 height) const { return colour[band[height + 32768]]; }

    float colour[HeightBandCount][3];
    std::array<quint8, 65536> band;
};

const ColourLookup &colourLookup()
{
    static const ColourLookup lookup;
    return lookup;
}

} // namespace

TileMeshBuilder::TileMeshBuilder(const char *data, int lon, int lat, int q)
    : data(data), quantity(q), side(1199 / q + 1), lonD(lon), step(q / 1200.0)
{
    const double latD = lat;
    rowY.resize(side);
    rowYd.resize(side);
    for (int m = 0; m < side; ++m) {
        const int r = 1 + m * q;
        rowY[m] = float(r / 1200.0 + latD);
        rowYd[m] = float(double(rowY[m]) + step);
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

void TileMeshBuilder::buildColumns(float *out, int first, int end) const
{
    const ColourLookup &lookup = colourLookup();
    const float *ys = rowY.data();
    const float *yds = rowYd.data();

    for (int k = first; k < end; ++k) {
        const int c = 1 + k * quantity;
        const float x = float(c / 1200.0 + lonD);
        const float xd = float(double(x) + step);
        float *p = out + (k - first) * floatsPerColumn();

        // Past the last sample row or column the cell keeps the previous height.
        const int readRows = c <= 1199 ? qMin(side, 1198 / quantity + 1) : 0;
        qint16 h = readRows > 0 ? 0 : heightBefore(k);

        for (int m = 0; m < side; ++m, p += 36) {
            if (m < readRows)
                h = HgtTile::sample(data, HgtTile::Side - (1 + m * quantity), c);
            const float *rgb = lookup(h);
            const float r = rgb[0], g = rgb[1], b = rgb[2];
            const float y = ys[m], yd = yds[m];

            p[0] = x;   p[1] = y;   p[2] = 0.0f;  p[3] = r;  p[4] = g;  p[5] = b;
            p[6] = xd;  p[7] = y;   p[8] = 0.0f;  p[9] = r;  p[10] = g; p[11] = b;
            p[12] = x;  p[13] = yd; p[14] = 0.0f; p[15] = r; p[16] = g; p[17] = b;
            p[18] = x;  p[19] = yd; p[20] = 0.0f; p[21] = r; p[22] = g; p[23] = b;
            p[24] = xd; p[25] = yd; p[26] = 0.0f; p[27] = r; p[28] = g; p[29] = b;
            p[30] = xd; p[31] = y;  p[32] = 0.0f; p[33] = r; p[34] = g; p[35] = b;
        }
    }
}
