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
// nothing else; what became of each file can be read after the run.
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
        Unreadable,            // cannot be opened or read whole
        Unwritable,            // tile cannot be written; an older one stays
    };
    Q_ENUM(Outcome)

    struct FileOutcome
    {
        QString path;
        Outcome outcome;
        FileFailure failure; // the system's reason for Unreadable, Unwritable
    };

    explicit ConvertHgt(QObject *parent = nullptr);
    ConvertHgt(QStringList srcS, QString dstA, int q, QObject *parent = nullptr);
    // Asks a running conversion to stop after its current file and waits.
    ~ConvertHgt() override;

    // Builds the cells of one tile with this worker's quantity.
    bool createTileMesh(const char *data, int size, QVector<float> &vertices, int lon, int lat) const;

    // Outcomes of the files handled by the last (or current) run, in order.
    // An interrupted run lists only the files it got to.
    QVector<FileOutcome> outcomes() const;

    // Converts one file exactly as run() does, on the calling thread.
    static Outcome convertFile(const QString &srcPath, const QDir &dstDir, int q,
                               FileFailure *failure = nullptr);

    // Converts every file of the parameters taken at its start. Stopped with
    // requestInterruption(), it ends after the file under way and does not
    // emit the final 100, since the conversion did not complete.
    void run() override;

public slots:
    // Takes effect at the next start(); a running conversion keeps the
    // parameters it started with.
    void setParams(const QStringList &srcS, const QString &dstA, int q);

signals:
    void sProgress(int percent);

private:
    QStringList srcList;
    QDir dstDir;
    int quantity;

    mutable QMutex mutex;
    QVector<FileOutcome> fileOutcomes;
};
