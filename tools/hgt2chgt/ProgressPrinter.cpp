#include "ProgressPrinter.h"

#include <QByteArray>

#include <unistd.h>

ProgressPrinter::ProgressPrinter(FILE *stream, QObject *parent)
    : QObject(parent), stream(stream), terminal(isatty(fileno(stream)) != 0)
{
}

void ProgressPrinter::showProgress(int percent)
{
    if (percent == lastPercent)
        return;
    lastPercent = percent;
    if (!terminal) {
        std::fprintf(stream, "%d%%\n", percent);
        std::fflush(stream);
        return;
    }
    constexpr int Width = 40;
    const int filled = percent * Width / 100;
    const QByteArray bar = QByteArray(filled, '#') + QByteArray(Width - filled, '.');
    std::fprintf(stream, "\r[%s] %3d%%", bar.constData(), percent);
    std::fflush(stream);
    barShown = true;
}

void ProgressPrinter::finish()
{
    if (barShown) {
        std::fputc('\n', stream);
        std::fflush(stream);
        barShown = false;
    }
}
