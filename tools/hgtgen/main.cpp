#include "HgtTileGenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

// Writes synthetic HGT tiles: a constant height, seeded random heights or a
// seeded relief that continues seamlessly across neighbouring tiles.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hgtgen"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RZMAP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a synthetic 1201 x 1201 HGT tile."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption heightOption(QStringLiteral("height"), QStringLiteral("Every sample at <metres>."), QStringLiteral("metres"));
    const QCommandLineOption reliefOption(QStringLiteral("relief"), QStringLiteral("Smooth relief, seamless between tiles."));
    const QCommandLineOption randomOption(QStringLiteral("random"), QStringLiteral("Random heights covering every colour band."));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Seed for --relief and --random (default 1)."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption latOption(QStringLiteral("lat"), QStringLiteral("Latitude of the south-west corner, 0..99 (default 49)."), QStringLiteral("deg"), QStringLiteral("49"));
    const QCommandLineOption lonOption(QStringLiteral("lon"), QStringLiteral("Longitude of the south-west corner, 0..99 (default 14)."), QStringLiteral("deg"), QStringLiteral("14"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Output file, or a directory to hold N<lat>E<lon>.hgt (default: current directory)."),
        QStringLiteral("path"), QStringLiteral("."));
    parser.addOptions({heightOption, reliefOption, randomOption, seedOption, latOption, lonOption, outputOption});
    parser.process(app);

    QTextStream err(stderr);
    bool okLat = false;
    bool okLon = false;
    bool okSeed = false;
    const int lat = parser.value(latOption).toInt(&okLat);
    const int lon = parser.value(lonOption).toInt(&okLon);
    const quint32 seed = parser.value(seedOption).toUInt(&okSeed);
    const bool ok = okLat && okLon && okSeed && lat >= 0 && lat <= 99 && lon >= 0 && lon <= 99;
    const int modes = int(parser.isSet(heightOption)) + int(parser.isSet(reliefOption)) + int(parser.isSet(randomOption));
    if (!ok || modes > 1) {
        err << "hgtgen: give at most one of --height, --relief, --random, and lat/lon in 0..99" << Qt::endl;
        return 2;
    }

    HgtTileGenerator tile;
    if (parser.isSet(reliefOption)) {
        tile.fillRelief(lat, lon, seed);
    } else if (parser.isSet(randomOption)) {
        tile.fillRandom(seed);
    } else if (parser.isSet(heightOption)) {
        bool okHeight = false;
        const int height = parser.value(heightOption).toInt(&okHeight);
        if (!okHeight || height < -32768 || height > 32767) {
            err << "hgtgen: --height must be a 16-bit whole number of metres" << Qt::endl;
            return 2;
        }
        tile.fill(qint16(height));
    }

    QString path = parser.value(outputOption);
    // A path ending in a slash names a directory, made if missing.
    if (path.endsWith(QLatin1Char('/')))
        QDir().mkpath(path);
    if (QFileInfo(path).isDir()) {
        path = QDir(path).filePath(QStringLiteral("N%1E%2.hgt")
            .arg(lat, 2, 10, QLatin1Char('0')).arg(lon, 3, 10, QLatin1Char('0')));
    }
    if (!tile.save(path)) {
        err << "hgtgen: cannot write " << path << Qt::endl;
        return 1;
    }
    return 0;
}
