#include "ConvertHgt.h"

#include "ChgtTile.h"
#include "ChgtTileWriter.h"
#include "HgtTile.h"
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

bool readWhole(QFile &file, QByteArray &bytes)
{
    const qint64 size = file.size();
    bytes = QByteArray(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(bytes.data() + done, size - done);
        if (got <= 0)
            break;
        done += got;
    }
    if (done != size || !file.atEnd()) {
        bytes = QByteArray();
        return false;
    }
    return true;
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

ConvertHgt::Outcome ConvertHgt::convertFile(const QString &srcPath, const QDir &dstDir, int q)
{
    if (!QFile::exists(srcPath))
        return Outcome::Missing;
    int lat = 0;
    int lon = 0;
    if (!HgtTile::parseName(srcPath, &lat, &lon))
        return Outcome::NotTileName;

    // Opening a fifo or device named like a tile could block for ever.
    if (!QFileInfo(srcPath).isFile())
        return Outcome::Unreadable;
    QFile src(srcPath);
    if (!src.open(QIODevice::ReadOnly))
        return Outcome::Unreadable;
    // Only a file of exactly a tile's size is read: anything else gives an
    // empty tile, and a huge file must not be loaded.
    QByteArray bytes;
    if (src.size() == HgtTile::FileSize && !readWhole(src, bytes))
        return Outcome::Unreadable;
    src.close();

    // The tile goes to a temporary file renamed over the old one, so a failed
    // or interrupted write never leaves a truncated tile behind.
    ChgtTileWriter out(dstDir.filePath(ChgtTile::fileName(lat, lon)));
    if (!out.open())
        return Outcome::Unwritable;
    if (!bytes.isEmpty() && !out.writeMesh(TileMeshBuilder(bytes.constData(), lon, lat, validQuantity(q))))
        return Outcome::Unwritable;
    if (!out.commit())
        return Outcome::Unwritable;
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
        const Outcome outcome = convertFile(sources.at(i), dir, q);
        QMutexLocker lock(&mutex);
        fileOutcomes.append({sources.at(i), outcome});
    }
    emit sProgress(100);
}
