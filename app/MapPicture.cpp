#include "MapPicture.h"

#include "BorderCredit.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

QString MapPicture::creditText()
{
    return BorderCredit::text();
}

QByteArray MapPicture::png(const QImage &image, bool withBorder)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (withBorder)
        writer.setText(BorderCredit::pngTextKey(), creditText());
    if (!writer.write(image))
        return QByteArray();
    return bytes;
}

QByteArray MapPicture::geoTiff(const QImage &image, const GeoTiff::Window &window, bool withBorder)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull())
        return QByteArray();
    return GeoTiff::encode(rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine(), window,
                           withBorder ? creditText() : QString());
}

FileFailure MapPicture::write(const QString &path, const QByteArray &bytes)
{
    // Plain system calls, so the reason of a failure is the system's own.
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FileFailure::system(errno);

    int error = 0;
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        p += n;
        left -= n;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0) {
        // Half a picture would only look like one.
        ::unlink(name.constData());
        return FileFailure::system(error);
    }
    return FileFailure();
}
