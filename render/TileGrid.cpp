#include "TileGrid.h"

#include "CellEdges.h"
#include "ChgtTile.h"
#include "ChgtTileReader.h"
#include "HeightColors.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int Cell = ChgtTile::FloatsPerCell;
constexpr qint64 CellBytes = Cell * 4;
constexpr qint64 TriangleBytes = CellBytes / 2;

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

// The cells of a file as they lie, 144 bytes each.
class StoredCells
{
public:
    StoredCells(const char *data, qint64 size) : begin(data), p(data), end(data + size) {}

    // The next cell, or nullptr at the end (or before fewer bytes than a cell).
    const char *next()
    {
        last = p;
        if (end - p < CellBytes)
            return nullptr;
        p += CellBytes;
        return last;
    }
    // Whether every byte was part of a cell handed out.
    bool exhausted() const { return p == end; }
    // Where the last cell handed out, or the bytes left over, begin.
    qint64 lastOffset() const { return last - begin; }

private:
    const char *begin;
    const char *p;
    const char *end;
    const char *last = nullptr;
};

bool finiteTriangle(const char *t)
{
    for (int v = 0; v < 3; ++v) {
        for (int f = 0; f < 3; ++f) {
            if (!std::isfinite(ChgtTileReader::recordField(t + v * ChgtTile::VertexBytes, f)))
                return false;
        }
    }
    return true;
}

// The cells of the triangles a reader keeps: whole ones whose coordinates
// are all finite, two to a cell.
class FiniteCells
{
public:
    FiniteCells(const char *data, qint64 size) : p(data), end(data + size) {}

    const char *next()
    {
        int have = 0;
        while (have < 2) {
            if (end - p < TriangleBytes) {
                p = end;
                halfCell = have == 1;
                return nullptr;
            }
            const char *t = p;
            p += TriangleBytes;
            if (finiteTriangle(t))
                std::memcpy(cell + have++ * TriangleBytes, t, TriangleBytes);
        }
        return cell;
    }
    bool exhausted() const { return p == end && !halfCell; }

private:
    const char *p;
    const char *end;
    bool halfCell = false;
    char cell[CellBytes];
};

// Whether a reader drops a triangle of the bytes of one cell (or of what is
// left of the file): one with a non-finite coordinate, or a piece shorter
// than a triangle.
bool dropsTriangle(const char *data, qint64 size)
{
    for (qint64 t = 0; t < size; t += TriangleBytes) {
        if (size - t < TriangleBytes || !finiteTriangle(data + t))
            return true;
    }
    return false;
}

} // namespace

template<class Cells>
TileGrid TileGrid::recogniseCells(Cells &cells)
{
    const char *first = cells.next();
    if (first == nullptr)
        return {};
    // q from the first cell's side, the corner from where it lies: the
    // cells' edges lie in (corner, corner + 1].
    const float x0 = fileFloat(first);
    const float y0 = fileFloat(first + 4);
    const float x1 = fileFloat(first + ChgtTile::VertexBytes);
    if (!(std::fabs(x0) < 1000.0f) || !(std::fabs(y0) < 1000.0f))
        return {};
    int q = 0;
    for (int k = 1; k <= MaxQuantity; ++k) {
        if (float(double(x0) + k / 1200.0) == x1) {
            if (q != 0)
                return {};
            q = k;
        }
    }
    if (q == 0)
        return {};
    const int lon = int(std::ceil(x0)) - 1;
    const int lat = int(std::ceil(y0)) - 1;
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
    // The cell a record's south-west corner names, or false.
    const auto locate = [&](const char *cell, int *column, int *row) {
        const double i = ((double(fileFloat(cell)) - lon) * 1200.0 - 1.0) / q;
        const double j = ((double(fileFloat(cell + 4)) - lat) * 1200.0 - 1.0) / q;
        if (!(i > -0.5 && i < n - 0.5 && j > -0.5 && j < n - 0.5))
            return false;
        *column = int(std::lround(i));
        *row = int(std::lround(j));
        return true;
    };

    TileGrid grid;
    grid.bands = QByteArray(qsizetype(n) * n, Qt::Uninitialized);
    char *const out = grid.bands.data();
    char *const end = out + qsizetype(n) * n;
    int band = 0;
    quint32 column[Cell] = {};
    quint32 expected[Cell];
    const auto expect = [&](int b) {
        for (int i = 0; i < Cell; ++i)
            expected[i] = column[i] | colours.cells[b][i];
    };
    const auto toColumn = [&](int c) {
        // The x slots: vertices 2, 5 and 6 lie on the far edge.
        for (int v = 0; v < 6; ++v)
            column[6 * v] = fileBits(v == 1 || v == 4 || v == 5 ? xs.farEdge(c) : xs.nearEdge(c));
        expect(band);
    };
    // The cursor: the cell the next record should be, and its band's byte.
    int c = 0;
    int r = 0;
    char *at = out;
    toColumn(0);
    for (const char *p = first; p != nullptr; p = cells.next()) {
        if (r == n) {
            if (++c == n)
                return {};
            r = 0;
            toColumn(c);
        }
        quint32 words[Cell];
        std::memcpy(words, p, sizeof words);
        // Neighbouring cells mostly share a band: try the last one first.
        if (difference(words, expected, rows.data() + size_t(r) * Cell) != 0) {
            band = colours.bandOf(words + 3);
            if (band < 0)
                return {};
            expect(band);
            if (difference(words, expected, rows.data() + size_t(r) * Cell) != 0) {
                // Not the cell at the cursor: a later one, those between
                // left out. Never an earlier one, nor the same again.
                int c2, r2;
                if (!locate(p, &c2, &r2))
                    return {};
                char *const to = out + qsizetype(c2) * n + r2;
                if (to <= at)
                    return {};
                std::memset(at, NoCell, size_t(to - at));
                at = to;
                r = r2;
                if (c2 != c) {
                    c = c2;
                    toColumn(c);
                }
                if (difference(words, expected, rows.data() + size_t(r) * Cell) != 0)
                    return {};
            }
        }
        *at++ = char(band);
        ++r;
        ++grid.cells;
    }
    if (!cells.exhausted())
        return {};
    std::memset(at, NoCell, size_t(end - at));
    grid.q = q;
    grid.lonDegrees = lon;
    grid.latDegrees = lat;
    grid.n = n;
    return grid;
}

TileGrid TileGrid::recognise(const char *data, qint64 size)
{
    if (data == nullptr || size <= 0)
        return {};
    StoredCells stored(data, size);
    TileGrid grid = recogniseCells(stored);
    if (!grid.isNull())
        return grid;
    // The cells before the first one found wrong are whole and finite, so
    // dropping triangles changes nothing before it: only when that cell has
    // a triangle to drop can the rest be a grid.
    const qint64 failed = stored.lastOffset();
    if (!dropsTriangle(data + failed, std::min(CellBytes, size - failed)))
        return {};
    FiniteCells finite(data, size);
    return recogniseCells(finite);
}
