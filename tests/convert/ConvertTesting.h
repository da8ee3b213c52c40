#pragma once

#include "ChgtTile.h"
#include "ConvertHgt.h"
#include "HgtTile.h"
#include "HgtTileGenerator.h"
#include "TestRegistry.h"
#include "TestTiles.h"

#include <QtTest>

#include <zip.h>

using namespace TestTiles;
using Outcome = ConvertHgt::Outcome;

// The CHGT bytes expected from the HGT file at path.
inline QByteArray expectedTile(const QString &hgtPath, int q)
{
    int lat = 0, lon = 0;
    HgtTile::parseName(hgtPath, &lat, &lon);
    return referenceMesh(fileBytes(hgtPath), lon, lat, q);
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
