// Tile names: bytes as a path -> HgtTile::parseName, against a plain reading
// of the rule. A path names a tile when its last 11 UTF-16 code units are
// 'N', two ASCII digits, 'E', '0', two ASCII digits, any one code unit
// (line breaks and lone surrogates too), "hgt"; case matters. lat is the two
// digits after N, lon the three characters after E as a decimal number.

#include "HgtTile.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

int digit(QChar c)
{
    return c.unicode() - '0';
}

bool plainParse(const QString &path, int &lat, int &lon)
{
    if (path.size() < 11)
        return false;
    const QChar *n = path.constData() + path.size() - 11;
    const bool tile = n[0] == QLatin1Char('N') && isDigit(n[1]) && isDigit(n[2])
                      && n[3] == QLatin1Char('E') && n[4] == QLatin1Char('0') && isDigit(n[5])
                      && isDigit(n[6]) && n[8] == QLatin1Char('h') && n[9] == QLatin1Char('g')
                      && n[10] == QLatin1Char('t');
    if (!tile)
        return false;
    lat = 10 * digit(n[1]) + digit(n[2]);
    lon = 10 * digit(n[5]) + digit(n[6]);
    return true;
}

void check(const QString &path)
{
    int plainLat = 0, plainLon = 0;
    const bool expected = plainParse(path, plainLat, plainLon);

    // Sentinels: lat and lon are written only for a tile.
    int lat = -7, lon = -9;
    const bool named = HgtTile::parseName(path, &lat, &lon);
    if (named != expected)
        __builtin_trap();
    if (named && (lat != plainLat || lon != plainLon))
        __builtin_trap();
    if (!named && (lat != -7 || lon != -9))
        __builtin_trap();

    // Either output may be left out.
    int latOnly = -1, lonOnly = -1;
    if (HgtTile::parseName(path) != expected || HgtTile::parseName(path, &latOnly) != expected
        || HgtTile::parseName(path, nullptr, &lonOnly) != expected)
        __builtin_trap();
    if (named && (latOnly != plainLat || lonOnly != plainLon))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    // The first byte picks how the rest becomes a path: UTF-8 (invalid
    // sequences become U+FFFD, as QString::fromUtf8 reads file names) or
    // raw UTF-16 code units, which can hold lone surrogates as QString can.
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const size_t restSize = size - 1;
    if (data[0] & 1) {
        // Copied unit for unit: fromUtf16() would drop a byte order mark.
        std::vector<QChar> units(restSize / 2);
        if (!units.empty())
            std::memcpy(static_cast<void *>(units.data()), rest, units.size() * 2);
        check(QString(units.data(), qsizetype(units.size())));
    } else {
        check(QString::fromUtf8(rest, qsizetype(restSize)));
    }
    return 0;
}
