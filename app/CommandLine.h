#pragma once

#include <QString>
#include <QStringList>

// rzmap's own command line: "rzmap [FILE...]" with --help and --version.
// Nothing is printed here, so the parsing is checked on its own; main()
// prints the text and exits with exitCode unless the action is Run.
class CommandLine
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, UsageError };

    Action action = Action::UsageError;
    QStringList files; // for Run: absolute paths, in the order given
    QString text;      // for stdout (help, version) or stderr (usage error)
    int exitCode = 0;

    // args as QCoreApplication::arguments() gives them, the program first,
    // after the toolkit has taken its own options.
    static CommandLine parse(const QStringList &args);

    // Whether the answer is text only, so no window system is needed: the
    // raw arguments of main() still hold the toolkit's options, which are
    // not looked at.
    static bool answersWithText(int argc, char **argv);
};
