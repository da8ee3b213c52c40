#include "HgtTile.h"

#include <QRegularExpression>

namespace {

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

} // namespace

bool HgtTile::parseName(const QString &path, int *lat, int *lon)
{
    // The pattern "N[0-9]{2}E0[0-9]{2}.hgt" against the last 11 characters,
    // read character by character: its dot takes any character, a line
    // break or a lone surrogate too, which a regular expression engine
    // working on UTF-16 refuses to look at.
    if (path.size() < 11)
        return false;
    const QChar *c = path.constData() + path.size() - 11;
    if (c[0] != QLatin1Char('N') || !isAsciiDigit(c[1]) || !isAsciiDigit(c[2])
        || c[3] != QLatin1Char('E') || c[4] != QLatin1Char('0') || !isAsciiDigit(c[5])
        || !isAsciiDigit(c[6]) || c[8] != QLatin1Char('h') || c[9] != QLatin1Char('g')
        || c[10] != QLatin1Char('t'))
        return false;
    if (lat)
        *lat = (c[1].unicode() - '0') * 10 + (c[2].unicode() - '0');
    if (lon)
        *lon = (c[5].unicode() - '0') * 10 + (c[6].unicode() - '0');
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
