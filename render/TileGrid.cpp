#include "TileGrid.h"

#include "CellEdges.h"
#include "ChgtTile.h"
#include "HeightColors.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace {

constexpr int Cell = ChgtTile::FloatsPerCell;

// The bits of a float as they lie in a little-endian file.
quint32 fileBits(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return qToLittleEndian(bits);
}

float fileFloat(const char *p)
{
    const quint32 bits = qFromLittleEndian<quint32>(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Each band's colour in the colour slots of a cell, as the builder writes it.
struct ColourSlots
{
    ColourSlots()
    {
        // In the file's byte order, as the words read from it are compared.
        for (int b = 0; b < HeightBandCount; ++b) {
            const quint32 *words = ChgtTile::bandCellColours(b);
            for (int i = 0; i < Cell; ++i)
                cells[b][i] = qToLittleEndian(words[i]);
        }
    }

    // The band whose colour is the three words at rgb, or -1.
    int bandOf(const quint32 *rgb) const
    {
        for (int b = 0; b < HeightBandCount; ++b) {
            if (cells[b][3] == rgb[0] && cells[b][4] == rgb[1] && cells[b][5] == rgb[2])
                return b;
        }
        return -1;
    }

    quint32 cells[HeightBandCount][Cell] = {};
};

const ColourSlots &colourSlots()
{
    static const ColourSlots table;
    return table;
}

// Bits that differ between a cell's 36 words and the expected ones: the
// column's x slots and the colour (expected) and the row's y slots fill
// disjoint slots and leave z at +0.0.
inline quint32 difference(const quint32 *words, const quint32 *expected, const quint32 *row)
{
    quint32 diff = 0;
    for (int i = 0; i < Cell; ++i)
        diff |= words[i] ^ (expected[i] | row[i]);
    return diff;
}

} // namespace

int TileGrid::quantityOfSize(qint64 bytes)
{
    for (int q = 1; q <= MaxQuantity; ++q) {
        if (bytes == fileBytes(q))
            return q;
    }
    return 0;
}

std::vector<int> TileGrid::levelsOf(int q)
{
    std::vector<int> levels;
    for (int k = q; q > 0 && k <= 1200; k += q) {
        if (1200 % k == 0)
            levels.push_back(k);
    }
    return levels;
}

TileGrid TileGrid::recognise(const char *data, qint64 size)
{
    const int q = quantityOfSize(size);
    if (q == 0 || data == nullptr)
        return {};
    // The corner from the first record: its x and y lie 1/1200 degree inside.
    const float x0 = fileFloat(data);
    const float y0 = fileFloat(data + 4);
    if (!(std::fabs(x0) < 1000.0f) || !(std::fabs(y0) < 1000.0f))
        return {};
    const int lon = int(std::floor(x0));
    const int lat = int(std::floor(y0));
    const int n = sideAt(q);

    const CellEdges xs(lon, q);
    const CellEdges ys(lat, q);
    // Per row, the y slots of a cell: vertices 3, 4 and 5 lie on the far edge.
    std::vector<quint32> rows(size_t(n) * Cell, 0);
    for (int r = 0; r < n; ++r) {
        quint32 *row = rows.data() + size_t(r) * Cell;
        for (int v = 0; v < 6; ++v)
            row[6 * v + 1] = fileBits(v >= 2 && v <= 4 ? ys.farEdge(r) : ys.nearEdge(r));
    }
    const ColourSlots &colours = colourSlots();

    TileGrid grid;
    grid.bands = QByteArray(qsizetype(n) * n, Qt::Uninitialized);
    char *out = grid.bands.data();
    int band = 0;
    quint32 column[Cell] = {};
    quint32 expected[Cell];
    const auto expect = [&](int b) {
        for (int i = 0; i < Cell; ++i)
            expected[i] = column[i] | colours.cells[b][i];
    };
    for (int c = 0; c < n; ++c) {
        // The x slots: vertices 2, 5 and 6 lie on the far edge.
        for (int v = 0; v < 6; ++v)
            column[6 * v] = fileBits(v == 1 || v == 4 || v == 5 ? xs.farEdge(c) : xs.nearEdge(c));
        expect(band);
        const char *p = data + qsizetype(c) * n * (Cell * 4);
        for (int r = 0; r < n; ++r, p += Cell * 4) {
            quint32 words[Cell];
            std::memcpy(words, p, sizeof words);
            const quint32 *row = rows.data() + size_t(r) * Cell;
            // Neighbouring cells mostly share a band: try the last one first.
            if (difference(words, expected, row) != 0) {
                band = colours.bandOf(words + 3);
                if (band < 0)
                    return {};
                expect(band);
                if (difference(words, expected, row) != 0)
                    return {};
            }
            *out++ = char(band);
        }
    }
    grid.q = q;
    grid.lonDegrees = lon;
    grid.latDegrees = lat;
    grid.n = n;
    return grid;
}
