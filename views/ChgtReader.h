#pragma once

#include "ChgtTile.h"
#include "ColoredPolygon.h"
#include "FileFailure.h"
#include "PointBlocks.h"

#include <QByteArray>
#include <QColor>
#include <QFuture>
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

    // The triangles of one file, read on its own: its polygons, their
    // points and, when asked for, the floats they were built from.
    struct FileTriangles
    {
        QVector<ColoredPolygon> polygons;
        PointBlocks points;
        QByteArray floats;
        bool ok = false;
        FileFailure failure;
    };
    // Reads one file into its polygons. A file that cannot be read, or whose
    // polygons cannot be allocated, is not ok and holds nothing.
    static FileTriangles readFile(const QString &path, bool keepFloats = false);
    // Reads the files on the thread pool, one future per path in order;
    // each result can be taken (QFuture::takeResult) as soon as it is ready,
    // which also lets go of what the future held.
    static QList<QFuture<FileTriangles>> startReading(const QStringList &paths, bool keepFloats);
    // Reads the files on several threads; the results come in their order.
    static QVector<FileTriangles> readFiles(const QStringList &paths);
    // Gives the floats of a file back when done with them, so the next file
    // is read into the same memory; releaseBuffers() frees what is kept.
    static void recycle(QByteArray &&floats);
    static void releaseBuffers();
    // The read buffers and per-file lists of an open are freed into the
    // heaps of the threads that read, where the C library keeps them; this
    // gives such memory back to the system (where the library can).
    static void returnFreedMemory();
    // Moves what was read of a file into polygons and its points into
    // points; returns whether it was read. A file that cannot be joined is
    // marked as not read. appendAll does so for each file in order and
    // returns how many were read.
    static bool append(FileTriangles &file, QVector<ColoredPolygon> &polygons, PointBlocks &points);
    static int appendAll(QVector<FileTriangles> &files, QVector<ColoredPolygon> &polygons,
                         PointBlocks &points);

    // One polygon per whole 18-float triangle of floats (host byte order)
    // with finite coordinates, its points in a new block of points; a
    // trailing partial triangle is ignored. Throws std::bad_alloc.
    static void appendTriangles(const float *floats, qint64 floatCount,
                                QVector<ColoredPolygon> &polygons, PointBlocks &points);

    // Moves the usable triangles to the front; returns their float count.
    static qint64 keepFiniteTriangles(float *floats, qint64 floatCount);
    static bool hasFiniteCoordinates(const float *triangle);

    // The colour of a triangle's first vertex, components clamped to 0..1.
    static QColor colorOf(float red, float green, float blue);
};
