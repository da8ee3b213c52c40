#pragma once

#include "FileFailure.h"

#include <QByteArray>
#include <QString>

class TileMeshBuilder;

// Writes a CHGT tile so that the tile in place is always either the older
// one or the complete new one. The data goes to a temporary file in the
// same directory that is renamed over the tile on commit(); where the
// system has them the temporary file is unnamed until then, so a killed run
// leaves nothing behind, and named leftovers of earlier runs are removed.
// A tile the user made read-only is kept, and a replaced tile keeps its
// permissions. Unlike QSaveFile it does not force the data to disk: a tile
// can always be converted again, and the flush would cost as much as the
// conversion itself.
class ChgtTileWriter
{
public:
    explicit ChgtTileWriter(const QString &path);
    // Discards the new tile unless committed.
    ~ChgtTileWriter();

    ChgtTileWriter(const ChgtTileWriter &) = delete;
    ChgtTileWriter &operator=(const ChgtTileWriter &) = delete;

    bool open();
    bool write(const float *floats, qint64 count);
    // Writes the whole mesh, building it a few columns at a time on the
    // thread pool while the batches before are being written, so the 200 MB array of
    // a q = 1 tile is never needed: its page faults alone would cost more
    // than writing the file.
    bool writeMesh(const TileMeshBuilder &builder);
    // Replaces the tile with what was written; false if anything failed.
    bool commit();

    // What went wrong, with the system's reason.
    FileFailure failure() const { return problem; }

    // Names of leftover temporary files of a tile: "N49E014.chgt.Ab3dE9".
    static bool isTemporaryOf(const QString &fileName, const QString &tileName);

private:
    bool fail(const FileFailure &why);
    bool checkTarget();
    void removeLeftovers() const;
    bool createTemporary();
    bool writeBytes(const char *bytes, qint64 size);
    bool publish();
    void discard();

    QString path;
    QByteArray temporaryPath; // empty while the temporary file is unnamed
    int fd = -1;
    int keptMode = -1;        // permissions of the tile being replaced
    bool committed = false;
    FileFailure problem;
};
