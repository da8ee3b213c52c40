#pragma once

#include "ColoredPolygon.h"
#include "FileFailure.h"
#include "PoolTask.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

// The painter's triangles of CHGT tiles: the floats ChgtTileReader decodes
// become flat-coloured polygons in map coordinates (hundredths of a degree).
class TilePolygons
{
public:
    // The triangles of one file, read on its own: its polygons and, when
    // asked for, the floats they were built from.
    struct FileTriangles
    {
        QVector<ColoredPolygon> polygons;
        QByteArray floats;
        bool ok = false;
        FileFailure failure;
    };
    // Reads one file into its polygons. A file that cannot be read, or whose
    // polygons cannot be allocated, is not ok and holds nothing.
    static FileTriangles readFile(const QString &path, bool keepFloats = false);
    // Reads the files on the thread pool, one task per path in order; each
    // result can be taken as soon as it is ready, which also lets go of
    // what the task held.
    static std::vector<PoolTask<FileTriangles>> startReading(const QStringList &paths,
                                                             bool keepFloats);
    // Reads the files on several threads; the results come in their order.
    static QVector<FileTriangles> readFiles(const QStringList &paths);
    // Moves what was read of a file into polygons; returns whether it was read. A file that cannot be joined is
    // marked as not read. appendAll does so for each file in order and
    // returns how many were read.
    static bool append(FileTriangles &file, QVector<ColoredPolygon> &polygons);
    static int appendAll(QVector<FileTriangles> &files, QVector<ColoredPolygon> &polygons);

    // One polygon per whole 18-float triangle of floats (host byte order)
    // with finite coordinates; a trailing partial triangle is ignored. Throws std::bad_alloc.
    static void appendTriangles(const float *floats, qint64 floatCount,
                                QVector<ColoredPolygon> &polygons);

    // The colour of a triangle's first vertex, components clamped to 0..1.
    static QColor colorOf(float red, float green, float blue);
};
