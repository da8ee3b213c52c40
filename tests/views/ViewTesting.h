#pragma once

// Tiles and stand-in drivers shared by the suites of the two map views.

#include "ChgtTileReader.h"
#include "DrawGLWdg.h"
#include "GlBufferFunctions.h"
#include "LodTiles.h"

#include <QRandomGenerator>
#include <QTest>
#include <QWidget>

#include <cmath>

namespace ViewTesting {

// N49E014 and N49E015 of relief converted at quantity q.
inline QStringList reliefTiles(LodTiles &tiles, int q)
{
    return {tiles.converted(Kind::Relief, 49, 14, q), tiles.converted(Kind::Relief, 49, 15, q)};
}

// Loose triangles from slivers to larger than a tile, over the country and beyond.
inline QVector<float> looseTriangles(quint32 seed, int count)
{
    QRandomGenerator random(seed);
    QVector<float> f;
    for (int i = 0; i < count; ++i) {
        const double x = 12 + 7 * random.generateDouble(), y = 48.5 + 2.5 * random.generateDouble();
        const double s = std::pow(10.0, 0.3 - 4.0 * random.generateDouble()), u = random.generateDouble();
        TestTiles::addTriangle(f, x, y, x + s * u, y - s / 2, x - s / 3, y + s * (1 - u),
                               QColor::fromRgb(random.generate()));
    }
    return f;
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
