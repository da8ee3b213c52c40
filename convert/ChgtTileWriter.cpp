#include "ChgtTileWriter.h"

#include "ChgtTile.h"
#include "TileMeshBuilder.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

ChgtTileWriter::ChgtTileWriter(const QString &path)
    : path(path)
{
}

ChgtTileWriter::~ChgtTileWriter()
{
    if (temporary.isOpen() || failed) {
        temporary.close();
        temporary.remove();
    }
}

bool ChgtTileWriter::open()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = path + QLatin1Char('.');
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
        temporary.setFileName(name);
        // NewOnly: never write into a file that someone else has made.
        if (temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        if (!QFileInfo::exists(name))
            return false; // the directory itself refuses
    }
    return false;
}

bool ChgtTileWriter::write(const float *floats, qint64 count)
{
    if (!temporary.isOpen() || failed)
        return false;
    if (!ChgtTile::writeFloats(&temporary, floats, count))
        failed = true;
    return !failed;
}

bool ChgtTileWriter::writeMesh(const TileMeshBuilder &builder)
{
    // Batches small enough to stay in the cache between building and writing.
    constexpr qint64 BatchBytes = 1024 * 1024;
    constexpr int Slots = 3;
    const qint64 perColumn = builder.floatsPerColumn();
    const int columns = builder.columnCount();
    const int batch = int(qBound(qint64(1), BatchBytes / (perColumn * 4), qint64(columns)));
    const int batches = (columns + batch - 1) / batch;
    auto columnsOf = [&](int b) { return qMin(batch, columns - b * batch); };

    std::vector<float> buffers[Slots];
    for (std::vector<float> &buffer : buffers)
        buffer.resize(size_t(perColumn * batch));

    if (batches == 1) {
        builder.buildColumns(buffers[0].data(), 0, columns);
        return write(buffers[0].data(), columns * perColumn);
    }

    std::mutex mutex;
    std::condition_variable changed;
    int built = 0;
    int written = 0;
    bool stop = false;

    std::thread producer([&] {
        for (int b = 0; b < batches; ++b) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stop || b - written < Slots; });
                if (stop)
                    return;
            }
            builder.buildColumns(buffers[b % Slots].data(), b * batch, b * batch + columnsOf(b));
            {
                std::lock_guard<std::mutex> lock(mutex);
                built = b + 1;
            }
            changed.notify_all();
        }
    });

    bool ok = true;
    for (int b = 0; b < batches && ok; ++b) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return built > b; });
        }
        ok = write(buffers[b % Slots].data(), columnsOf(b) * perColumn);
        {
            std::lock_guard<std::mutex> lock(mutex);
            written = b + 1;
            stop = !ok;
        }
        changed.notify_all();
    }
    producer.join();
    return ok;
}

bool ChgtTileWriter::commit()
{
    if (!temporary.isOpen() || failed)
        return false;
    temporary.close();
    if (temporary.error() != QFileDevice::NoError) {
        failed = true;
        return false;
    }
    std::error_code error;
    std::filesystem::rename(QFileInfo(temporary.fileName()).filesystemFilePath(),
                            QFileInfo(path).filesystemFilePath(), error);
    if (error) {
        failed = true;
        return false;
    }
    return true;
}
