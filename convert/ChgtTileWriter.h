#pragma once

#include <QFile>
#include <QString>

class TileMeshBuilder;

// Writes a CHGT tile to a temporary file next to it and renames that over
// the tile on commit(), so readers never see a half-written tile and a
// failed write leaves the older tile as it was. Unlike QSaveFile it does not
// force the data to disk: a tile can always be converted again, and the
// flush would cost as much as the conversion itself.
class ChgtTileWriter
{
public:
    explicit ChgtTileWriter(const QString &path);
    // Removes the temporary file unless committed.
    ~ChgtTileWriter();

    ChgtTileWriter(const ChgtTileWriter &) = delete;
    ChgtTileWriter &operator=(const ChgtTileWriter &) = delete;

    bool open();
    bool write(const float *floats, qint64 count);
    // Writes the whole mesh, building it a few columns at a time on a helper
    // thread while the batch before is being written. The bytes are those of
    // createTileMesh, but the 200 MB array of a q = 1 tile is never needed:
    // its page faults alone would cost more than writing the file.
    bool writeMesh(const TileMeshBuilder &builder);
    // Replaces the tile with what was written; false if anything failed.
    bool commit();

private:
    QString path;
    QFile temporary;
    bool failed = false;
};
