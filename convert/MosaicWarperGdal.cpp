#include "MosaicWarper.h"

#include "HgtTile.h"

#include <cpl_conv.h>
#include <gdal.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <memory>

namespace {

struct WarpOptionsDeleter
{
    void operator()(GDALWarpAppOptions *options) const { GDALWarpAppOptionsFree(options); }
};

struct SrsDeleter
{
    void operator()(void *srs) const { OSRDestroySpatialReference(OGRSpatialReferenceH(srs)); }
};

// Whether the raster is in WGS 84 longitude and latitude, north up, and
// each post of the tile is a pixel centre at full resolution and in every
// overview GDAL might warp from.
bool postsOnPixelCentres(GDALDatasetH ds, TileCorner tile)
{
    double gt[6];
    if (GDALGetGeoTransform(ds, gt) != CE_None || gt[2] != 0 || gt[4] != 0)
        return false;
    // Made for each call: a spatial reference is not safe to share between
    // the jobs' threads.
    const std::unique_ptr<void, SrsDeleter> wgs84(OSRNewSpatialReference(nullptr));
    const char *const crsOnly[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
    OGRSpatialReferenceH srs = GDALGetSpatialRef(ds);
    if (!srs || !wgs84 || OSRImportFromEPSG(wgs84.get(), 4326) != OGRERR_NONE
        || !OSRIsSameEx(srs, wgs84.get(), crsOnly))
        return false;
    GDALRasterBandH band = GDALGetRasterBand(ds, 1);
    const double width = GDALGetRasterXSize(ds) * gt[1], height = GDALGetRasterYSize(ds) * gt[5];
    const auto onCentres = [&](int columns, int rows) {
        return columns > 0 && rows > 0 && MosaicWarper::postsOnCentres(gt[0], width / columns, tile.lon)
               && MosaicWarper::postsOnCentres(gt[3], height / rows, tile.lat + 1);
    };
    if (!onCentres(GDALGetRasterXSize(ds), GDALGetRasterYSize(ds)))
        return false;
    for (int i = 0; i < GDALGetOverviewCount(band); ++i) {
        GDALRasterBandH overview = GDALGetOverview(band, i);
        if (!overview || !onCentres(GDALGetRasterBandXSize(overview), GDALGetRasterBandYSize(overview)))
            return false;
    }
    return true;
}

} // namespace

void *MosaicWarper::openDataset(const QByteArray &source)
{
    return GDALOpenEx(source.constData(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr,
                      nullptr, nullptr);
}

void MosaicWarper::closeDataset(void *dataset)
{
    GDALClose(GDALDatasetH(dataset));
}

bool MosaicWarper::warpInto(TileCorner tile, const std::vector<void *> &sources, int threads,
                            std::vector<qint16> &posts)
{
    // The kernel's threads split the rows between them; every post comes
    // out as with one. Set for this thread only, as the other jobs warp on.
    if (threads > 1)
        CPLSetThreadLocalConfigOption("GDAL_NUM_THREADS", QByteArray::number(threads).constData());
    std::vector<GDALDatasetH> handles(sources.size());
    std::transform(sources.begin(), sources.end(), handles.begin(), [](void *ds) { return GDALDatasetH(ds); });
    const bool alpha = std::all_of(handles.begin(), handles.end(),
                                   [tile](GDALDatasetH ds) { return postsOnPixelCentres(ds, tile); });
    QList<QByteArray> args;
    args << "-of" << "MEM";
    for (const QString &option : alpha ? alphaWarpOptions(tile) : warpOptions(tile))
        args << option.toLatin1();
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::unique_ptr<GDALWarpAppOptions, WarpOptionsDeleter> options(
        GDALWarpAppOptionsNew(argv.data(), nullptr));
    int usageError = 0;
    GDALDatasetH out = GDALWarp("", nullptr, int(handles.size()), handles.data(), options.get(), &usageError);
    // A source whose blocks cannot be read fails the warp; an error GDAL
    // gets past (a PROJ notice, say) does not.
    posts.clear();
    if (out) {
        const auto read = [out](int band, std::vector<qint16> &values) {
            values.resize(size_t(HgtTile::Side) * HgtTile::Side);
            return GDALRasterIO(GDALGetRasterBand(out, band), GF_Read, 0, 0, HgtTile::Side, HgtTile::Side,
                                values.data(), HgtTile::Side, HgtTile::Side, GDT_Int16, 0, 0)
                   == CE_None;
        };
        std::vector<qint16> reached;
        if (!read(1, posts) || (alpha && !read(2, reached)))
            posts.clear();
        else if (alpha)
            applyCoverage(reached, posts);
    }
    if (out)
        GDALClose(out);
    CPLSetThreadLocalConfigOption("GDAL_NUM_THREADS", nullptr);
    return !posts.empty();
}
