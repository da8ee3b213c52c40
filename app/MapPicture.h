#pragma once

#include "FileFailure.h"
#include "GeoTiff.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// "Uložit obrázek...": the picture of a view as a PNG file, or as a GeoTIFF
// placed on the view's window, credited to the border's source when the
// border is in it.
class MapPicture
{
public:
    // The PNG text chunk the border's licence asks for; chgt2png writes the same.
    static QString creditText();

    // The PNG of image, with the credit chunk when withBorder; empty if the
    // image cannot be encoded.
    static QByteArray png(const QImage &image, bool withBorder);

    // The GeoTIFF of image georeferenced to window (the outer edges of the
    // outer pixels), with the credit when withBorder; empty on failure.
    static QByteArray geoTiff(const QImage &image, const GeoTiff::Window &window, bool withBorder);

    // Writes bytes as the file path, replacing it. A failed write leaves no
    // partial file behind and tells the system's reason.
    static FileFailure write(const QString &path, const QByteArray &bytes);
};
