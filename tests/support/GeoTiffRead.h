#pragma once

#include <QImage>
#include <QString>

#include <gdal.h>
#include <ogr_srs_api.h>

#include <array>

// A GeoTIFF read back through GDAL, as another GIS program would read it.
struct GeoTiffRead
{
    QImage image;                       // RGB32, empty when unreadable
    std::array<double, 6> transform{};  // GDAL's geotransform
    QString authority;                  // "EPSG:4326"
    QString copyright;                  // TIFFTAG_COPYRIGHT
    QString compression;                // IMAGE_STRUCTURE COMPRESSION

    static GeoTiffRead of(const QString &path)
    {
        GDALAllRegister();
        GeoTiffRead r;
        GDALDatasetH ds = GDALOpen(path.toUtf8().constData(), GA_ReadOnly);
        if (!ds)
            return r;
        GDALGetGeoTransform(ds, r.transform.data());
        if (OGRSpatialReferenceH srs = GDALGetSpatialRef(ds))
            r.authority = QString("%1:%2").arg(OSRGetAuthorityName(srs, nullptr),
                                               OSRGetAuthorityCode(srs, nullptr));
        r.copyright = QString::fromUtf8(GDALGetMetadataItem(ds, "TIFFTAG_COPYRIGHT", nullptr));
        r.compression = QString::fromUtf8(GDALGetMetadataItem(ds, "COMPRESSION", "IMAGE_STRUCTURE"));
        // Bands 3, 2, 1 into the blue, green and red bytes of an RGB32 pixel.
        const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
        r.image = QImage(w, h, QImage::Format_RGB32);
        r.image.fill(0xff000000);
        int bandMap[3] = {3, 2, 1};
        if (GDALGetRasterCount(ds) != 3 || GDALDatasetRasterIO(ds, GF_Read, 0, 0, w, h, r.image.bits(), w, h, GDT_Byte, 3,
                                                               bandMap, 4, r.image.bytesPerLine(), 1) != CE_None)
            r.image = QImage();
        GDALClose(ds);
        return r;
    }
};
