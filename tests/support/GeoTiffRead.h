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
    int bands = 0;

    static GeoTiffRead of(const QString &path)
    {
        GDALAllRegister();
        GeoTiffRead r;
        GDALDatasetH ds = GDALOpen(path.toUtf8().constData(), GA_ReadOnly);
        if (!ds)
            return r;
        r.bands = GDALGetRasterCount(ds);
        GDALGetGeoTransform(ds, r.transform.data());
        if (OGRSpatialReferenceH srs = GDALGetSpatialRef(ds))
            r.authority = QString("%1:%2").arg(OSRGetAuthorityName(srs, nullptr),
                                               OSRGetAuthorityCode(srs, nullptr));
        r.copyright = QString::fromUtf8(GDALGetMetadataItem(ds, "TIFFTAG_COPYRIGHT", nullptr));
        r.compression = QString::fromUtf8(GDALGetMetadataItem(ds, "COMPRESSION", "IMAGE_STRUCTURE"));
        const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(0xff000000);
        bool ok = r.bands == 3;
        for (int b = 0; ok && b < 3; ++b) {
            QByteArray plane(qsizetype(w) * h, 0);
            ok = GDALRasterIO(GDALGetRasterBand(ds, b + 1), GF_Read, 0, 0, w, h, plane.data(), w, h,
                              GDT_Byte, 0, 0) == CE_None;
            for (int y = 0; ok && y < h; ++y) {
                auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
                for (int x = 0; x < w; ++x)
                    line[x] |= quint32(quint8(plane[qsizetype(y) * w + x])) << (16 - 8 * b);
            }
        }
        GDALClose(ds);
        if (ok)
            r.image = image;
        return r;
    }
};
