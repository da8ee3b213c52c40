#include "MosaicWarper.h"

#include "GdalSetup.h"
#include "HgtTile.h"
#include "TileMeshBuilder.h"

#include <QtEndian>

#include <gdal.h>
#include <gdal_utils.h>

#include <algorithm>
#include <memory>

namespace {

constexpr double HalfPost = 0.5 / 1200;

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

struct WarpOptionsDeleter
{
    void operator()(GDALWarpAppOptions *options) const { GDALWarpAppOptionsFree(options); }
};

} // namespace

MosaicWarper::MosaicWarper(const QVector<DemRaster> &rasters)
    : rasters(rasters), datasets(size_t(rasters.size()), nullptr)
{
    GdalSetup::ensure();
}

MosaicWarper::~MosaicWarper()
{
    for (void *ds : datasets) {
        if (ds)
            GDALClose(GDALDatasetH(ds));
    }
}

QStringList MosaicWarper::warpOptions(TileCorner tile)
{
    const double west = tile.lon - HalfPost;
    const double south = tile.lat - HalfPost;
    const double east = tile.lon + 1 + HalfPost;
    const double north = tile.lat + 1 + HalfPost;
    return {QStringLiteral("-t_srs"), QStringLiteral("EPSG:4326"), QStringLiteral("-te"), number(west),
            number(south), number(east), number(north), QStringLiteral("-ts"), QStringLiteral("1201"),
            QStringLiteral("1201"), QStringLiteral("-r"), QStringLiteral("bilinear"), QStringLiteral("-ot"),
            QStringLiteral("Int16"), QStringLiteral("-et"), QStringLiteral("0"), QStringLiteral("-dstnodata"),
            QStringLiteral("-32768")};
}

bool MosaicWarper::hasInnerData(const QByteArray &hgt)
{
    if (hgt.size() != HgtTile::FileSize)
        return false;
    for (int row = 1; row < HgtTile::Side - 1; ++row) {
        for (int col = 1; col < HgtTile::Side - 1; ++col) {
            if (HgtTile::sample(hgt.constData(), row, col) != TileMeshBuilder::Void)
                return true;
        }
    }
    return false;
}

QVector<TileCorner> MosaicWarper::tilesOf(const QVector<DemRaster> &rasters)
{
    QVector<TileCorner> all;
    for (const DemRaster &raster : rasters)
        all += raster.tiles();
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

void *MosaicWarper::dataset(int index, FileFailure *failure)
{
    void *&ds = datasets[size_t(index)];
    if (!ds) {
        ds = GDALOpenEx(rasters.at(index).warpSource().constData(),
                        GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr, nullptr,
                        nullptr);
        if (!ds && failure)
            *failure = FileFailure::of(FileFailure::NotRaster);
    }
    return ds;
}

bool MosaicWarper::warp(TileCorner tile, QByteArray &hgt, FileFailure *failure)
{
    hgt.clear();
    // Rasters that reach none of the posts add nothing to the warp; leaving
    // them out spares opening them and planning their transformation.
    std::vector<void *> sources;
    for (int i = 0; i < rasters.size(); ++i) {
        if (!rasters.at(i).reachesWarpOf(tile))
            continue;
        void *ds = dataset(i, failure);
        if (!ds)
            return false;
        sources.push_back(ds);
    }
    std::vector<qint16> posts;
    if (sources.empty())
        posts.assign(size_t(HgtTile::Side) * HgtTile::Side, TileMeshBuilder::Void);
    else if (!warpInto(tile, sources, posts)) {
        if (failure)
            *failure = FileFailure::of(FileFailure::RasterRead);
        return false;
    }
    hgt = QByteArray(HgtTile::FileSize, Qt::Uninitialized);
    qToBigEndian<qint16>(posts.data(), qsizetype(posts.size()), hgt.data());
    return true;
}

bool MosaicWarper::warpInto(TileCorner tile, const std::vector<void *> &sources, std::vector<qint16> &posts)
{
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
        posts.resize(size_t(HgtTile::Side) * HgtTile::Side);
        if (GDALRasterIO(GDALGetRasterBand(out, 1), GF_Read, 0, 0, HgtTile::Side, HgtTile::Side,
                         posts.data(), HgtTile::Side, HgtTile::Side, GDT_Int16, 0, 0)
            != CE_None)
            posts.clear();
    }
    if (out)
        GDALClose(out);
    return !posts.empty();
}
