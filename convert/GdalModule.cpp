#include "GdalModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QStringList>

#include <cstdio>

namespace {

const GdalModule *loadOnce()
{
    // Beside the program in the build tree, where installed relative to
    // it, and where installed when there is no application to ask.
    QStringList dirs;
    if (QCoreApplication::instance()) {
        const QString bin = QCoreApplication::applicationDirPath();
        dirs << bin << bin + QStringLiteral("/" RZMAP_MODULE_FROM_BIN);
    }
    dirs << QStringLiteral(RZMAP_MODULE_DIR);
    QStringList reasons;
    for (const QString &dir : dirs) {
        QLibrary library(QDir(dir).filePath(QStringLiteral("rzmap-gdal")));
        library.setLoadHints(QLibrary::PreventUnloadHint);
        using Entry = const GdalModule *(*)();
        const auto entry = reinterpret_cast<Entry>(library.resolve("rzmapGdalModule"));
        const GdalModule *module = entry ? entry() : nullptr;
        if (module && module->size == sizeof(GdalModule))
            return module;
        reasons << (module ? QStringLiteral("%1: built for another rzmap").arg(library.fileName())
                           : library.errorString());
    }
    std::fprintf(stderr, "rzmap: GDAL cannot be used: %s\n", qPrintable(reasons.join(QStringLiteral("; "))));
    return nullptr;
}

} // namespace

const GdalModule *GdalModule::load()
{
    static const GdalModule *const module = loadOnce();
    return module;
}
