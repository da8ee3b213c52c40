#pragma once

#include "FileFailure.h"

#include <QByteArray>
#include <QString>
#include <QVector>

typedef struct zip zip_t;

// A zip archive of HGT tiles as elevation data is distributed: one tile per
// archive ("N50E014.SRTMGL1.hgt.zip") or blocks of tiles in folders. Only
// members whose base name starts with a tile corner and ends in ".hgt" are
// tiles. Reading trusts nothing in the archive: a member is read only when
// its declared size is a tile size, and never past that size.
class HgtArchive
{
public:
    struct Member
    {
        QString name; // as stored, folders included
        quint64 index;
        qint64 declaredSize;
        int lat;
        int lon;
    };

    explicit HgtArchive(const QString &path);
    ~HgtArchive();

    HgtArchive(const HgtArchive &) = delete;
    HgtArchive &operator=(const HgtArchive &) = delete;

    static bool isArchivePath(const QString &path);

    bool open(FileFailure *failure);
    // The tile members, in archive order.
    QVector<Member> tiles() const;
    // Reads a member whose declared size is a tile size, accepting it only
    // when it inflates to exactly that size and its checksum holds.
    bool read(const Member &member, QByteArray &bytes, FileFailure *failure);

private:
    QString path;
    zip_t *archive = nullptr;
};
