#include "BorderCredit.h"
#include "BorderOutline.h"
#include "Chgt2PngOptions.h"
#include "GeoTiff.h"
#include "HeightLegend.h"
#include "MapContent.h"
#include "MapPainter.h"
#include "PoolThreads.h"
#include "TilePolygons.h"
#include "TileReading.h"
#include "ViewExtent.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>
#include <QThreadPool>

// Renders CHGT tiles to a PNG with the painter view's own drawing code:
// same tiles (regular ones as grids at the level the picture needs), same
// window transform, same border.
namespace {

enum ExitCode { Ok = 0, SomeUnreadable = 1 }; // 2, bad usage: Chgt2PngOptions

} // namespace

int main(int argc, char **argv)
{
    // Painting into an image needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("chgt2png"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RZMAP_VERSION));

    QTextStream err(stderr);
    const Chgt2PngParse parse = parseChgt2PngOptions(QCoreApplication::arguments());
    if (parse.action != Chgt2PngParse::Action::Render) {
        QTextStream out(parse.action == Chgt2PngParse::Action::UsageError ? stderr : stdout);
        out << parse.text << Qt::flush;
        return parse.exitCode;
    }
    const QSize size = parse.options.size;
    const ViewExtent extent = parse.options.extent;
    const QString &output = parse.options.output;
    const QStringList &files = parse.options.files;

    // A file too large for the memory left must not leave the pool
    // waiting at the end for a thread it could not make.
    PoolThreads::startAll(QThreadPool::globalInstance());
    QElapsedTimer clock;
    clock.start();
    int result = Ok;
    MapContent content;
    err << "chgt2png: reading " << files.size() << " files" << Qt::endl;
    std::vector<PoolTask<TileReading::OpenedTile>> opening = TileReading::start(files, false);
    for (int i = 0; i < files.size(); ++i) {
        TileReading::OpenedTile tile = TileReading::take(opening[size_t(i)], files.at(i), false);
        if (tile.grid) {
            content.addGrid(std::move(tile.grid));
        } else if (!content.addTriangles(tile.triangles)) {
            err << "chgt2png: " << files[i] << ": " << tile.triangles.failure.english() << ", skipped"
                << Qt::endl;
            result = SomeUnreadable;
        }
    }
    err << "chgt2png: painting " << content.gridCount() << " regular tiles and "
        << content.polygons().size() << " triangles at " << size.width() << 'x' << size.height()
        << Qt::endl;

    const QVector<QPointF> border = BorderOutline::mapPoints(BorderOutline::readResource());
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        err << "chgt2png: not enough memory for a " << size.width() << 'x' << size.height()
            << " picture" << Qt::endl;
        return SomeUnreadable;
    }
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        MapPainter renderer;
        renderer.paint(painter, size, ViewExtentMath::windowRect(extent), content, border,
                       parse.options.showBorder);
        if (parse.options.showLegend)
            HeightLegend::draw(painter, size);
    }
    // The outline's licence travels with every picture that shows it.
    const QString credit = parse.options.showBorder ? BorderCredit::text() : QString();
    if (GeoTiff::isGeoTiffPath(output)) {
        // Placed where the painter's window lies, edge to edge.
        const QRect window = ViewExtentMath::windowRect(extent);
        const QByteArray tiff = GeoTiff::encode(
            image.constBits(), image.width(), image.height(), image.bytesPerLine(),
            GeoTiff::ofPainterWindow(window.left(), window.top(), window.width(), window.height()),
            credit);
        QSaveFile file(output);
        if (tiff.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(tiff) != tiff.size()
            || !file.commit()) {
            err << "chgt2png: cannot write " << output << Qt::endl;
            return SomeUnreadable;
        }
    } else {
        if (!credit.isEmpty())
            image.setText(BorderCredit::pngTextKey(), credit);
        // zlib's fastest level: half the time of the default for a third
        // more bytes, and the pixels are the same.
        if (!image.save(output, "PNG", 80)) {
            err << "chgt2png: cannot write " << output << Qt::endl;
            return SomeUnreadable;
        }
    }
    err << "chgt2png: 100% wrote " << QFileInfo(output).absoluteFilePath() << " in "
        << clock.elapsed() << " ms" << Qt::endl;
    return result;
}
