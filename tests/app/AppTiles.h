#pragma once

#include "ConvertHgt.h"
#include "HgtTileGenerator.h"

#include <QDir>
#include <QString>

// A q = 5 tile of one height everywhere, converted into dir.
inline QString constantTile(const QString &dir, const QString &name, qint16 height)
{
    QDir().mkpath(dir);
    const QString hgt = dir + '/' + name + ".hgt";
    if (!HgtTileGenerator(height).save(hgt)
        || ConvertHgt::convertFile(hgt, QDir(dir), 5) != ConvertHgt::Outcome::Converted)
        return QString();
    return dir + '/' + name + ".chgt";
}
