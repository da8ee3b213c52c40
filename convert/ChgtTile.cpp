#include "ChgtTile.h"


QString ChgtTile::fileName(int lat, int lon)
{
    return QStringLiteral("N%1E%2.chgt")
        .arg(lat, 2, 10, QLatin1Char('0'))
        .arg(lon, 3, 10, QLatin1Char('0'));
}
