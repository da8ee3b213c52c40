#include "GeoTiff.h"

#include "GdalModule.h"

QByteArray GeoTiff::encode(const uchar *bits, int width, int height, qsizetype bytesPerLine,
                           const Window &window, const QString &copyright)
{
    const GdalModule *gdal = GdalModule::load();
    return gdal ? gdal->encodeGeoTiff(bits, width, height, bytesPerLine, window, copyright) : QByteArray();
}

GeoTiff::Window GeoTiff::ofPainterWindow(int left, int top, int width, int height)
{
    return Window{left / 100.0, (left + width) / 100.0, (top + height) / 100.0, top / 100.0};
}

bool GeoTiff::isGeoTiffPath(const QString &path)
{
    return path.endsWith(QLatin1String(".tif"), Qt::CaseInsensitive)
           || path.endsWith(QLatin1String(".tiff"), Qt::CaseInsensitive);
}
