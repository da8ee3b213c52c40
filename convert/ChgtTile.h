#pragma once

#include <QString>
#include <QtGlobal>

// The CHGT tile: a bare array of 24-byte vertex records (x, y, z, r, g, b as
// little-endian floats), three per triangle, two triangles per cell.
class ChgtTile
{
public:
    static constexpr int FloatsPerVertex = 6;
    static constexpr int FloatsPerCell = 36;
    static constexpr int BytesPerCell = FloatsPerCell * 4;

    // "N49E014.chgt" for lat 49, lon 14, without a directory.
    static QString fileName(int lat, int lon);

    // Cells per column and columns per tile for quantity q (1..5).
    static int cellsPerSide(int q) { return 1199 / q + 1; }
    static qint64 floatCount(int q)
    {
        const qint64 n = cellsPerSide(q);
        return n * n * FloatsPerCell;
    }
    static qint64 fileSize(int q) { return floatCount(q) * 4; }
};
