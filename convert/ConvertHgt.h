#pragma once

#include "FileFailure.h"

#include <QDir>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

// Converts HGT tiles into CHGT tiles in an output directory, one file after
// another, on a thread of its own. Reports progress as whole percentages and
// nothing else; what became of each file can be read after the run. A
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
    };
    Q_ENUM(Outcome)

    struct FileOutcome
    {
        QString path;        // a file, or "archive.zip/member.hgt"
        Outcome outcome;
        FileFailure failure; // the reason for Unreadable, Unwritable
        QString tile;        // the CHGT tile meant, once the name is known
    };

    explicit ConvertHgt(QObject *parent = nullptr);
    ConvertHgt(QStringList srcS, QString dstA, int q, QObject *parent = nullptr);
    // Asks a running conversion to stop after its current file and waits.
    ~ConvertHgt() override;

    // Outcomes of the files handled by the last (or current) run, in order.
    // An interrupted run lists only the files it got to.
    QVector<FileOutcome> outcomes() const;
    // How many of the sources the last (or current) run has handled; fewer
    // than given after an interruption.
    int sourcesHandled() const;

    // Converts one source exactly as run() does, on the calling thread: an
    // HGT file gives one outcome, a zip archive one for each tile in it.
    static QVector<FileOutcome> convertSource(const QString &srcPath, const QDir &dstDir, int q);
    // The same for a source known to be one HGT file.
    static Outcome convertFile(const QString &srcPath, const QDir &dstDir, int q,
                               FileFailure *failure = nullptr);

    // Converts every file of the parameters taken at its start. Stopped with
    // requestInterruption(), it ends after the file under way and does not
    // emit the final 100, since the conversion did not complete.
    void run() override;

    // How many files may be converted at once (1 by default). Progress
    // values, their order and the outcomes stay those of one at a time;
    // sources that could write the same tile are always taken one by one.
    void setJobs(int jobs);

public slots:
    // Takes effect at the next start(); a running conversion keeps the
    // parameters it started with.
    void setParams(const QStringList &srcS, const QString &dstA, int q);

signals:
    void sProgress(int percent);

private:
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
    int jobCount = 1;
};
