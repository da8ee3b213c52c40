#include "Hgt2ChgtOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QThread>

namespace {

enum ExitCode { Done = 0, BadUsage = 2 };

Hgt2ChgtParse usageError(const QString &message, bool tryHelp)
{
    Hgt2ChgtParse result;
    result.action = Hgt2ChgtParse::Action::UsageError;
    result.text = QStringLiteral("hgt2chgt: ") + message + QLatin1Char('\n');
    if (tryHelp)
        result.text += QStringLiteral("Try 'hgt2chgt --help'.\n");
    result.exitCode = BadUsage;
    return result;
}

} // namespace

Hgt2ChgtParse parseHgt2ChgtOptions(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Converts HGT elevation tiles, and elevation rasters as one mosaic, into CHGT tiles."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption quantityOption({QStringLiteral("q"), QStringLiteral("quantity")},
        QStringLiteral("Use every <n>-th height in both directions, 1 (all) to 5 (default 2)."),
        QStringLiteral("n"), QStringLiteral("2"));
    const QString defaultOutput = QDir::homePath() + QStringLiteral("/RZOutput");
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Directory for the CHGT tiles, created if missing (default %1).").arg(defaultOutput),
        QStringLiteral("dir"), defaultOutput);
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("Show no progress."));
    const QString cores = QString::number(QThread::idealThreadCount());
    const QCommandLineOption jobsOption({QStringLiteral("j"), QStringLiteral("jobs")},
        QStringLiteral("Convert up to <n> files at once (default %1, the number of processors).").arg(cores),
        QStringLiteral("n"), cores);
    parser.addOptions({quantityOption, outputOption, quietOption, jobsOption});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("HGT tiles such as N49E014.hgt, zip archives of them, elevation rasters (.tif .tiff .vrt .asc .img)."),
        QStringLiteral("FILE..."));

    if (!parser.parse(args))
        return usageError(parser.errorText(), true);
    if (parser.isSet(helpOption)) {
        Hgt2ChgtParse result;
        result.action = Hgt2ChgtParse::Action::ShowHelp;
        result.text = parser.helpText();
        result.exitCode = Done;
        return result;
    }
    if (parser.isSet(versionOption)) {
        Hgt2ChgtParse result;
        result.action = Hgt2ChgtParse::Action::ShowVersion;
        result.text = QStringLiteral("hgt2chgt " RZMAP_VERSION "\n");
        result.exitCode = Done;
        return result;
    }

    bool quantityOk = false;
    const int quantity = parser.value(quantityOption).toInt(&quantityOk);
    if (!quantityOk || quantity < 1 || quantity > 5) {
        return usageError(QStringLiteral("the quantity must be a whole number from 1 to 5, not '")
                              + parser.value(quantityOption) + QLatin1Char('\''),
                          false);
    }
    bool jobsOk = false;
    const int jobs = parser.value(jobsOption).toInt(&jobsOk);
    if (!jobsOk || jobs < 1 || jobs > 256) {
        return usageError(QStringLiteral("the number of jobs must be a whole number from 1 to 256, not '")
                              + parser.value(jobsOption) + QLatin1Char('\''),
                          false);
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no files given"), true);

    Hgt2ChgtParse result;
    result.action = Hgt2ChgtParse::Action::Convert;
    result.options.quantity = quantity;
    result.options.output = parser.value(outputOption);
    result.options.quiet = parser.isSet(quietOption);
    result.options.jobs = jobs;
    result.options.files = files;
    result.exitCode = Done;
    return result;
}
