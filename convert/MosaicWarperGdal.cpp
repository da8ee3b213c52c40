#include "MosaicWarper.h"

#include "HgtTile.h"

#include <cpl_conv.h>
#include <gdal.h>
#include <gdal_utils.h>

#include <algorithm>
#include <memory>

namespace {

struct WarpOptionsDeleter
{
    void operator()(GDALWarpAppOptions *options) const { GDALWarpAppOptionsFree(options); }
};

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
    QList<QByteArray> args;
    args << "-of" << "MEM";
    for (const QString &option : warpOptions(tile))
        args << option.toLatin1();
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::unique_ptr<GDALWarpAppOptions, WarpOptionsDeleter> options(
        GDALWarpAppOptionsNew(argv.data(), nullptr));
    int usageError = 0;
    std::vector<GDALDatasetH> handles(sources.size());
    std::transform(sources.begin(), sources.end(), handles.begin(), [](void *ds) { return GDALDatasetH(ds); });
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
        std::vector<qint16> alpha;
        if (read(1, posts) && read(2, alpha))
            applyCoverage(alpha, posts);
        else
            posts.clear();
    }
    if (out)
        GDALClose(out);
    CPLSetThreadLocalConfigOption("GDAL_NUM_THREADS", nullptr);
    return !posts.empty();
}
