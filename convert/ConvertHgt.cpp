#include "ConvertHgt.h"

#include "ChgtTile.h"
#include "ChgtTileWriter.h"
#include "HgtArchive.h"
#include "HgtTile.h"
#include "MosaicWarper.h"
#include "PoolTask.h"
#include "RegularFile.h"
#include "TileMeshBuilder.h"
#include "TileWalk.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSet>

#include <vector>

namespace {

bool insertNew(QSet<QString> &set, const QString &value)
{
    const qsizetype before = set.size();
    set.insert(value);
    return set.size() > before;
}

// Quantities outside 1..5 would loop forever (0) or leave gaps between tiles.
int validQuantity(int q)
{
    return qBound(1, q, 5);
}

} // namespace

ConvertHgt::ConvertHgt(QObject *parent)
    : QThread(parent), srcList(), dstDir(QString()), quantity(2)
{
}

ConvertHgt::ConvertHgt(QStringList srcS, QString dstA, int q, QObject *parent)
    : QThread(parent), srcList(srcS), dstDir(dstA), quantity(q)
{
}

ConvertHgt::~ConvertHgt()
{
    requestInterruption();
    wait();
}

void ConvertHgt::setParams(const QStringList &srcS, const QString &dstA, int q)
{
    QMutexLocker lock(&mutex);
    srcList = srcS;
    dstDir = QDir(dstA);
    quantity = q;
}

QVector<ConvertHgt::FileOutcome> ConvertHgt::outcomes() const
{
    QMutexLocker lock(&mutex);
    return fileOutcomes;
}

int ConvertHgt::sourcesHandled() const
{
    QMutexLocker lock(&mutex);
    return handled;
}

QStringList ConvertHgt::sourcesNotHandled() const
{
    QMutexLocker lock(&mutex);
    return notHandled;
}

void ConvertHgt::publish(const QVector<FileOutcome> &outcomes, const QStringList &sourcesDone)
{
    QMutexLocker lock(&mutex);
    fileOutcomes += outcomes;
    for (const QString &source : sourcesDone)
        notHandled.removeOne(source);
    handled += int(sourcesDone.size());
}

ConvertHgt::Outcome ConvertHgt::writeTile(const QByteArray &bytes, int lat, int lon,
                                          const QDir &dstDir, int q, FileFailure &why)
{
    // A source of the wrong size gives an empty tile, but never in place
    // of one that holds data already.
    const QByteArray tile = HgtTile::coarse(bytes);
    const QString tilePath = dstDir.filePath(ChgtTile::fileName(lat, lon));
    if (tile.isEmpty() && (QFileInfo::exists(tilePath) || QFileInfo(tilePath).isSymLink()))
        return Outcome::WrongSizeKept;

    ChgtTileWriter out(tilePath);
    const bool written = out.open()
                         && (tile.isEmpty()
                             || out.writeMesh(TileMeshBuilder(tile.constData(), lon, lat,
                                                              validQuantity(q))))
                         && out.commit();
    if (!written) {
        why = out.failure();
        return Outcome::Unwritable;
    }
    return tile.isEmpty() ? Outcome::WrongSizeEmptyWritten : Outcome::Converted;
}

ConvertHgt::FileOutcome ConvertHgt::convertHgtFile(const QString &srcPath, const QDir &dstDir, int q)
{
    FileOutcome result{srcPath, Outcome::Missing, FileFailure(), QString()};
    if (!QFile::exists(srcPath))
        return result;
    int lat = 0;
    int lon = 0;
    result.outcome = Outcome::NotTileName;
    if (!HgtTile::parseName(srcPath, &lat, &lon))
        return result;
    result.tile = dstDir.filePath(ChgtTile::fileName(lat, lon));

    // A file larger than the larger tile is not even loaded.
    QByteArray bytes;
    if (!RegularFile::readAll(srcPath, HgtTile::FineFileSize, bytes, &result.failure)) {
        result.outcome = Outcome::Unreadable;
        if (result.failure.kind != FileFailure::TooLarge)
            return result;
        result.failure = FileFailure();
    }
    result.outcome = writeTile(bytes, lat, lon, dstDir, q, result.failure);
    return result;
}

