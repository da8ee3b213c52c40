#include "DemRaster.h"

#include "GdalModule.h"
#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// How far outside the transformed extent a post may still have data: the
// densified edges of a projected raster bend a little between their points.
constexpr double Slack = 1e-5;
constexpr double Post = 1.0 / 1200;

} // namespace

bool DemRaster::isRasterPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("tif") || suffix == QLatin1String("tiff")
           || suffix == QLatin1String("vrt") || suffix == QLatin1String("asc")
           || suffix == QLatin1String("img");
}

QStringList DemRaster::nameFilters()
{
    return {QStringLiteral("*.tif"), QStringLiteral("*.tiff"), QStringLiteral("*.vrt"),
            QStringLiteral("*.asc"), QStringLiteral("*.img")};
}

double DemRaster::metresPerUnit(const QString &unit)
{
    const QString u = unit.trimmed().toLower();
    if (u.isEmpty() || u == QLatin1String("m") || u == QLatin1String("metre")
        || u == QLatin1String("meter") || u == QLatin1String("metres")
        || u == QLatin1String("meters"))
        return 1.0;
    if (u == QLatin1String("ft") || u == QLatin1String("foot") || u == QLatin1String("feet"))
        return 0.3048;
    if (u == QLatin1String("us-ft") || u == QLatin1String("ftus")
        || u == QLatin1String("us survey foot") || u == QLatin1String("us survey feet"))
        return 1200.0 / 3937.0;
    return 0.0;
}

bool DemRaster::open(const QString &path, FileFailure *failure)
{
    filePath = path;
    source.clear();
    plain = true;

    // A fifo or a device named like a raster would block GDAL for ever.
    {
        QFile probe;
        if (!RegularFile::open(probe, path, failure))
            return false;
    }
    const GdalModule *gdal = GdalModule::load();
    if (!gdal) {
        if (failure)
            *failure = FileFailure::of(FileFailure::NotRaster);
        return false;
    }
    return gdal->openRaster(*this, path, failure);
}

QVector<TileCorner> DemRaster::tiles() const
{
    // Inner posts lie from 1/1200 to 1199/1200 of a degree into the tile.
    // Clamped first, so that no far-off extent overflows an int.
    const auto first = [](double low) { return int(std::ceil(std::clamp(low, -999.0, 999.0) - (1 - Post) - Slack)); };
    const auto last = [](double high) { return int(std::floor(std::clamp(high, -999.0, 999.0) - Post + Slack)); };
    const int latFrom = std::max(0, first(bounds[1]));
    const int latTo = std::min(89, last(bounds[3]));
    const int lonFrom = std::max(0, first(bounds[0]));
    const int lonTo = std::min(99, last(bounds[2]));
    QVector<TileCorner> result;
    for (int lat = latFrom; lat <= latTo; ++lat) {
        for (int lon = lonFrom; lon <= lonTo; ++lon)
            result.append({lat, lon});
    }
    return result;
}

bool DemRaster::reachesWarpOf(TileCorner tile) const
{
    // A raster adds to a post only where the post lies on its pixels: the
    // warper passes over posts outside them, kernel or not.
    const double margin = Slack;
    return bounds[0] <= tile.lon + 1 + margin && bounds[2] >= tile.lon - margin
           && bounds[1] <= tile.lat + 1 + margin && bounds[3] >= tile.lat - margin;
}
