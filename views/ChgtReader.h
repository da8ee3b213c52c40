#pragma once

#include "ColoredPolygon.h"

#include <QColor>
#include <QString>
#include <QVector>

// Reads CHGT tiles (bare arrays of little-endian vertex records of six
// floats, three records per triangle) into the painter view's polygons.
class ChgtReader
{
public:
    static constexpr int FloatsPerVertex = 6;
    static constexpr int FloatsPerTriangle = 18;
    // Reads the file whole and appends one polygon per whole triangle.
    // Returns false, appending nothing, when the file cannot be opened, is
    // too large, or does not read back exactly its size.
    static bool appendFile(const QString &path, QVector<ColoredPolygon> &polygons);

    // One polygon per whole 18-float triangle of floats (host byte order);
    // a trailing partial triangle is ignored.
    static void appendTriangles(const float *floats, qint64 floatCount,
                                QVector<ColoredPolygon> &polygons);

    // The colour of a triangle's first vertex. Components are clamped to
    // 0..1 (NaN becomes 0) so a damaged file still gives a valid colour.
    static QColor colorOf(float red, float green, float blue);
};
