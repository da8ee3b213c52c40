#include "QtCzechGaps.h"

#include <cstring>

namespace {

struct Gap
{
    const char *context;
    const char *source;
    const char *czech;
};

// Qt's source texts exactly as Qt 6.4 asks for them.
const Gap gaps[] = {
    {"QAbstractFileIconProvider", "Folder", "Složka"},
    {"QAbstractFileIconProvider", "Drive", "Disk"},
    {"QAbstractFileIconProvider", "Unknown", "Neznámý"},
    {"QFileSystemModel",
     "<b>The name \"%1\" cannot be used.</b><p>Try using another name, with fewer characters or no punctuation marks.",
     "<b>Název „%1“ nelze použít.</b><p>Zkuste jiný název, kratší nebo bez interpunkce."},
    {"QCommandLineParser", "Displays help on commandline options.", "Zobrazit nápovědu k volbám příkazového řádku."},
    {"QCommandLineParser", "Displays help including Qt specific options.",
     "Zobrazit nápovědu včetně voleb knihovny Qt."},
};

} // namespace

QtCzechGaps::QtCzechGaps(QObject *parent) : QTranslator(parent) {}

QString QtCzechGaps::translate(const char *context, const char *sourceText, const char * /*disambiguation*/,
                               int /*n*/) const
{
    if (!context || !sourceText)
        return QString();
    for (const Gap &gap : gaps) {
        if (std::strcmp(context, gap.context) == 0 && std::strcmp(sourceText, gap.source) == 0)
            return QString::fromUtf8(gap.czech);
    }
    return QString();
}
