#include "CommandLine.h"
#include "CzechQtTexts.h"
#include "WindowRZ.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

void describeApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("rzmap"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RZMAP_VERSION));
}

int answer(const CommandLine &command)
{
    QTextStream out(command.action == CommandLine::Action::UsageError ? stderr : stdout);
    out << command.text;
    return command.exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    // Help and the version need no display (manual pages are made from them).
    if (CommandLine::answersWithText(argc, argv)) {
        QCoreApplication app(argc, argv);
        describeApplication();
        const CzechQtTexts czech;
        return answer(CommandLine::parse(QCoreApplication::arguments()));
    }

    QApplication app(argc, argv);
    describeApplication();
    // Qt's dialogs speak Czech like the window, on any system.
    const CzechQtTexts czech;
    // Lets the desktop match the window to the menu entry "rzmap.desktop".
    QGuiApplication::setDesktopFileName(QStringLiteral("rzmap"));
    const CommandLine command = CommandLine::parse(QCoreApplication::arguments());
    if (command.action != CommandLine::Action::Run)
        return answer(command);

    WindowRZ w;
    w.show();
    // Once the window is up, so an import dialog has it to stand on.
    if (!command.files.isEmpty())
        QTimer::singleShot(0, &w, [&w, files = command.files] { w.openPaths(files); });
    return app.exec();
}
