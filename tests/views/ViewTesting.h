#pragma once

// Tiles and stand-in drivers shared by the suites of the two map views.

#include "ChgtTileReader.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "GlBufferFunctions.h"
#include "LodTiles.h"

#include <QTest>
#include <QWidget>

#include <cmath>

Q_DECLARE_METATYPE(ViewExtent)

namespace ViewTesting {

// A q = 5 tile of one height everywhere, or of heightAt, converted into dir.
inline QString constantTile(const QString &dir, const QString &name, qint16 height,
                            const std::function<qint16(int row, int col)> &heightAt = nullptr)
{
    QDir().mkpath(dir);
    const QString hgt = dir + '/' + name + ".hgt";
    HgtTileGenerator tile(height);
    if (heightAt)
        tile.fillWith(heightAt);
    if (!tile.save(hgt) || ConvertHgt::convertFile(hgt, QDir(dir), 5) != ConvertHgt::Outcome::Converted)
        return QString();
    return dir + '/' + name + ".chgt";
}

// N49E014 and N49E015 of relief converted at quantity q.
inline QStringList reliefTiles(LodTiles &tiles, int q)
{
    return {tiles.converted(Kind::Relief, 49, 14, q), tiles.converted(Kind::Relief, 49, 15, q)};
}

// Adds files to the OpenGL view as triangle tiles, past the recognition of regular tiles.
inline bool addAsTriangles(DrawGLWdg &view, const QStringList &files)
{
    for (const QString &f : files) {
        QByteArray floats;
        if (!ChgtTileReader::readTriangles(f, floats))
            return false;
        view.addTile(f, floats);
    }
    return true;
}

inline bool showAt(QWidget *v, QSize size = QSize(900, 300))
{
    v->resize(size);
    v->show();
    return QTest::qWaitForWindowExposed(v);
}

inline void resetViews()
{
    DrawQtWdg::resetViewExtent();
    DrawGLWdg::resetViewExtent();
}

// Pixel of a point in degrees in a picture of that size showing e.
inline QPoint pixelAt(const QSize &size, const ViewExtent &e, double lon, double lat)
{
    return QPoint(int((lon - e.left) / (e.right - e.left) * size.width()),
                  int((e.top - lat) / (e.top - e.bottom) * size.height()));
}

// Whether the pixel at p, or one next to it, passes ok.
inline bool anyNear(const QImage &img, QPoint p, const std::function<bool(QRgb)> &ok)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (img.rect().contains(p + QPoint(dx, dy)) && ok(img.pixel(p + QPoint(dx, dy))))
                return true;
    return false;
}

inline bool sameColor(QRgb a, QColor b, int tolerance = 2)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
        && qAbs(qBlue(a) - b.blue()) <= tolerance;
}

// The current context's lookup, but name gives replacement; the driver's
// own function goes to *real first.
template <typename F>
GlBufferFunctions::Lookup replacing(const char *name, F replacement, F *real)
{
    const GlBufferFunctions::Lookup lookup = GlBufferFunctions::currentContextLookup();
    return [=](const char *n) {
        const QFunctionPointer f = lookup(n);
        if (qstrcmp(n, name) != 0)
            return f;
        *real = reinterpret_cast<F>(f);
        return reinterpret_cast<QFunctionPointer>(replacement);
    };
}

} // namespace ViewTesting
