#include "WholeFile.h"

#include "RegularFile.h"

namespace WholeFile {

bool read(const QString &path, QByteArray &bytes, FileFailure *failure)
{
    return RegularFile::readAll(path, MaxBytes, bytes, failure);
}

} // namespace WholeFile
