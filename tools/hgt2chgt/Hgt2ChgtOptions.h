#pragma once

#include <QString>
#include <QStringList>

// What hgt2chgt was asked to do.
struct Hgt2ChgtOptions
{
    int quantity = 2;
    QString output;
    bool quiet = false;
    int jobs = 1;
    QStringList files;
};

// The outcome of reading the command line. Nothing is printed here, so the
// parsing can be checked on its own; main() prints text and exits with
// exitCode unless the action is Convert.
struct Hgt2ChgtParse
{
    enum class Action { Convert, ShowHelp, ShowVersion, UsageError };

    Action action = Action::UsageError;
    Hgt2ChgtOptions options; // for Convert
    QString text;            // for stdout (help, version) or stderr (usage error)
    int exitCode = 0;
};

// args as QCoreApplication::arguments() gives them, the program first.
Hgt2ChgtParse parseHgt2ChgtOptions(const QStringList &args);
