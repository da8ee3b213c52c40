#include "ChgtTileWriter.h"

#include "ChgtTile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

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
