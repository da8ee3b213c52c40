#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Makes HGT tiles with known heights for tests, benchmarks and the demo:
// 1201 x 1201 big-endian signed 16-bit samples, rows north to south.
class HgtTileGenerator
{
public:
    static constexpr int Side = 1201;
    static constexpr qint64 TileBytes = qint64(Side) * Side * 2;

    explicit HgtTileGenerator(qint16 height = 0);

    void fill(qint16 height);
    void fillWith(const std::function<qint16(int row, int col)> &heightAt);
    // Smooth synthetic relief defined over whole degrees, so neighbouring
    // tiles made with the same seed meet without a seam.
    void fillRelief(int lat, int lon, quint32 seed);
    // Heights drawn at random (seeded), covering every colour band.
    void fillRandom(quint32 seed);

    void setSample(int row, int col, qint16 height);
    qint16 sample(int row, int col) const;

    const QByteArray &bytes() const { return data; }
    bool save(const QString &path) const;

private:
    QByteArray data;
};
