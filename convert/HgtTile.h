#pragma once

#include <QString>
#include <QtEndian>

// The HGT input tile: 1201 x 1201 big-endian signed 16-bit heights,
// rows north to south, samples in a row west to east, no header.
class HgtTile
{
public:
    static constexpr int Side = 1201;
    static constexpr int FileSize = Side * Side * 2;

    // True when the last 11 characters of path look like "N49E014.hgt";
    // lat and lon (either may be null) then receive the whole degrees.
    static bool parseName(const QString &path, int *lat = nullptr, int *lon = nullptr);

    // Height in metres of the sample at row, column of the raw tile bytes.
    static qint16 sample(const char *data, int row, int col)
    {
        return qFromBigEndian<qint16>(data + 2 * (qsizetype(row) * Side + col));
    }
};
