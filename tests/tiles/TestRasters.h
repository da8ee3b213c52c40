#pragma once

// Elevation rasters made with GDAL's API for the tests: any size, grid,
// coordinate system, no-data value, unit, scale and offset.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gdal.h>
#include <ogr_srs_api.h>

#include <array>
#include <functional>
#include <vector>

namespace TestRasters {

struct Raster
{
    int width = 1;
    int height = 1;
    std::array<double, 6> geoTransform{0, 1, 0, 0, 0, -1};
    bool hasGeoTransform = true;
    QByteArray crs = "EPSG:4326"; // anything OSRSetFromUserInput takes; empty: none
    int bands = 1;
    bool hasNoData = false;
    double noData = 0;
    QByteArray unit;  // empty: none declared
    double scale = 1; // written only when not 1 / not 0
    double offset = 0;
    QByteArray driver = "GTiff";
    std::vector<int> overviews; // factors, built into the file
    // Value of pixel (column, row); row 0 is the top one.
    std::function<double(int, int)> value = [](int, int) { return 0.0; };

    // A grid of pixels 1/perDegree of a degree of WGS 84 apart whose first
    // pixel centre lies at (west, north).
    static Raster degrees(double west, double north, int width, int height, double perDegree)
    {
        const double d = 1.0 / perDegree;
        Raster r;
        r.width = width;
        r.height = height;
        r.geoTransform = {west - d / 2, d, 0, north + d / 2, 0, -d};
        return r;
    }

    // Made in memory, then copied: some drivers (ASCII grids) only copy.
    bool write(const QString &path) const
    {
        GDALAllRegister();
        GDALDriverH drv = GDALGetDriverByName(driver.constData());
        GDALDatasetH ds = GDALCreate(GDALGetDriverByName("MEM"), "", width, height, bands, GDT_Float32, nullptr);
        if (!drv || !ds)
            return false;
        if (hasGeoTransform)
            GDALSetGeoTransform(ds, const_cast<double *>(geoTransform.data()));
        if (!crs.isEmpty()) {
            OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
            OSRSetFromUserInput(srs, crs.constData());
            GDALSetSpatialRef(ds, srs);
            OSRDestroySpatialReference(srs);
        }
        bool ok = true;
        std::vector<double> row(static_cast<size_t>(width));
        for (int b = 1; b <= bands; ++b) {
            GDALRasterBandH band = GDALGetRasterBand(ds, b);
            if (hasNoData)
                GDALSetRasterNoDataValue(band, noData);
            if (!unit.isEmpty())
                GDALSetRasterUnitType(band, unit.constData());
            if (scale != 1)
                GDALSetRasterScale(band, scale);
            if (offset != 0)
                GDALSetRasterOffset(band, offset);
            for (int y = 0; y < height && ok; ++y) {
                for (int x = 0; x < width; ++x)
                    row[size_t(x)] = value(x, y);
                ok = GDALRasterIO(band, GF_Write, 0, y, width, 1, row.data(), width, 1, GDT_Float64, 0, 0)
                     == CE_None;
            }
        }
        GDALDatasetH out = ok ? GDALCreateCopy(drv, QFile::encodeName(path), ds, FALSE, nullptr, nullptr, nullptr) : nullptr;
        if (out && !overviews.empty())
            ok = GDALBuildOverviews(out, "AVERAGE", int(overviews.size()), const_cast<int *>(overviews.data()), 0,
                                    nullptr, nullptr, nullptr)
                 == CE_None;
        if (out)
            GDALClose(out);
        GDALClose(ds);
        return ok && out != nullptr;
    }
};

} // namespace TestRasters
