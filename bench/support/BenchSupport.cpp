#include "BenchSupport.h"

#include "ChgtTile.h"
#include "ChgtTileWriter.h"
#include "TileMeshBuilder.h"
#include "HgtTileGenerator.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <ctime>

namespace BenchSupport {

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

double processorMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QString tileName(int lat, int lon, const char *ext)
{
    return QStringLiteral("N%1E%2.%3")
        .arg(lat, 2, 10, QLatin1Char('0'))
        .arg(lon, 3, 10, QLatin1Char('0'))
        .arg(QLatin1String(ext));
}

QString makeTile(const QDir &dir, int lat, int lon, int quantity)
{
    const QString chgt = dir.filePath(ChgtTile::fileName(lat, lon));
    const qint64 side = (1200 + quantity - 1) / quantity; // cells per side
    const qint64 size = side * side * ChgtTile::FloatsPerCell * 4;
    if (QFile(chgt).size() != size) {
        // Written as the conversion writes it, without the worker, so the
        // benchmarks of the rendering keep GDAL out of their link.
        HgtTileGenerator hgt;
        hgt.fillRelief(lat, lon, 1);
        ChgtTileWriter out(chgt);
        if (!(out.open() && out.writeMesh(TileMeshBuilder(hgt.bytes().constData(), lon, lat, quantity))
              && out.commit()))
            qWarning("cannot write %s", qPrintable(chgt));
    }
    return chgt;
}

QStringList countryTiles(const QDir &dir, int quantity)
{
    QStringList files;
    for (int lat = 48; lat <= 50; ++lat)
        for (int lon = 12; lon <= 18; ++lon)
            files << makeTile(dir, lat, lon, quantity);
    return files;
}

} // namespace BenchSupport
