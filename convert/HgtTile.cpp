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

QByteArray HgtTile::coarse(const QByteArray &bytes)
{
    if (bytes.size() == FileSize)
        return bytes;
    if (bytes.size() != FineFileSize)
        return QByteArray();
    QByteArray out(FileSize, Qt::Uninitialized);
    const char *in = bytes.constData();
    char *o = out.data();
    for (int row = 0; row < Side; ++row) {
        const char *fineRow = in + qsizetype(3 * row) * FineSide * 2;
        for (int col = 0; col < Side; ++col, o += 2) {
            o[0] = fineRow[6 * col];
            o[1] = fineRow[6 * col + 1];
        }
    }
    return out;
}

bool HgtTile::parseCorner(const QString &fileName, int *lat, int *lon)
{
    static const QRegularExpression corner(QStringLiteral("^N([0-9]{2})E(0[0-9]{2})"));
    const QRegularExpressionMatch m = corner.match(fileName);
    if (!m.hasMatch())
        return false;
    if (lat)
        *lat = m.captured(1).toInt();
    if (lon)
        *lon = m.captured(2).toInt();
    return true;
}
