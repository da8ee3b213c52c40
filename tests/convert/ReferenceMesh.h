#pragma once

#include "ChgtTile.h"
#include "ConvertHgt.h"
#include "HgtTile.h"
#include "HgtTileGenerator.h"
#include "TestRegistry.h"

#include <QtTest>

#include <zip.h>

// A plain second implementation of the CHGT content of one HGT tile, from
// the format rules. With holes, cells of the void -32768 are left out; past
// the last sample row or column a cell takes the height read last.
inline QByteArray referenceMesh(const QByteArray &hgt, int lon, int lat, int q, bool holes = false)
{
    static const int bands[12][4] = {
        {0, 0, 125, 255},      {200, 180, 220, 172},  {300, 212, 233, 186},  {400, 236, 242, 196},
        {500, 236, 224, 174},  {600, 229, 207, 152},  {800, 218, 185, 141},  {1000, 212, 164, 132},
        {1200, 118, 152, 131}, {1400, 173, 148, 118}, {1800, 138, 122, 93},  {0, 0, 0, 0},
    };
    QByteArray out;
    float height = 0;
    for (int c = 1; c <= 1200; c += q) {
        const float x = float(c / 1200.0 + lon), xd = float(double(x) + q / 1200.0);
        for (int r = 1; r <= 1200; r += q) {
            if (c <= 1199 && r <= 1199)
                height = qFromBigEndian<qint16>(hgt.constData() + 2 * ((1201 - r) * 1201 + c));
            if (holes && height == -32768)
                continue;
            const float y = float(r / 1200.0 + lat), yd = float(double(y) + q / 1200.0);
            int b = 0;
            while (b < 11 && bands[b][0] < height)
                ++b;
            const float rgb[3] = {float(bands[b][1] / 255.0), float(bands[b][2] / 255.0), float(bands[b][3] / 255.0)};
            for (const auto &[vx, vy] : {std::pair{x, y}, {xd, y}, {x, yd}, {x, yd}, {xd, yd}, {xd, y}}) {
                for (float value : {vx, vy, 0.0f, rgb[0], rgb[1], rgb[2]}) {
                    const float le = qToLittleEndian(value);
                    out.append(reinterpret_cast<const char *>(&le), 4);
                }
            }
        }
    }
    return out;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

// The CHGT bytes expected from the HGT file at path.
inline QByteArray expectedTile(const QString &hgtPath, int q)
{
    int lat = 0, lon = 0;
    HgtTile::parseName(hgtPath, &lat, &lon);
    return referenceMesh(readFile(hgtPath), lon, lat, q);
}

// Heights drawn at random in every band.
inline QByteArray randomTile(quint32 seed)
{
    HgtTileGenerator tile;
    tile.fillRandom(seed);
    return tile.bytes();
}

// Makes the directories; a random tile, or `size` zero bytes (sparse).
inline bool writeTile(const QString &path, qint64 size = HgtTile::FileSize)
{
    if (size == HgtTile::FileSize)
        return writeBytes(path, randomTile(quint32(qHash(path.right(11)))));
    return writeBytes(path, {}) && QFile::resize(path, size);
}

// A zip archive; stored (not compressed) members can be found and patched.
inline bool writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &members, bool store = false)
{
    int error = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    for (const auto &[name, bytes] : members) {
        zip_source_t *source = zip_source_buffer(z, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        const zip_int64_t index = zip_file_add(z, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0 || (store && zip_set_file_compression(z, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0)) {
            zip_source_free(source);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

// Runs a worker to its end on its own thread; the progress values it sent.
inline QList<int> runWorker(ConvertHgt &worker)
{
    QList<int> values;
    const auto link = QObject::connect(&worker, &ConvertHgt::sProgress, [&values](int p) { values << p; });
    worker.start();
    worker.wait();
    QObject::disconnect(link);
    return values;
}
