#include "HgtTileGenerator.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <cmath>

namespace {

quint32 hash(qint64 x, qint64 y, quint32 seed)
{
    quint64 h = quint64(x) * 0x9E3779B97F4A7C15ull ^ quint64(y) * 0xC2B2AE3D27D4EB4Full ^ seed;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return quint32(h);
}

// Smoothly interpolated lattice noise in 0..1 over global sample coordinates.
double valueNoise(qint64 gx, qint64 gy, int cell, quint32 seed)
{
    const qint64 x0 = gx >= 0 ? gx / cell : (gx - cell + 1) / cell;
    const qint64 y0 = gy >= 0 ? gy / cell : (gy - cell + 1) / cell;
    const double fx = double(gx - x0 * cell) / cell;
    const double fy = double(gy - y0 * cell) / cell;
    const double sx = fx * fx * (3 - 2 * fx);
    const double sy = fy * fy * (3 - 2 * fy);
    auto at = [&](qint64 x, qint64 y) { return hash(x, y, seed) / 4294967295.0; };
    const double top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
    const double bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
    return top + (bottom - top) * sy;
}

} // namespace

HgtTileGenerator::HgtTileGenerator(qint16 height)
    : data(int(TileBytes), Qt::Uninitialized)
{
    fill(height);
}

void HgtTileGenerator::fill(qint16 height)
{
    fillWith([height](int, int) { return height; });
}

void HgtTileGenerator::fillWith(const std::function<qint16(int row, int col)> &heightAt)
{
    for (int row = 0; row < Side; ++row)
        for (int col = 0; col < Side; ++col)
            setSample(row, col, heightAt(row, col));
}

void HgtTileGenerator::fillRelief(int lat, int lon, quint32 seed)
{
    // Samples are placed on one global grid of 1/1200 degree, so the shared
    // edge rows and columns of neighbouring tiles get identical heights.
    const qint64 originX = qint64(lon) * 1200;
    const qint64 originY = qint64(lat) * 1200;
    fillWith([=](int row, int col) {
        const qint64 gx = originX + col;
        const qint64 gy = originY + (Side - 1 - row);
        const double v = 0.55 * valueNoise(gx, gy, 900, seed)
            + 0.28 * valueNoise(gx, gy, 240, seed + 1)
            + 0.12 * valueNoise(gx, gy, 60, seed + 2)
            + 0.05 * valueNoise(gx, gy, 12, seed + 3);
        // Lowlands are common and a few summits pass 1800 m; some water below 0 m.
        const double h = -60.0 + 2300.0 * std::pow(v, 1.8);
        return qint16(std::lround(h));
    });
}

void HgtTileGenerator::fillRandom(quint32 seed)
{
    // Band edges of the height colour table, plus the void value.
    static const int lower[] = {-500, 1, 201, 301, 401, 501, 601, 801, 1001, 1201, 1401, 1801};
    static const int upper[] = {0, 200, 300, 400, 500, 600, 800, 1000, 1200, 1400, 1800, 8848};
    QRandomGenerator random(seed);
    fillWith([&](int, int) {
        const int band = random.bounded(13);
        if (band == 12)
            return qint16(-32768);
        return qint16(lower[band] + random.bounded(upper[band] - lower[band] + 1));
    });
}

void HgtTileGenerator::setSample(int row, int col, qint16 height)
{
    qToBigEndian<qint16>(height, data.data() + 2 * (qsizetype(row) * Side + col));
}

qint16 HgtTileGenerator::sample(int row, int col) const
{
    return qFromBigEndian<qint16>(data.constData() + 2 * (qsizetype(row) * Side + col));
}

bool HgtTileGenerator::save(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size() && file.flush();
}
