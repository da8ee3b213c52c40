#include "MosaicWarper.h"

#include "GdalModule.h"
#include "HgtTile.h"
#include "TileMeshBuilder.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

constexpr double HalfPost = 0.5 / 1200;

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

QStringList commonOptions(TileCorner tile)
{
    const double west = tile.lon - HalfPost;
    const double south = tile.lat - HalfPost;
    const double east = tile.lon + 1 + HalfPost;
    const double north = tile.lat + 1 + HalfPost;
    return {QStringLiteral("-t_srs"), QStringLiteral("EPSG:4326"), QStringLiteral("-te"), number(west),
            number(south), number(east), number(north), QStringLiteral("-ts"), QStringLiteral("1201"),
            QStringLiteral("1201"), QStringLiteral("-r"), QStringLiteral("bilinear"), QStringLiteral("-ot"),
            QStringLiteral("Int16"), QStringLiteral("-et"), QStringLiteral("0")};
}

} // namespace

MosaicWarper::MosaicWarper(const QVector<DemRaster> &rasters)
    : gdal(GdalModule::load()), rasters(rasters), datasets(size_t(rasters.size()), nullptr)
{
}

MosaicWarper::~MosaicWarper()
{
    for (void *ds : datasets) {
        if (ds)
            gdal->closeDataset(ds);
    }
}

QStringList MosaicWarper::warpOptions(TileCorner tile)
{
    return commonOptions(tile) << QStringLiteral("-dstnodata") << QStringLiteral("-32768");
}

QStringList MosaicWarper::alphaWarpOptions(TileCorner tile)
{
    return commonOptions(tile) << QStringLiteral("-dstalpha");
}

bool MosaicWarper::postsOnCentres(double origin, double pixel, double firstPost)
{
    // Off by a millionth of a pixel, a post's weights put at most 0.07 of
    // a 16-bit height on its neighbour: far from a tie.
    constexpr double Slack = 1e-6;
    if (!std::isfinite(origin) || !std::isfinite(pixel) || pixel == 0 || !std::isfinite(firstPost))
        return false;
    const double step = 1.0 / 1200 / std::abs(pixel);
    const double phase = (firstPost - origin) / pixel - 0.5;
    return step > 0.5 && std::abs(step - std::round(step)) < Slack && std::abs(phase - std::round(phase)) < Slack;
}

void MosaicWarper::applyCoverage(const std::vector<qint16> &alpha, std::vector<qint16> &posts)
{
    for (size_t i = 0; i < posts.size(); ++i) {
        if (alpha[i] == 0)
            posts[i] = TileMeshBuilder::Void;
        else if (posts[i] == TileMeshBuilder::Void)
            posts[i] = TileMeshBuilder::Void + 1;
    }
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
        ds = gdal ? gdal->openDataset(rasters.at(index).warpSource()) : nullptr;
        if (!ds && failure)
            *failure = FileFailure::of(FileFailure::NotRaster);
    }
    return ds;
}

void MosaicWarper::closeAllBut(const QVector<TileCorner> &tilesLeft)
{
    for (int i = 0; i < rasters.size(); ++i) {
        void *&ds = datasets[size_t(i)];
        if (!ds)
            continue;
        const DemRaster &raster = rasters.at(i);
        if (std::none_of(tilesLeft.begin(), tilesLeft.end(),
                         [&raster](TileCorner tile) { return raster.reachesWarpOf(tile); })) {
            gdal->closeDataset(ds);
            ds = nullptr;
        }
    }
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
    else if (!gdal->warp(tile, sources, threads, posts)) {
        if (failure)
            *failure = FileFailure::of(FileFailure::RasterRead);
        return false;
    }
    hgt = QByteArray(HgtTile::FileSize, Qt::Uninitialized);
    qToBigEndian<qint16>(posts.data(), qsizetype(posts.size()), hgt.data());
    return true;
}
