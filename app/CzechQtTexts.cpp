#include "CzechQtTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QDebug>

CzechQtTexts::CzechQtTexts(const QString &dir)
{
    const QString from = dir.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : dir;
    loaded = catalogue.load(QStringLiteral("qtbase_cs"), from);
    if (loaded) {
        QCoreApplication::installTranslator(&catalogue);
    } else {
        // Standard error, through Qt's message handler.
        qWarning().noquote() << QStringLiteral("rzmap: Český překlad textů Qt (%1) chybí, dialogy Qt budou anglicky.")
                                    .arg(QDir::toNativeSeparators(from + QStringLiteral("/qtbase_cs.qm")));
    }
    // Asked before the catalogue, for what the catalogue lacks.
    QCoreApplication::installTranslator(&gaps);
}
