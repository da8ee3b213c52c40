#include "BorderOutline.h"
#include "ChgtReader.h"
#include "DrawQtWdg.h"
#include "MapPainter.h"
#include "ViewExtent.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cmath>

// Renders CHGT tiles to a PNG with the painter view's own drawing code:
// same triangles, same window transform, same border.
namespace {

enum ExitCode { Ok = 0, SomeUnreadable = 1, BadUsage = 2 };

constexpr int MaxSide = 16384;

bool parseSize(const QString &text, QSize &size)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okW = false, okH = false;
    const int w = parts[0].toInt(&okW);
    const int h = parts[1].toInt(&okH);
    if (!okW || !okH || w < 1 || h < 1 || w > MaxSide || h > MaxSide)
        return false;
    size = QSize(w, h);
    return true;
}

// Degrees on the command line, hundredths of a degree in the view.
bool parseWindow(const QString &text, ViewExtent &extent)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v[i]) || std::abs(v[i]) > 1000.0)
            return false;
    }
    extent = ViewExtent{float(v[0] * 100.0), float(v[1] * 100.0), float(v[2] * 100.0),
                        float(v[3] * 100.0)};
    const QRect window = ViewExtentMath::windowRect(extent);
    return extent.right > extent.left && extent.top > extent.bottom && window.width() > 0
           && window.height() < 0;
}

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
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders CHGT tiles with the state border into a PNG, exactly as the "
                       "painter map view draws them, on a white background."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption sizeOption(QStringLiteral("size"),
                                        QStringLiteral("Picture size in pixels (default 1800x600)."),
                                        QStringLiteral("WxH"), QStringLiteral("1800x600"));
    const QCommandLineOption windowOption(
        QStringLiteral("window"),
        QStringLiteral("Visible area in degrees: west and east longitude, south and north "
                       "latitude (default 11,20,48.3,51.3)."),
        QStringLiteral("LEFT,RIGHT,BOTTOM,TOP"));
    const QCommandLineOption noBorderOption(QStringLiteral("no-border"),
                                            QStringLiteral("Leave out the state border."));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("PNG file to write."),
                                          QStringLiteral("OUT.png"));
    parser.addOptions({sizeOption, windowOption, noBorderOption, outputOption});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("CHGT tiles to draw, in order."),
                                 QStringLiteral("FILE.chgt..."));

    const auto usageError = [&](const QString &message) {
        err << "chgt2png: " << message << Qt::endl
            << "usage: chgt2png [--size WxH] [--window LEFT,RIGHT,BOTTOM,TOP] [--no-border] "
               "-o OUT.png FILE.chgt..."
            << Qt::endl;
        return int(BadUsage);
    };

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return Ok;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        QTextStream(stdout) << "chgt2png " << RZMAP_VERSION << Qt::endl;
        return Ok;
    }

    QSize size;
    if (!parseSize(parser.value(sizeOption), size))
        return usageError(QStringLiteral("--size wants WxH, each 1..%1").arg(MaxSide));
    ViewExtent extent = DrawQtWdg::initialExtent;
    if (parser.isSet(windowOption) && !parseWindow(parser.value(windowOption), extent))
        return usageError(QStringLiteral(
            "--window wants four numbers in degrees, west < east and south < north"));
    const QString output = parser.value(outputOption);
    if (output.isEmpty())
        return usageError(QStringLiteral("-o OUT.png is required"));
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no CHGT files given"));

    QElapsedTimer clock;
    clock.start();
    int result = Ok;
    QVector<ColoredPolygon> polygons;
    for (int i = 0; i < files.size(); ++i) {
        err << "chgt2png: " << (100 * i / files.size()) << "% reading " << files[i] << Qt::endl;
        FileFailure failure;
        if (!ChgtReader::appendFile(files[i], polygons, &failure)) {
            err << "chgt2png: " << files[i] << ": " << failure.english() << ", skipped" << Qt::endl;
            result = SomeUnreadable;
        }
    }
    err << "chgt2png: painting " << polygons.size() << " triangles at " << size.width() << 'x'
        << size.height() << Qt::endl;

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
        renderer.paint(painter, size, ViewExtentMath::windowRect(extent), polygons, border,
                       !parser.isSet(noBorderOption));
    }
    if (!image.save(output, "PNG")) {
        err << "chgt2png: cannot write " << output << Qt::endl;
        return SomeUnreadable;
    }
    err << "chgt2png: 100% wrote " << QFileInfo(output).absoluteFilePath() << " in "
        << clock.elapsed() << " ms" << Qt::endl;
    return result;
}
