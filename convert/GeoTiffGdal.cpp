#include "GeoTiff.h"

#include <QAtomicInteger>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <memory>

namespace {

// A name of its own in GDAL's memory file system for every picture, so
// pictures made at once on several threads never meet.
QByteArray memoryFileName()
{
    static QAtomicInteger<quint64> counter;
    return "/vsimem/rzmap-picture-" + QByteArray::number(counter.fetchAndAddRelaxed(1)) + ".tif";
}

// Byte offsets of red, green and blue within a 0xffRRGGBB pixel in memory.
constexpr int channelOffset(int channel)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    return 2 - channel;
#else
    return 1 + channel;
#endif
}

struct DatasetCloser
{
    void operator()(void *dataset) const { GDALClose(dataset); }
};

} // namespace

QByteArray GeoTiff::encodeWithGdal(const uchar *bits, int width, int height, qsizetype bytesPerLine,
                                   const Window &window, const QString &copyright)
{
    if (!bits || width < 1 || height < 1)
        return QByteArray();

    GDALDriverH memory = GDALGetDriverByName("MEM");
    GDALDriverH tiff = GDALGetDriverByName("GTiff");
    if (!memory || !tiff)
        return QByteArray();
    std::unique_ptr<void, DatasetCloser> picture(
        GDALCreate(memory, "", width, height, 3, GDT_Byte, nullptr));
    if (!picture)
        return QByteArray();

    // Each band is read straight out of the 32-bit pixels.
    for (int channel = 0; channel < 3; ++channel) {
        GDALRasterBandH band = GDALGetRasterBand(picture.get(), channel + 1);
        const GDALColorInterp colour[3] = {GCI_RedBand, GCI_GreenBand, GCI_BlueBand};
        GDALSetRasterColorInterpretation(band, colour[channel]);
        void *first = const_cast<uchar *>(bits) + channelOffset(channel);
        if (GDALRasterIOEx(band, GF_Write, 0, 0, width, height, first, width, height, GDT_Byte, 4,
                           GSpacing(bytesPerLine), nullptr)
            != CE_None)
            return QByteArray();
    }

    double transform[6] = {window.west, (window.east - window.west) / width, 0.0,
                           window.north, 0.0, -(window.north - window.south) / height};
    GDALSetGeoTransform(picture.get(), transform);
    OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(wgs84, 4326);
    GDALSetSpatialRef(picture.get(), wgs84);
    OSRDestroySpatialReference(wgs84);
    if (!copyright.isEmpty())
        GDALSetMetadataItem(picture.get(), "TIFFTAG_COPYRIGHT", copyright.toUtf8().constData(),
                            nullptr);

    const QByteArray name = memoryFileName();
    char **options = nullptr;
    options = CSLSetNameValue(options, "COMPRESS", "DEFLATE");
    options = CSLSetNameValue(options, "PHOTOMETRIC", "RGB");
    CPLErrorReset();
    GDALDatasetH written = GDALCreateCopy(tiff, name.constData(), picture.get(), FALSE, options,
                                          nullptr, nullptr);
    CSLDestroy(options);
    if (written)
        GDALClose(written);
    // The file is finished on closing; a failure then is only told as an error.
    const bool whole = written != nullptr && CPLGetLastErrorType() < CE_Failure;

    QByteArray bytes;
    vsi_l_offset length = 0;
    GByte *data = VSIGetMemFileBuffer(name.constData(), &length, TRUE);
    if (whole && data)
        bytes = QByteArray(reinterpret_cast<const char *>(data), qsizetype(length));
    CPLFree(data);
    VSIUnlink(name.constData());
    return bytes;
}
