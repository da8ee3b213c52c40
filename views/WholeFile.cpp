#include "WholeFile.h"

#include <QDataStream>
#include <QFile>

namespace WholeFile {

bool read(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    if (size < 0 || size > MaxBytes)
        return false;
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    QDataStream in(&file);
    if (in.readRawData(data.data(), int(size)) != size)
        return false;
    bytes = std::move(data);
    return true;
}

} // namespace WholeFile