void ConvertHgt::convertArchive(const QString &srcPath, const QDir &dstDir, int q,
                                QVector<FileOutcome> &outcomes)
{
    FileOutcome whole{srcPath, Outcome::Missing, FileFailure(), QString()};
    if (!QFile::exists(srcPath)) {
        outcomes.append(whole);
        return;
    }
    HgtArchive archive(srcPath);
    if (!archive.open(&whole.failure)) {
        whole.outcome = Outcome::Unreadable;
        outcomes.append(whole);
        return;
    }
    const QVector<HgtArchive::Member> members = archive.tiles();
    if (members.isEmpty()) {
        whole.outcome = Outcome::NoTilesInArchive;
        outcomes.append(whole);
        return;
    }
    for (const HgtArchive::Member &member : members) {
        FileOutcome result{srcPath + QLatin1Char('/') + member.name, Outcome::Unreadable,
                           FileFailure(), dstDir.filePath(ChgtTile::fileName(member.lat, member.lon))};
        QByteArray bytes;
        // A member of another declared size is a source of the wrong size
        // and is not read at all; a damaged one converts nothing.
        if (!HgtTile::isTileSize(member.declaredSize)
            || archive.read(member, bytes, &result.failure))
            result.outcome = writeTile(bytes, member.lat, member.lon, dstDir, q, result.failure);
        outcomes.append(result);
    }
}

QVector<ConvertHgt::FileOutcome> ConvertHgt::convertSource(const QString &srcPath,
                                                           const QDir &dstDir, int q)
{
    QVector<FileOutcome> outcomes;
    if (HgtArchive::isArchivePath(srcPath))
        convertArchive(srcPath, dstDir, q, outcomes);
    else
        outcomes.append(convertHgtFile(srcPath, dstDir, q));
    return outcomes;
}

ConvertHgt::Outcome ConvertHgt::convertFile(const QString &srcPath, const QDir &dstDir, int q,
                                             FileFailure *failure)
{
    const FileOutcome result = convertHgtFile(srcPath, dstDir, q);
    if (failure)
        *failure = result.failure;
    return result.outcome;
}

void ConvertHgt::setJobs(int jobs)
{
    QMutexLocker lock(&mutex);
    jobCount = qMax(1, jobs);
}

namespace {

// Files may be converted side by side only when no two of them can write
// the same tile: then the later one must still win, as one at a time.
bool independentSources(const QStringList &sources)
{
    QSet<QString> tiles;
    for (const QString &path : sources) {
        if (HgtArchive::isArchivePath(path))
            return false;
        int lat = 0;
        int lon = 0;
        if (HgtTile::parseName(path, &lat, &lon) && !insertNew(tiles, ChgtTile::fileName(lat, lon)))
            return false;
    }
    return true;
}

} // namespace

ConvertHgt::FileOutcome ConvertHgt::openRaster(const QString &path, DemRaster &raster)
{
    FileOutcome result{path, Outcome::Missing, FileFailure(), QString()};
    if (!QFile::exists(path))
        return result;
    if (raster.open(path, &result.failure)) {
        result.outcome = Outcome::Converted;
        return result;
    }
    // What stops any file from being read is told as for an HGT file.
    const FileFailure::Kind kind = result.failure.kind;
    result.outcome = kind == FileFailure::System || kind == FileFailure::NotRegularFile
                         ? Outcome::Unreadable
                         : Outcome::RasterRefused;
    return result;
}

ConvertHgt::FileOutcome ConvertHgt::convertMosaicTile(MosaicWarper &warper, TileCorner tile,
                                                      const QDir &dstDir, int q, const QString &path,
                                                      bool *written)
{
    FileOutcome result{path, Outcome::Converted, FileFailure(),
                       dstDir.filePath(ChgtTile::fileName(tile.lat, tile.lon))};
    if (written)
        *written = false;
    QByteArray posts;
    if (!warper.warp(tile, posts, &result.failure)) {
        result.outcome = Outcome::Unreadable;
        return result;
    }
    // Posts with data only on the tile's edges leave the tile as it was.
    if (!MosaicWarper::hasInnerData(posts))
        return result;
    ChgtTileWriter out(result.tile);
    const TileMeshBuilder builder(posts.constData(), tile.lon, tile.lat, validQuantity(q),
                                  TileMeshBuilder::Voids::Holes);
    if (!(out.open() && out.writeMesh(builder) && out.commit())) {
        result.failure = out.failure();
        result.outcome = Outcome::Unwritable;
        return result;
    }
    if (written)
        *written = true;
    return result;
}

