#pragma once

#include "ViewExtent.h"

#include <QSize>
#include <QString>
#include <QStringList>

// What chgt2png was asked to draw.
struct Chgt2PngOptions
{
    static constexpr int MaxSide = 16384;

    QSize size;
    ViewExtent extent{}; // hundredths of a degree, as in the painter view
    bool showBorder = true;
    bool showLegend = false;
    QString output;
    QStringList files;
};

// The outcome of reading the command line. Nothing is printed here, so the
// parsing can be checked on its own; main() prints text and exits with
// exitCode unless the action is Render.
struct Chgt2PngParse
{
    enum class Action { Render, ShowHelp, ShowVersion, UsageError };

    Action action = Action::UsageError;
    Chgt2PngOptions options; // for Render
    QString text;            // for stdout (help, version) or stderr (usage error)
    int exitCode = 0;
};

// args as QCoreApplication::arguments() gives them, the program first.
Chgt2PngParse parseChgt2PngOptions(const QStringList &args);
