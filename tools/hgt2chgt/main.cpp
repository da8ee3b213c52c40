#include "ConvertHgt.h"
#include "Hgt2ChgtOptions.h"
#include "HgtTile.h"
#include "ProgressPrinter.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <QTimer>

#include <csignal>

namespace {

enum ExitCode { AllConverted = 0, SomeFailed = 1 }; // 2, bad usage: Hgt2ChgtOptions

volatile std::sig_atomic_t stopRequested = 0;

// The first Ctrl+C lets the tile under way finish whole; a second one kills.
extern "C" void requestStop(int signalNumber)
{
    stopRequested = 1;
    std::signal(signalNumber, SIG_DFL);
}

QString reason(const ConvertHgt::FileOutcome &file)
{
    const QString tile = QDir::toNativeSeparators(file.tile);
    const QString sizes = QStringLiteral("not %1 or %2 bytes long").arg(HgtTile::FileSize).arg(HgtTile::FineFileSize);
    switch (file.outcome) {
    case ConvertHgt::Outcome::Converted:
        break;
    case ConvertHgt::Outcome::WrongSizeEmptyWritten:
        return QStringLiteral("%1, wrote an empty tile %2").arg(sizes, tile);
    case ConvertHgt::Outcome::WrongSizeKept:
        return QStringLiteral("%1, kept the existing tile %2").arg(sizes, tile);
    case ConvertHgt::Outcome::Missing:
        return QStringLiteral("no such file");
    case ConvertHgt::Outcome::NotTileName:
        return QStringLiteral("name does not end like N49E014.hgt, skipped");
    case ConvertHgt::Outcome::NoTilesInArchive:
        return QStringLiteral("the archive holds no HGT tile, skipped");
    case ConvertHgt::Outcome::Unreadable:
        return QStringLiteral("cannot be read: %1").arg(file.failure.english());
    case ConvertHgt::Outcome::Unwritable:
        return QStringLiteral("cannot write %1: %2").arg(tile, file.failure.english());
    case ConvertHgt::Outcome::RasterRefused:
        return QStringLiteral("raster not converted: %1").arg(file.failure.english());
    }
    return QString();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hgt2chgt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RZMAP_VERSION));
    QTextStream err(stderr);

    const Hgt2ChgtParse parse = parseHgt2ChgtOptions(app.arguments());
    if (parse.action != Hgt2ChgtParse::Action::Convert) {
        QTextStream out(parse.action == Hgt2ChgtParse::Action::UsageError ? stderr : stdout);
        out << parse.text << Qt::flush;
        return parse.exitCode;
    }
    const QStringList &files = parse.options.files;
    const QString &output = parse.options.output;
    const int quantity = parse.options.quantity;

    ConvertHgt worker(files, output, quantity);
    worker.setJobs(parse.options.jobs);
    ProgressPrinter printer(stderr);
    if (!parse.options.quiet)
        QObject::connect(&worker, &ConvertHgt::sProgress, &printer, &ProgressPrinter::showProgress);
    QObject::connect(&worker, &QThread::finished, &app, &QCoreApplication::quit);
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &worker, [&worker] {
        if (stopRequested)
            worker.requestInterruption();
    });
    stopWatch.start(50);
    worker.start();
    app.exec();
    worker.wait();
    printer.finish();

    int failed = 0;
    const QVector<ConvertHgt::FileOutcome> outcomes = worker.outcomes();
    for (const ConvertHgt::FileOutcome &file : outcomes) {
        if (file.outcome == ConvertHgt::Outcome::Converted)
            continue;
        ++failed;
        err << "hgt2chgt: " << QDir::toNativeSeparators(file.path) << ": " << reason(file) << Qt::endl;
    }
    const int handled = worker.sourcesHandled();
    if (handled < files.size()) {
        err << "hgt2chgt: interrupted, " << files.size() - handled << " of " << files.size()
            << " files not converted" << Qt::endl;
        return SomeFailed;
    }
    return failed == 0 ? AllConverted : SomeFailed;
}