namespace {

// Runs work(i, job) on up to jobs threads for each item i that take(job)
// hands out (called under a lock; -1 ends that job's run, the items under
// way still finishing). job tells which of the jobs runs the item, for what
// a job keeps. The extra jobs are pool tasks, like all short work of the
// program; a pool of their own, so exactly jobs items run at once whatever
// the machine's pool holds.
void onJobs(int jobs, const std::function<int(int)> &take, const std::function<void(int, int)> &work)
{
    QMutex order;
    auto loop = [&](int job) {
        for (;;) {
            int i;
            {
                QMutexLocker lock(&order);
                i = take(job);
            }
            if (i < 0)
                return;
            work(i, job);
        }
    };
    QThreadPool helperThreads;
    helperThreads.setMaxThreadCount(qMax(1, jobs - 1));
    std::vector<PoolTask<void>> helpers;
    helpers.reserve(size_t(qMax(0, jobs - 1)));
    for (int j = 1; j < jobs; ++j)
        helpers.emplace_back([&loop, j] { loop(j); }, &helperThreads);
    loop(0);
}

} // namespace

void ConvertHgt::convertSources(const QStringList &sources, const QDir &dir, int q, int jobs, int total)
{
    const int n = int(sources.size());
    if (jobs > 1 && !independentSources(sources))
        jobs = 1;
    // Files are taken in order and each one's progress value is sent as it
    // is taken, so the values come in the order of one at a time. Outcomes
    // are published in order too, as soon as all before them are done.
    QMutex order;
    int published = 0;
    QVector<QVector<FileOutcome>> results(n);
    QVector<bool> done(n, false);
    int next = 0;
    onJobs(
        qBound(1, jobs, qMax(1, n)),
        [&](int) {
            // Stopping between files keeps every written tile whole.
            if (next >= n || isInterruptionRequested())
                return -1;
            emit sProgress(int(100 * qint64(next) / total));
            return next++;
        },
        [&](int i, int) {
            QVector<FileOutcome> outcome = convertSource(sources.at(i), dir, q);
            QMutexLocker lock(&order);
            results[i] = std::move(outcome);
            done[i] = true;
            while (published < n && done[published]) {
                publish(results[published], {sources.at(published)});
                ++published;
            }
        });
}

