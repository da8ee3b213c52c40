#include "DemRaster.h"

#include <QFile>
#include <QFileInfo>

#include <gdal.h>
#include <gdal_vrt.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The no-data of a VRT with scaled heights when the file's is NaN.
constexpr double VoidMetres = -32768;

struct DatasetCloser
{
    void operator()(void *dataset) const { GDALClose(GDALDatasetH(dataset)); }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct SrsDeleter
{
    void operator()(void *srs) const { OSRDestroySpatialReference(OGRSpatialReferenceH(srs)); }
};
using Srs = std::unique_ptr<void, SrsDeleter>;

struct TransformDeleter
{
    void operator()(void *ct) const
    {
        OCTDestroyCoordinateTransformation(OGRCoordinateTransformationH(ct));
    }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

bool fail(FileFailure *failure, FileFailure::Kind kind, int code = 0, const QString &detail = {})
{
    if (failure)
        *failure = FileFailure{kind, code, detail};
    return false;
}

// Longitude and latitude in this order, whatever the CRS's own axis order.
Srs traditionalClone(OGRSpatialReferenceH srs)
{
    Srs copy(OSRClone(srs));
    if (copy)
        OSRSetAxisMappingStrategy(copy.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return copy;
}

// Pixel-edge extent in the raster's own coordinates.
void nativeExtent(GDALDatasetH ds, const double *gt, bool hasGeoTransform, double *box)
{
    double xs[4];
    double ys[4];
    int count = 0;
    if (hasGeoTransform) {
        const double w = GDALGetRasterXSize(ds);
        const double h = GDALGetRasterYSize(ds);
        for (const auto &[px, py] : {std::pair{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h}}) {
            xs[count] = gt[0] + px * gt[1] + py * gt[2];
            ys[count] = gt[3] + px * gt[4] + py * gt[5];
            ++count;
        }
        box[0] = *std::min_element(xs, xs + count);
        box[1] = *std::min_element(ys, ys + count);
        box[2] = *std::max_element(xs, xs + count);
        box[3] = *std::max_element(ys, ys + count);
        return;
    }
    const GDAL_GCP *gcps = GDALGetGCPs(ds);
    const int n = GDALGetGCPCount(ds);
    box[0] = box[2] = gcps[0].dfGCPX;
    box[1] = box[3] = gcps[0].dfGCPY;
    for (int i = 1; i < n; ++i) {
        box[0] = std::min(box[0], gcps[i].dfGCPX);
        box[1] = std::min(box[1], gcps[i].dfGCPY);
        box[2] = std::max(box[2], gcps[i].dfGCPX);
        box[3] = std::max(box[3], gcps[i].dfGCPY);
    }
}

} // namespace

bool DemRaster::openWithGdal(const QString &path, FileFailure *failure)
{
    const QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    Dataset ds(GDALOpenEx(name.constData(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                          nullptr, nullptr, nullptr));
    if (!ds)
        return fail(failure, FileFailure::NotRaster);
    GDALDatasetH h = ds.get();

    double gt[6] = {0, 1, 0, 0, 0, 1};
    const bool hasGeoTransform = GDALGetGeoTransform(h, gt) == CE_None;
    if (!hasGeoTransform && GDALGetGCPCount(h) == 0)
        return fail(failure, FileFailure::NoGeoreference);
    OGRSpatialReferenceH srs = hasGeoTransform ? GDALGetSpatialRef(h) : GDALGetGCPSpatialRef(h);
    if (!srs)
        return fail(failure, FileFailure::UnknownCrs);
    const Srs native = traditionalClone(srs);
    Srs wgs84(OSRNewSpatialReference(nullptr));
    if (!native || !wgs84 || OSRImportFromEPSG(wgs84.get(), 4326) != OGRERR_NONE)
        return fail(failure, FileFailure::UnknownCrs);
    OSRSetAxisMappingStrategy(wgs84.get(), OAMS_TRADITIONAL_GIS_ORDER);
    const Transform toWgs84(OCTNewCoordinateTransformation(native.get(), wgs84.get()));
    if (!toWgs84)
        return fail(failure, FileFailure::UnknownCrs);

    const int bands = GDALGetRasterCount(h);
    if (bands != 1)
        return fail(failure, FileFailure::NotOneBand, bands);
    GDALRasterBandH band = GDALGetRasterBand(h, 1);
    const QString unit = QString::fromUtf8(GDALGetRasterUnitType(band));
    const double metres = metresPerUnit(unit);
    if (metres == 0.0)
        return fail(failure, FileFailure::UnknownUnit, 0, unit.trimmed());

    double box[4];
    nativeExtent(h, gt, hasGeoTransform, box);
    if (!OCTTransformBounds(toWgs84.get(), box[0], box[1], box[2], box[3], &bounds[0], &bounds[1],
                            &bounds[2], &bounds[3], 101)
        || !std::all_of(bounds, bounds + 4, [](double v) { return std::isfinite(v); }))
        return fail(failure, FileFailure::CoversNoTile);
    if (tiles().isEmpty())
        return fail(failure, FileFailure::CoversNoTile);

    int hasScale = 0;
    int hasOffset = 0;
    double scale = GDALGetRasterScale(band, &hasScale);
    double offset = GDALGetRasterOffset(band, &hasOffset);
    if (!hasScale)
        scale = 1.0;
    if (!hasOffset)
        offset = 0.0;
    if (scale == 1.0 && offset == 0.0 && metres == 1.0) {
        source = name;
        return true;
    }

    // Heights in metres before the warp, as a VRT over the file: the
    // warper then sees the file's no-data and grid, and metres.
    const int w = GDALGetRasterXSize(h);
    const int ht = GDALGetRasterYSize(h);
    Dataset vrt(VRTCreate(w, ht));
    if (hasGeoTransform) {
        GDALSetGeoTransform(vrt.get(), gt);
        GDALSetSpatialRef(vrt.get(), srs);
    } else {
        GDALSetGCPs2(vrt.get(), GDALGetGCPCount(h), GDALGetGCPs(h), srs);
    }
    VRTAddBand(VRTDatasetH(vrt.get()), GDT_Float64, nullptr);
    VRTSourcedRasterBandH vband = VRTSourcedRasterBandH(GDALGetRasterBand(vrt.get(), 1));
    int hasNoData = 0;
    const double noData = GDALGetRasterNoDataValue(band, &hasNoData);
    if (VRTAddComplexSource(vband, band, 0, 0, w, ht, 0, 0, w, ht, offset * metres, scale * metres,
                            hasNoData ? noData : VRT_NODATA_UNSET)
        != CE_None)
        return fail(failure, FileFailure::NotRaster);
    // The file's own no-data value marks the VRT's, so the warp gives what
    // it gives for the file: the warper's bilinear result beside a hole
    // depends on the no-data value itself (a VRT no-data of -1e20 made
    // posts next to holes holes, where the file's -9999 left them whole).
    // A NaN no-data does the same through a VRT, so it becomes -32768.
    if (hasNoData)
        GDALSetRasterNoDataValue(GDALRasterBandH(vband), std::isfinite(noData) ? noData : VoidMetres);
    char **xml = GDALGetMetadata(vrt.get(), "xml:VRT");
    if (!xml || !xml[0])
        return fail(failure, FileFailure::NotRaster);
    source = QByteArray(xml[0]);
    plain = false;
    return true;
}
