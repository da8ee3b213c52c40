#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A map picture as a GeoTIFF that GIS programs place where it belongs: RGB,
// deflate-compressed, in WGS 84 longitude and latitude (EPSG:4326).
namespace GeoTiff {

// The area a picture shows, in degrees: the outer edges of its outer
// pixels. Pixels need not be square, since the views stretch the map.
struct Window
{
    double west;
    double east;
    double south;
    double north;
};

// The window the painter draws with, given in hundredths of a degree with
// a negative height (north at the top), in degrees.
Window ofPainterWindow(int left, int top, int width, int height);

// The GeoTIFF bytes of a picture held as 32-bit 0xffRRGGBB pixels (the
// layout of QImage::Format_RGB32), georeferenced to window and carrying
// copyright in TIFFTAG_COPYRIGHT when it is not empty. Empty when GDAL
// cannot make it.
QByteArray encode(const uchar *bits, int width, int height, qsizetype bytesPerLine,
                  const Window &window, const QString &copyright);

// encode() inside the GDAL module.
QByteArray encodeWithGdal(const uchar *bits, int width, int height, qsizetype bytesPerLine,
                          const Window &window, const QString &copyright);

// Whether a picture written to path should be a GeoTIFF: it ends in .tif
// or .tiff, in any case.
bool isGeoTiffPath(const QString &path);

} // namespace GeoTiff