void ConvertHgt::convertMosaic(const QDir &dir, int q, int jobs, int first,
                               int total, const QVector<DemRaster> &rasters,
                               const QVector<FileOutcome> &refused)
{
    QStringList refusedPaths;
    for (const FileOutcome &outcome : refused)
        refusedPaths << outcome.path;
    publish(refused, refusedPaths);

    const QVector<TileCorner> tiles = MosaicWarper::tilesOf(rasters);
    const int n = int(tiles.size());
    // Each tile in flight holds its warp's buffers, up to about 100 MB for
    // 1-arc-second sources; with GDAL's block cache beside them, six keep
    // an import of the whole country under 1 GB on any machine.
    constexpr int MosaicJobLimit = 6;
    jobs = qBound(1, qMin(jobs, MosaicJobLimit), qMax(1, n));
    // Each job warps with datasets of its own, opened as it needs them, and
    // walks from tile to neighbour, so the blocks it decoded for one tile
    // are still cached for the next.
    std::vector<std::unique_ptr<MosaicWarper>> warpers(static_cast<size_t>(jobs));
    TileWalk walk(tiles);
    QMutex order;
    int published = 0;
    QVector<FileOutcome> results(n);
    QVector<bool> done(n, false);
    QVector<bool> written(n, false);
    // What each job's tile and the tiles no job has taken yet still need.
    QVector<QVector<TileCorner>> needed(jobs);
    // Outcomes are published in the tiles' order, each once all before it
    // are done; after a stop, the tiles done beyond a gap follow.
    const auto publishTile = [&](int i) {
        // A tile left alone for want of data inside it is no outcome.
        if (written[i] || results[i].outcome != Outcome::Converted)
            publish({results[i]}, {});
    };
    onJobs(
        jobs,
        [&](int job) {
            // Stopping between tiles keeps every written tile whole.
            if (walk.taken() == n || isInterruptionRequested())
                return -1;
            emit sProgress(int(100 * qint64(first + walk.taken()) / total));
            const int i = walk.next(job);
            if (i < 0)
                return i;
            needed[job] = walk.left();
            needed[job].append(tiles.at(i));
            return i;
        },
        [&](int i, int job) {
            std::unique_ptr<MosaicWarper> &warper = warpers[size_t(job)];
            if (!warper)
                warper = std::make_unique<MosaicWarper>(rasters);
            warper->closeAllBut(needed[job]);
            // Among the last tiles: the other jobs run out of work while
            // it warps, so its kernel takes their share of the processors.
            warper->setThreads(needed[job].size() <= jobs ? jobs : 1);
            const TileCorner tile = tiles.at(i);
            const auto reaches = [tile](const DemRaster &r) { return r.tiles().contains(tile); };
            const QString from = std::find_if(rasters.begin(), rasters.end(), reaches)->path();
            bool wrote = false;
            FileOutcome outcome = convertMosaicTile(*warper, tile, dir, q, from, &wrote);
            QMutexLocker lock(&order);
            results[i] = std::move(outcome);
            written[i] = wrote;
            done[i] = true;
            for (; published < n && done[published]; ++published)
                publishTile(published);
        });
    if (published < n) {
        for (int i = published; i < n; ++i) {
            if (done[i])
                publishTile(i);
        }
        return;
    }

    // Each raster with no tile written or failed in its own reach gave
    // nothing; a failed tile has been reported already.
    QVector<FileOutcome> noTile;
    for (const DemRaster &raster : rasters) {
        const QVector<TileCorner> reach = raster.tiles();
        bool any = false;
        for (int i = 0; i < n && !any; ++i)
            any = (written[i] || results[i].outcome != Outcome::Converted) && reach.contains(tiles.at(i));
        if (!any)
            noTile.append({raster.path(), Outcome::RasterRefused, FileFailure::of(FileFailure::CoversNoTile), {}});
    }
    QStringList rasterPaths;
    for (const DemRaster &raster : rasters)
        rasterPaths << raster.path();
    publish(noTile, rasterPaths);
}

void ConvertHgt::run()
{
    QStringList sources;
    QDir dir;
    int q;
    int jobs;
    {
        QMutexLocker lock(&mutex);
        sources = srcList;
        dir = dstDir;
        q = quantity;
        jobs = jobCount;
        fileOutcomes.clear();
        handled = 0;
        notHandled = srcList;
    }

    if (sources.isEmpty())
        return;
    if (!dir.exists())
        QDir().mkpath(dir.absolutePath());

    QStringList hgtSources;
    QStringList rasterPaths;
    for (const QString &source : std::as_const(sources))
        (DemRaster::isRasterPath(source) ? rasterPaths : hgtSources) << source;

    // The rasters are opened first, so that the progress can step over the
    // tiles they reach; only their headers are read.
    QVector<DemRaster> rasters;
    QVector<FileOutcome> refused;
    for (const QString &path : std::as_const(rasterPaths)) {
        DemRaster raster;
        const FileOutcome opened = openRaster(path, raster);
        if (opened.outcome == Outcome::Converted)
            rasters.append(raster);
        else
            refused.append(opened);
    }
    const int hgtCount = int(hgtSources.size());
    const int total = hgtCount + int(MosaicWarper::tilesOf(rasters).size());
    if (total == 0)
        emit sProgress(0);

    convertSources(hgtSources, dir, q, jobs, total);
    if (sourcesHandled() == hgtCount && !isInterruptionRequested() && !rasterPaths.isEmpty())
        convertMosaic(dir, q, jobs, hgtCount, total, rasters, refused);

    // A stopped run has not finished, so it does not report 100.
    if (sourcesHandled() == sources.size())
        emit sProgress(100);
}
