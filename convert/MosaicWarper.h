#pragma once

#include "DemRaster.h"
#include "FileFailure.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

#include <vector>

// Warps the rasters of one import, later ones on top, to the posts of one
// tile at a time: 1201 x 1201 heights in WGS 84, 1/1200 degree apart, the
// first at the tile's north-west corner, exactly as
//   gdalwarp -t_srs EPSG:4326 -te W S E N -ts 1201 1201 -r bilinear
//            -ot Int16 -et 0 -dstnodata -32768 FILE... OUT
// gives them, with the extent half a post beyond the tile's edges. One
// GDALWarp() call per tile, all the rasters that reach it as its sources.
// A destination no-data value gives GDAL's kernel a mask of the posts
// already warped, and with it the kernel's general case. Where every post
// is a pixel centre of every source, in every resolution GDAL may warp
// from, an alpha band marks the same posts without a mask, and the kernel
// for rasters without masks gives the same heights a third faster: its
// weights are then 0 and 1. Elsewhere the two kernels may round a tie
// differently, and the warp keeps the no-data value.
// GDAL datasets are not thread-safe: each thread has a warper of its own,
// which opens the rasters it needs once and keeps them for its next tiles.
class MosaicWarper
{
public:
    explicit MosaicWarper(const QVector<DemRaster> &rasters);
    ~MosaicWarper();

    MosaicWarper(const MosaicWarper &) = delete;
    MosaicWarper &operator=(const MosaicWarper &) = delete;

    // The tile's posts as the bytes of an HGT tile (big-endian, rows north
    // to south), -32768 where no raster has data. False, with the reason,
    // when a raster could not be opened or read; GDAL's message goes to
    // stderr.
    bool warp(TileCorner tile, QByteArray &hgt, FileFailure *failure = nullptr);
    // Closes the rasters none of these tiles needs, so that their blocks
    // leave GDAL's cache to the blocks still to be warped.
    void closeAllBut(const QVector<TileCorner> &tilesLeft);
    // How many threads the next warps' kernel runs on (1 unless set).
    void setThreads(int count) { threads = count; }

    // The options of the tile's warp, as gdalwarp takes them.
    static QStringList warpOptions(TileCorner tile);
    // The same warp with an alpha band in place of the no-data value, for
    // sources whose pixel centres hold every post.
    static QStringList alphaWarpOptions(TileCorner tile);
    // Whether posts 1/1200 degree apart from firstPost all fall within a
    // millionth of a pixel of the centres of pixels `pixel` wide whose grid
    // has an edge at origin (one axis of a geotransform).
    static bool postsOnCentres(double origin, double pixel, double firstPost);
    // Turns the warp's heights and alpha band into the rule's heights:
    // -32768 where no source reached, and a height of -32768 raised to
    // -32767, as GDAL keeps data off a no-data value.
    static void applyCoverage(const std::vector<qint16> &alpha, std::vector<qint16> &posts);
    // Whether a post off the tile's edges (not in row or column 0 or 1200)
    // holds data: only then is the tile written.
    static bool hasInnerData(const QByteArray &hgt);
    // Every tile some raster reaches, south to north, west to east.
    static QVector<TileCorner> tilesOf(const QVector<DemRaster> &rasters);

private:
    friend const GdalModule *rzmapGdalModule();
    // Inside the GDAL module: a dataset of a warp source, and the warp.
    static void *openDataset(const QByteArray &source);
    static void closeDataset(void *dataset);
    static bool warpInto(TileCorner tile, const std::vector<void *> &sources, int threads,
                         std::vector<qint16> &posts);

    void *dataset(int index, FileFailure *failure);

    const GdalModule *gdal;
    QVector<DemRaster> rasters;
    std::vector<void *> datasets;
    int threads = 1;
};
