#include "FileRouting.h"

#include "DemRaster.h"
#include "HgtArchive.h"

#include <QFileInfo>

FileRouting FileRouting::of(const QStringList &paths)
{
    FileRouting r;
    for (const QString &path : paths) {
        // The suffix of the name, never of a folder above it.
        const QString name = QFileInfo(path).fileName();
        if (name.endsWith(QLatin1String(".chgt"), Qt::CaseInsensitive))
            r.tiles << path;
        else if (name.endsWith(QLatin1String(".hgt"), Qt::CaseInsensitive)
                 || HgtArchive::isArchivePath(name) || DemRaster::isRasterPath(name))
            r.sources << path;
        else
            r.unknown << path;
    }
    return r;
}
