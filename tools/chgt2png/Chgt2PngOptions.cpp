#include "Chgt2PngOptions.h"

#include "ViewExtent.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

enum ExitCode { Done = 0, BadUsage = 2 };

bool parseSize(const QString &text, QSize &size)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okW = false, okH = false;
    const int w = parts[0].toInt(&okW);
    const int h = parts[1].toInt(&okH);
    if (!okW || !okH || w < 1 || h < 1 || w > Chgt2PngOptions::MaxSide || h > Chgt2PngOptions::MaxSide)
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

Chgt2PngParse usageError(const QString &message)
{
    Chgt2PngParse result;
    result.action = Chgt2PngParse::Action::UsageError;
    result.text = QStringLiteral("chgt2png: ") + message
                  + QStringLiteral("\nusage: chgt2png [--size WxH] [--window LEFT,RIGHT,BOTTOM,TOP] "
                                   "[--no-border] [--legend] -o OUT.png|OUT.tif FILE.chgt...\n");
    result.exitCode = BadUsage;
    return result;
}

} // namespace

Chgt2PngParse parseChgt2PngOptions(const QStringList &args)
{
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
    const QCommandLineOption legendOption(QStringLiteral("legend"),
                                          QStringLiteral("Draw the legend of the height colours into the "
                                                         "lower left corner."));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Picture to write: a PNG, or a GeoTIFF in WGS 84 "
                                                         "(EPSG:4326) when it ends in .tif or .tiff."),
                                          QStringLiteral("OUT.png|OUT.tif"));
    parser.addOptions({sizeOption, windowOption, noBorderOption, legendOption, outputOption});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("CHGT tiles to draw, in order."),
                                 QStringLiteral("FILE.chgt..."));

    if (!parser.parse(args))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        Chgt2PngParse result;
        result.action = Chgt2PngParse::Action::ShowHelp;
        result.text = parser.helpText();
        result.exitCode = Done;
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        Chgt2PngParse result;
        result.action = Chgt2PngParse::Action::ShowVersion;
        result.text = QStringLiteral("chgt2png " RZMAP_VERSION "\n");
        result.exitCode = Done;
        return result;
    }

    Chgt2PngOptions options;
    if (!parseSize(parser.value(sizeOption), options.size))
        return usageError(QStringLiteral("--size wants WxH, each 1..%1").arg(Chgt2PngOptions::MaxSide));
    // The painter view's initial window, in its units.
    options.extent = ViewExtentMath::scaled(ViewExtentMath::InitialDegrees, 100.0);
    if (parser.isSet(windowOption) && !parseWindow(parser.value(windowOption), options.extent))
        return usageError(QStringLiteral(
            "--window wants four numbers in degrees, west < east and south < north"));
    options.output = parser.value(outputOption);
    if (options.output.isEmpty())
        return usageError(QStringLiteral("-o OUT.png or -o OUT.tif is required"));
    options.files = parser.positionalArguments();
    if (options.files.isEmpty())
        return usageError(QStringLiteral("no CHGT files given"));
    options.showBorder = !parser.isSet(noBorderOption);
    options.showLegend = parser.isSet(legendOption);

    Chgt2PngParse result;
    result.action = Chgt2PngParse::Action::Render;
    result.options = options;
    result.exitCode = Done;
    return result;
}
