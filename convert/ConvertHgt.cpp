#include "ConvertHgt.h"

#include "ChgtTile.h"
#include "ChgtTileWriter.h"
#include "HgtArchive.h"
#include "HgtTile.h"
#include "PoolTask.h"
#include "RegularFile.h"
#include "TileMeshBuilder.h"

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
    }

    if (sources.isEmpty())
        return;
    if (!dir.exists())
        QDir().mkpath(dir.absolutePath());

    const int n = int(sources.size());
    if (jobs > 1 && !independentSources(sources))
        jobs = 1;
    jobs = qMin(jobs, n);

    // Files are taken in order and each one's progress value is sent as it
    // is taken, so the values come in the order of one at a time. Outcomes
    // are published in order too, as soon as all before them are done.
    QMutex order;
    int next = 0;
    QVector<QVector<FileOutcome>> results(n);
    QVector<bool> done(n, false);
    auto work = [&] {
        for (;;) {
            int i;
            {
                QMutexLocker take(&order);
                // Stopping between files keeps every written tile whole.
                if (next >= n || isInterruptionRequested())
                    return;
                i = next++;
                emit sProgress(int(100 * qint64(i) / n));
            }
            QVector<FileOutcome> outcome = convertSource(sources.at(i), dir, q);
            QMutexLocker take(&order);
            results[i] = std::move(outcome);
            done[i] = true;
            QMutexLocker lock(&mutex);
            while (handled < n && done[handled])
                fileOutcomes += results[handled++];
        }
    };
    // The extra jobs are pool tasks, like all short work of the program; a
    // pool of their own, so exactly jobs files are converted at once
    // whatever the machine's pool holds.
    if (jobs > 1) {
        QThreadPool helperThreads;
        helperThreads.setMaxThreadCount(jobs - 1);
        std::vector<PoolTask<void>> helpers;
        helpers.reserve(size_t(jobs - 1));
        for (int j = 1; j < jobs; ++j)
            helpers.emplace_back(work, &helperThreads);
        work();
    } else {
        work();
    }

    // A stopped run has not finished, so it does not report 100.
    if (sourcesHandled() == n)
        emit sProgress(100);
}
