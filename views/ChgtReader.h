#pragma once

#include "ChgtTile.h"
#include "ColoredPolygon.h"
#include "FileFailure.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads CHGT tiles (bare arrays of little-endian vertex records of six
// floats, three records per triangle) for both map views.
class ChgtReader
{
public:
    // Reads a tile whole into floats in host byte order, keeping only whole
    // triangles whose coordinates are all finite: a damaged triangle must
    // not paint over the map. Colour components are clamped to 0..1 (NaN
    // becomes 0), so both views fill such a triangle alike.
    static bool readTriangles(const QString &path, QByteArray &floats,
                              FileFailure *failure = nullptr);

    // Appends one polygon per triangle of the file. Returns false, appending
    // nothing, when it cannot be read or its polygons cannot be allocated.
    static bool appendFile(const QString &path, QVector<ColoredPolygon> &polygons,
                           FileFailure *failure = nullptr);

    // The triangles of one file, read on its own.
    struct FileTriangles
    {
        QVector<ColoredPolygon> polygons;
        bool ok = false;
        FileFailure failure;
    };
    // Reads the files on several threads; the results come in their order.
    static QVector<FileTriangles> readFiles(const QStringList &paths);
    // Moves what was read into polygons, in order; returns how many files
    // were read. A file that cannot be joined is marked as not read.
    static int appendAll(QVector<FileTriangles> &files, QVector<ColoredPolygon> &polygons);

    // One polygon per whole 18-float triangle of floats (host byte order)
    // with finite coordinates; a trailing partial triangle is ignored.
    static void appendTriangles(const float *floats, qint64 floatCount,
                                QVector<ColoredPolygon> &polygons);

    // Moves the usable triangles to the front; returns their float count.
    static qint64 keepFiniteTriangles(float *floats, qint64 floatCount);
    static bool hasFiniteCoordinates(const float *triangle);

    // The colour of a triangle's first vertex, components clamped to 0..1.
    static QColor colorOf(float red, float green, float blue);
};
