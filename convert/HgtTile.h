#pragma once

#include <QString>
#include <QtEndian>

#include <QByteArray>

// The HGT input tile: 1201 x 1201 big-endian signed 16-bit heights,
// rows north to south, samples in a row west to east, no header. Tiles at
// 1 arc-second (3601 x 3601) hold the same grid in every third sample.
class HgtTile
{
public:
    static constexpr int Side = 1201;
    static constexpr int FileSize = Side * Side * 2;
    static constexpr int FineSide = 3601;
    static constexpr int FineFileSize = FineSide * FineSide * 2;

    // Whether a file of this size holds a tile at either resolution.
    static bool isTileSize(qint64 size) { return size == FileSize || size == FineFileSize; }

    // The 1201 x 1201 tile of a tile's bytes at either resolution: a fine
    // tile gives rows and columns 0, 3, ..., 3600. Returns an empty array
    // for any other size.
    static QByteArray coarse(const QByteArray &bytes);

    // Whether a file name (without directory) starts with a tile corner,
    // as in "N50E014.SRTMGL1.hgt"; lat and lon then receive it.
    static bool parseCorner(const QString &fileName, int *lat, int *lon);

    // True when the last 11 characters of path look like "N49E014.hgt";
    // lat and lon (either may be null) then receive the whole degrees.
    static bool parseName(const QString &path, int *lat = nullptr, int *lon = nullptr);

    // Height in metres of the sample at row, column of the raw tile bytes.
    static qint16 sample(const char *data, int row, int col)
    {
        return qFromBigEndian<qint16>(data + 2 * (qsizetype(row) * Side + col));
    }
};
