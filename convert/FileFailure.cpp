#include "FileFailure.h"

#include <cerrno>
#include <cstring>

namespace {

QString systemText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

QString FileFailure::english() const
{
    switch (kind) {
    case None:
        return QString();
    case System:
        return detail.isEmpty() ? systemText(code) : detail;
    case NotRegularFile:
        return QStringLiteral("not a regular file");
    case TooLarge:
        return QStringLiteral("file too large");
    case OutOfMemory:
        return QStringLiteral("not enough memory");
    case ShortRead:
        return QStringLiteral("file changed while it was read");
    case ReadOnlyTarget:
        return QStringLiteral("the existing tile is read-only and was kept");
    case DamagedArchive:
        return QStringLiteral("damaged archive: %1").arg(detail);
    case SizeMismatch:
        return QStringLiteral("the archive member's data do not match its declared size");
    case NotRaster:
        return QStringLiteral("not a raster GDAL can read");
    case NoGeoreference:
        return QStringLiteral("the raster has no georeference");
    case UnknownCrs:
        return QStringLiteral("the raster's coordinate system is unknown");
    case NotOneBand:
        return QStringLiteral("the raster has %1 bands, not exactly one").arg(code);
    case UnknownUnit:
        return QStringLiteral("heights in an unknown unit '%1', not metres or feet").arg(detail);
    case CoversNoTile:
        return QStringLiteral("no data inside any tile N00E000 to N89E099");
    case RasterRead:
        return QStringLiteral("the raster's heights could not be read");
    }
    return QString();
}

QString FileFailure::czech() const
{
    switch (kind) {
    case None:
        return QString();
    case System:
        switch (code) {
        case ENOENT:
            return QStringLiteral("soubor nebo složka neexistuje");
        case EACCES:
        case EPERM:
            return QStringLiteral("přístup odepřen");
        case ENOSPC:
            return QStringLiteral("na disku není volné místo");
#ifdef EDQUOT
        case EDQUOT:
            return QStringLiteral("překročena disková kvóta");
#endif
        case EROFS:
            return QStringLiteral("systém souborů je jen pro čtení");
        case ENOTDIR:
            return QStringLiteral("část cesty není složka");
        case EISDIR:
            return QStringLiteral("v cestě je složka");
        case EFBIG:
            return QStringLiteral("soubor by překročil povolenou velikost");
        case EIO:
            return QStringLiteral("chyba čtení nebo zápisu na zařízení");
        case ENAMETOOLONG:
            return QStringLiteral("název je příliš dlouhý");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("příliš mnoho otevřených souborů");
        case ENOMEM:
            return QStringLiteral("nedostatek paměti");
        default:
            return QStringLiteral("systémová chyba: %1").arg(english());
        }
    case NotRegularFile:
        return QStringLiteral("není běžný soubor");
    case TooLarge:
        return QStringLiteral("soubor je příliš velký");
    case OutOfMemory:
        return QStringLiteral("nedostatek paměti");
    case ShortRead:
        return QStringLiteral("soubor se během čtení změnil");
    case ReadOnlyTarget:
        return QStringLiteral("dlaždice je jen pro čtení, zůstala beze změny");
    case DamagedArchive:
        return QStringLiteral("archiv je poškozený nebo neúplný (%1)").arg(detail);
    case SizeMismatch:
        return QStringLiteral("data v archivu neodpovídají udané velikosti");
    case NotRaster:
        return QStringLiteral("není rastr, který lze přečíst");
    case NoGeoreference:
        return QStringLiteral("rastr nemá georeferenci");
    case UnknownCrs:
        return QStringLiteral("neznámý souřadnicový systém rastru");
    case NotOneBand:
        return QStringLiteral("rastr nemá právě jedno pásmo (má %1)").arg(code);
    case UnknownUnit:
        return QStringLiteral("výšky v neznámé jednotce „%1“, ne v metrech ani stopách").arg(detail);
    case CoversNoTile:
        return QStringLiteral("nemá data uvnitř žádné dlaždice N00E000 až N89E099");
    case RasterRead:
        return QStringLiteral("výšky rastru nelze přečíst");
    }
    return QString();
}
