#include "ConvertHgt.h"

#include "ChgtTile.h"
#include "ChgtTileWriter.h"
#include "HgtTile.h"
#include "RegularFile.h"
#include "TileMesh.h"
#include "TileMeshBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

namespace {

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

bool ConvertHgt::createTileMesh(const char *data, int size, QVector<float> &vertices, int lon, int lat) const
{
    int q;
    {
        QMutexLocker lock(&mutex);
        q = quantity;
    }
    return ::createTileMesh(data, size, vertices, lon, lat, q);
}

QVector<ConvertHgt::FileOutcome> ConvertHgt::outcomes() const
{
    QMutexLocker lock(&mutex);
    return fileOutcomes;
}

ConvertHgt::Outcome ConvertHgt::convertFile(const QString &srcPath, const QDir &dstDir, int q,
                                             FileFailure *failure)
{
    FileFailure ignored;
    FileFailure &why = failure ? *failure : ignored;
    why = FileFailure();
    if (!QFile::exists(srcPath))
        return Outcome::Missing;
    int lat = 0;
    int lon = 0;
    if (!HgtTile::parseName(srcPath, &lat, &lon))
        return Outcome::NotTileName;

    // Only a file of exactly a tile's size is converted; a larger one is not
    // even loaded. Anything else gives an empty tile, but never in place of
    // one that holds data already.
    QByteArray bytes;
    if (!RegularFile::readAll(srcPath, HgtTile::FileSize, bytes, &why)) {
        if (why.kind != FileFailure::TooLarge)
            return Outcome::Unreadable;
        why = FileFailure();
    }
    const QString tilePath = dstDir.filePath(ChgtTile::fileName(lat, lon));
    if (bytes.size() != HgtTile::FileSize) {
        bytes.clear();
        if (QFileInfo::exists(tilePath) || QFileInfo(tilePath).isSymLink())
            return Outcome::WrongSizeKept;
    }

    ChgtTileWriter out(tilePath);
    const bool written = out.open()
                         && (bytes.isEmpty()
                             || out.writeMesh(TileMeshBuilder(bytes.constData(), lon, lat,
                                                              validQuantity(q))))
                         && out.commit();
    if (!written) {
        why = out.failure();
        return Outcome::Unwritable;
    }
    return bytes.isEmpty() ? Outcome::WrongSizeEmptyWritten : Outcome::Converted;
}

void ConvertHgt::run()
{
    QStringList sources;
    QDir dir;
    int q;
    {
        QMutexLocker lock(&mutex);
        sources = srcList;
        dir = dstDir;
        q = quantity;
        fileOutcomes.clear();
    }

    if (sources.isEmpty())
        return;
    if (!dir.exists())
        QDir().mkpath(dir.absolutePath());

    const qint64 n = sources.size();
    for (qint64 i = 0; i < n; ++i) {
        // Stopping between files keeps every written tile whole; a stopped
        // run has not finished, so it does not report 100.
        if (isInterruptionRequested())
            return;
        emit sProgress(int(100 * i / n));
        FileFailure failure;
        const Outcome outcome = convertFile(sources.at(i), dir, q, &failure);
        QMutexLocker lock(&mutex);
        fileOutcomes.append({sources.at(i), outcome, failure});
    }
    emit sProgress(100);
}
