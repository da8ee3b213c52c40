#include "HgtTile.h"

#include <QRegularExpression>

bool HgtTile::parseName(const QString &path, int *lat, int *lon)
{
    // The dot is deliberately unescaped and matches any character, a line
    // break included: "N49E014xhgt" counts as a tile.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("N[0-9]{2}E0[0-9]{2}.hgt")),
        QRegularExpression::DotMatchesEverythingOption);

    if (path.size() < 11)
        return false;
    const QString name = path.right(11);
    if (!pattern.match(name).hasMatch())
        return false;
    if (lat)
        *lat = name.mid(1, 2).toInt();
    if (lon)
        *lon = name.mid(4, 3).toInt();
    return true;
}
