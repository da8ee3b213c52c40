#pragma once

#include "DemRaster.h"
#include "FileFailure.h"

#include <QDir>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

class MosaicWarper;

// Converts HGT tiles into CHGT tiles in an output directory, one file after
// another, on a thread of its own; then the elevation rasters among the
// sources (DemRaster::isRasterPath) as one mosaic, tile by tile, so where
// both give a tile the mosaic's is kept. Reports progress as whole
// percentages and nothing else; what became of each file can be read
// after the run. A
// QThread, not a pool task: it runs for as long as the conversion takes,
// beside the GUI, and its progress reaches the dialog as a queued signal.
class ConvertHgt : public QThread
{
    Q_OBJECT

public:
    enum class Outcome {
        Converted,             // full tile written
        WrongSizeEmptyWritten, // source of the wrong size: empty tile written
        WrongSizeKept,         // source of the wrong size: the older tile kept
        Missing,               // no such file
        NotTileName,           // name is not like "N49E014.hgt"
        NoTilesInArchive,      // a zip archive without any HGT tile
        Unreadable,            // cannot be opened or read whole
        Unwritable,            // tile cannot be written; an older one stays
        RasterRefused,         // a raster that cannot serve as heights (failure says why)
    };
    Q_ENUM(Outcome)

    struct FileOutcome
    {
        QString path;        // a file, "archive.zip/member.hgt", or for a tile of
                             // the mosaic the first raster that reaches it
        Outcome outcome;
        FileFailure failure; // the reason for Unreadable, Unwritable, RasterRefused
        QString tile;        // the CHGT tile meant, once the name is known
    };

    explicit ConvertHgt(QObject *parent = nullptr);
    ConvertHgt(QStringList srcS, QString dstA, int q, QObject *parent = nullptr);
    // Asks a running conversion to stop after its current file and waits.
    ~ConvertHgt() override;

    // Outcomes of the last (or current) run, in order: the HGT files and
    // archive members, then the rasters refused, then each tile the
    // mosaic wrote or failed to write (a tile it reaches without data
    // inside is not written and has none), then the rasters that gave no
    // tile. An interrupted run lists only what it got to.
    QVector<FileOutcome> outcomes() const;
    // How many of the sources the last (or current) run has handled; fewer
    // than given after an interruption. The rasters count as handled once
    // the whole mosaic is.
    int sourcesHandled() const;
    // The sources the last (or current) run has not handled yet, in their
    // order: after an interruption, those to be listed as not converted.
    // With rasters among HGT files they are not a tail of the sources.
    QStringList sourcesNotHandled() const;

    // Converts one source exactly as run() does, on the calling thread: an
    // HGT file gives one outcome, a zip archive one for each tile in it.
    static QVector<FileOutcome> convertSource(const QString &srcPath, const QDir &dstDir, int q);
    // The same for a source known to be one HGT file.
    static Outcome convertFile(const QString &srcPath, const QDir &dstDir, int q,
                               FileFailure *failure = nullptr);

    // Converts every file of the parameters taken at its start. Progress
    // steps over the HGT sources, then over the tiles the rasters reach.
    // Stopped with requestInterruption(), it ends after the files or tiles
    // under way and does not emit the final 100, since the conversion did
    // not complete.
    void run() override;

    // How many files or mosaic tiles may be converted at once (1 by
    // default; at most 6 mosaic tiles, for memory). Progress values, their
    // order and the outcomes stay those of one at a time; HGT sources that
    // could write the same tile are always taken one by one. Mosaic tiles
    // are taken neighbour after neighbour (TileWalk), so which of them a
    // stop leaves unwritten depends on the number of jobs.
    void setJobs(int jobs);

    // Warps one tile of a mosaic and writes it when a post inside it has
    // data (*written then true). path goes into the outcome.
    static FileOutcome convertMosaicTile(MosaicWarper &warper, TileCorner tile, const QDir &dstDir,
                                         int q, const QString &path, bool *written = nullptr);
    // Opens a raster source: Missing, Unreadable or RasterRefused, or
    // Converted when it can take part in a mosaic.
    static FileOutcome openRaster(const QString &path, DemRaster &raster);

public slots:
    // Takes effect at the next start(); a running conversion keeps the
    // parameters it started with.
    void setParams(const QStringList &srcS, const QString &dstA, int q);

signals:
    void sProgress(int percent);

private:
    void convertSources(const QStringList &sources, const QDir &dir, int q, int jobs, int total);
    void convertMosaic(const QDir &dir, int q, int jobs, int first, int total,
                       const QVector<DemRaster> &rasters, const QVector<FileOutcome> &refused);
    void publish(const QVector<FileOutcome> &outcomes, const QStringList &sourcesDone);

    static FileOutcome convertHgtFile(const QString &srcPath, const QDir &dstDir, int q);
    static void convertArchive(const QString &srcPath, const QDir &dstDir, int q,
                               QVector<FileOutcome> &outcomes);
    // Writes the tile of bytes (a tile at either resolution, or anything
    // else for a source of the wrong size) as lat, lon in dstDir.
    static Outcome writeTile(const QByteArray &bytes, int lat, int lon, const QDir &dstDir, int q,
                             FileFailure &why);

    QStringList srcList;
    QDir dstDir;
    int quantity;

    mutable QMutex mutex;
    QVector<FileOutcome> fileOutcomes;
    int handled = 0;
    QStringList notHandled;
    int jobCount = 1;
};
