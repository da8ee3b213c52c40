// The tile mesh, both as TileMeshBuilder builds it in memory and as
// ChgtTileWriter writes it, against a plain second reading of the cell rule,
// bit for bit. Input: quantity, longitude and latitude bytes, then heights
// repeated over the whole 1201 x 1201 tile.
//
// Quantity 1 builds a 207 MB array and file (about ten seconds under the
// sanitizers), so only one first byte in 32 asks for it; the others pick
// 2..5. It cannot be left out: only there does a cell start at sample 1200,
// past the last one, and keep the height before it. Every quantity compares
// the whole output, one column at a time.

#include "ChgtTile.h"
#include "ChgtTileWriter.h"
#include "HgtTile.h"
#include "TileMeshBuilder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QVector>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The colour table as the format gives it: upper bound in metres, then
// red, green and blue out of 255; above the last bound, black.
const int Bands[12][4] = {
    {0, 0, 125, 255},      {200, 180, 220, 172},  {300, 212, 233, 186},  {400, 236, 242, 196},
    {500, 236, 224, 174},  {600, 229, 207, 152},  {800, 218, 185, 141},  {1000, 212, 164, 132},
    {1200, 118, 152, 131}, {1400, 173, 148, 118}, {1800, 138, 122, 93},  {0, 0, 0, 0},
};

// Cells of one column, south to north, written straight from the rule: cell
// (c, r) for c, r = 1, 1 + q, ... up to 1200 spans [c, c + q] x [r, r + q] in
// 1200ths of a degree and takes the height of sample (row 1201 - r, column c).
// Past the last sample (c or r = 1200) a cell keeps the height of the cell
// before it, in column order, which the caller carries over in height.
void referenceColumn(const char *hgt, int lon, int lat, int q, int c, float &height, float *out)
{
    const float x = float(c / 1200.0 + lon), xd = float(double(x) + q / 1200.0);
    for (int r = 1; r <= 1200; r += q) {
        if (c <= 1199 && r <= 1199)
            height = qFromBigEndian<qint16>(hgt + 2 * ((1201 - r) * 1201 + c));
        const float y = float(r / 1200.0 + lat), yd = float(double(y) + q / 1200.0);
        int b = 0;
        while (b < 11 && Bands[b][0] < height)
            ++b;
        const float rgb[3] = {float(Bands[b][1] / 255.0), float(Bands[b][2] / 255.0),
                              float(Bands[b][3] / 255.0)};
        const std::pair<float, float> corners[6] = {{x, y}, {xd, y}, {x, yd}, {x, yd}, {xd, yd}, {xd, y}};
        for (const auto &[vx, vy] : corners) {
            for (float value : {vx, vy, 0.0f, rgb[0], rgb[1], rgb[2]})
                *out++ = value;
        }
    }
}

// Cells per column, and columns per tile, counted as the rule steps.
int referenceSide(int q)
{
    int n = 0;
    for (int r = 1; r <= 1200; r += q)
        ++n;
    return n;
}

const QTemporaryDir &scratch()
{
    static const QTemporaryDir dir;
    if (!dir.isValid())
        __builtin_trap();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int q = data[0] % 32 == 0 ? 1 : 2 + data[0] % 4;
    const int lon = data[1] % 100;
    const int lat = data[2] % 100;
    QByteArray hgt(HgtTile::FileSize, '\0');
    if (size > 3) {
        // The pattern, then what is filled so far, doubling each time.
        char *out = hgt.data();
        const size_t total = size_t(hgt.size());
        size_t filled = qMin(size - 3, total);
        std::memcpy(out, data + 3, filled);
        while (filled < total) {
            const size_t n = qMin(filled, total - filled);
            std::memcpy(out + filled, out, n);
            filled += n;
        }
    }

    const int side = referenceSide(q);
    const qsizetype columnFloats = qsizetype(side) * 36;
    const TileMeshBuilder builder(hgt.constData(), lon, lat, q);
    if (builder.columnCount() != side || builder.floatCount() != side * columnFloats)
        __builtin_trap();
    // The whole tile in memory, and the same written in batches below.
    std::vector<float> vertices(size_t(builder.floatCount()));
    builder.buildColumns(vertices.data(), 0, side);

    const QString path = QDir(scratch().path()).filePath(ChgtTile::fileName(lat, lon));
    {
        ChgtTileWriter writer(path);
        if (!writer.open() || !writer.writeMesh(TileMeshBuilder(hgt.constData(), lon, lat, q))
            || !writer.commit())
            __builtin_trap();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != side * columnFloats * 4)
        __builtin_trap();

    std::vector<float> expected(static_cast<size_t>(columnFloats));
    QByteArray expectedBytes(columnFloats * 4, Qt::Uninitialized);
    float height = 0;
    for (int k = 0; k < side; ++k) {
        referenceColumn(hgt.constData(), lon, lat, q, 1 + k * q, height, expected.data());
        if (std::memcmp(vertices.data() + k * columnFloats, expected.data(), size_t(columnFloats) * 4) != 0)
            __builtin_trap();
        qToLittleEndian<float>(expected.data(), columnFloats, expectedBytes.data());
        if (file.read(columnFloats * 4) != expectedBytes)
            __builtin_trap();
    }
    file.close();
    if (!QFile::remove(path))
        __builtin_trap();
    return 0;
}
