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
    }
    return QString();
}
