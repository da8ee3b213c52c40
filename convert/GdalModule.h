#pragma once

#include "DemRaster.h"
#include "GeoTiff.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

// Every call into GDAL is made in a module of its own (rzmap-gdal), loaded
// the first time a raster is read or a GeoTIFF written: GDAL brings some
// ninety libraries, which a window that does neither need not load or hold.
// The module hands out this table of its calls.
struct GdalModule
{
    // The table's size as the module was built, checked on loading.
    std::size_t size;
    bool (*openRaster)(DemRaster &raster, const QString &path, FileFailure *failure);
    void *(*openDataset)(const QByteArray &source);
    void (*closeDataset)(void *dataset);
    bool (*warp)(TileCorner tile, const std::vector<void *> &sources, int threads, std::vector<qint16> &posts);
    QByteArray (*encodeGeoTiff)(const uchar *bits, int width, int height, qsizetype bytesPerLine,
                                const GeoTiff::Window &window, const QString &copyright);

    // The module's calls, loaded once, by whichever thread asks first.
    // nullptr where it cannot be loaded; the reason goes to standard error.
    static const GdalModule *load();
};
