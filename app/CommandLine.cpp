#include "CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

enum ExitCode { Done = 0, BadUsage = 2 };

void describe(QCommandLineParser &parser)
{
    // Czech like the window; Qt's own lines come from its Czech texts.
    parser.setApplicationDescription(QStringLiteral(
        "Zobrazuje výšková data jako barevnou výškovou mapu a převádí dlaždice HGT na dlaždice CHGT.\n"
        "Zadané dlaždice CHGT otevře v obou mapových pohledech; dlaždice HGT a jejich archivy zip\n"
        "nabídne k importu."));
    parser.addPositionalArgument(QStringLiteral("soubory"),
                                 QStringLiteral("Dlaždice CHGT k otevření, HGT a archivy zip k importu."),
                                 QStringLiteral("[SOUBOR...]"));
}

// A path as given, or a file URL as some launchers pass it, made absolute.
QString absolutePath(const QString &argument)
{
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

CommandLine CommandLine::parse(const QStringList &args)
{
    QCommandLineParser parser;
    describe(parser);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();

    CommandLine result;
    const bool parsed = parser.parse(args);
    // Asked for help or the version, that is the answer even beside a mistake.
    // --help-all, which Qt adds, gets the same help: Qt's own options are
    // not meant for the users of this program.
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = Action::ShowHelp;
        result.text = parser.helpText();
        result.exitCode = Done;
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.action = Action::ShowVersion;
        result.text = QStringLiteral("rzmap " RZMAP_VERSION "\n");
        result.exitCode = Done;
        return result;
    }
    if (!parsed) {
        result.action = Action::UsageError;
        result.text = QStringLiteral("rzmap: ") + parser.errorText()
                      + QStringLiteral("\nNápovědu vypíše 'rzmap --help'.\n");
        result.exitCode = BadUsage;
        return result;
    }
    result.action = Action::Run;
    for (const QString &file : parser.positionalArguments())
        result.files << absolutePath(file);
    result.exitCode = Done;
    return result;
}

bool CommandLine::answersWithText(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // Only the two options are looked for: "-platform xcb" and the like are
    // the toolkit's and would read as mistakes here.
    QCommandLineParser parser;
    describe(parser);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.parse(args);
    return parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all")) || parser.isSet(versionOption);
}
