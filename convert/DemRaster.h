#pragma once

#include "FileFailure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// A one-degree tile by its south-west corner, as in "N49E014".
struct TileCorner
{
    int lat = 0;
    int lon = 0;

    friend bool operator==(TileCorner a, TileCorner b) { return a.lat == b.lat && a.lon == b.lon; }
    friend bool operator<(TileCorner a, TileCorner b)
    {
        return a.lat != b.lat ? a.lat < b.lat : a.lon < b.lon;
    }
};

struct GdalModule;
extern "C" const GdalModule *rzmapGdalModule();

// An elevation raster that GDAL reads (GeoTIFF, VRT, ASCII grid, Erdas
// Imagine...), checked for what an import needs: a georeference in a known
// coordinate system, exactly one band, heights in metres or feet. Holds no
// GDAL handle once open() returns, so it can be copied to any thread; each
// thread opens warpSource() for itself, since GDAL datasets are not
// thread-safe.
class DemRaster
{
public:
    // Whether a path names a raster for the import, by its extension alone:
    // .tif, .tiff, .vrt, .asc or .img in any case.
    static bool isRasterPath(const QString &path);
    // The same as file-dialog patterns: "*.tif", "*.tiff", ...
    static QStringList nameFilters();
    // Metres per unit of a band's declared unit: 1 for none or metres,
    // 0.3048 for feet, 1200/3937 for US survey feet; 0 for any other unit.
    static double metresPerUnit(const QString &unit);

    // Opens the raster and checks it; false, with the reason in *failure,
    // when it cannot serve as heights. GDAL's own message goes to stderr.
    bool open(const QString &path, FileFailure *failure = nullptr);

    QString path() const { return filePath; }
    // What GDALOpen takes to read the heights in metres: the file itself
    // when its values are metres already, else a VRT description of it
    // with its scale, offset and unit applied in double precision.
    QByteArray warpSource() const { return source; }
    // Whether warpSource() is the file itself.
    bool isPlain() const { return plain; }

    // The raster's extent in degrees of WGS 84 longitude and latitude,
    // taken outward from the pixels' outer edges.
    double west() const { return bounds[0]; }
    double south() const { return bounds[1]; }
    double east() const { return bounds[2]; }
    double north() const { return bounds[3]; }

    // The tiles N00-N89, E000-E099 whose inner posts (those not on the
    // tile's edges) the extent reaches, south to north, west to east. Only
    // these can get a post with data inside them.
    QVector<TileCorner> tiles() const;
    // Whether the extent reaches the posts of a tile's warp, edges included.
    bool reachesWarpOf(TileCorner tile) const;

private:
    friend const GdalModule *rzmapGdalModule();
    // open() past its checks, inside the GDAL module.
    bool openWithGdal(const QString &path, FileFailure *failure);

    QString filePath;
    QByteArray source;
    bool plain = true;
    double bounds[4] = {0, 0, 0, 0};
};
