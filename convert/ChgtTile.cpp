#include "ChgtTile.h"

#include "HeightColors.h"

#include <cstring>


QString ChgtTile::fileName(int lat, int lon)
{
    return QStringLiteral("N%1E%2.chgt")
        .arg(lat, 2, 10, QLatin1Char('0'))
        .arg(lon, 3, 10, QLatin1Char('0'));
}

namespace {

quint32 bitsOf(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

void ChgtTile::setCellColumn(quint32 *cell, float x, float xd)
{
    for (int v = 0; v < 6; ++v)
        cell[FloatsPerVertex * v] = bitsOf(v == 1 || v == 4 || v == 5 ? xd : x);
}

void ChgtTile::setCellRow(quint32 *cell, float y, float yd)
{
    for (int v = 0; v < 6; ++v)
        cell[FloatsPerVertex * v + 1] = bitsOf(v >= 2 && v <= 4 ? yd : y);
}

const quint32 *ChgtTile::bandCellColours(int band)
{
    struct Table
    {
        Table()
        {
            for (int b = 0; b < HeightBandCount; ++b) {
                float rgb[3];
                heightColor(float(heightColors[b].bound), rgb[0], rgb[1], rgb[2]);
                for (int v = 0; v < 6; ++v)
                    std::memcpy(&cells[b][FloatsPerVertex * v + 3], rgb, sizeof rgb);
            }
        }
        quint32 cells[HeightBandCount][FloatsPerCell] = {};
    };
    static const Table table;
    return table.cells[band];
}
