#pragma once

#include "ColoredPolygon.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QVector>

#include <vector>

class QPainter;
class QTransform;
class TriangleFill;

// Draws the painter view's map: every stored triangle in order, then the
// border polyline. The widget's paintEvent and chgt2png share it.
//
// The picture is the same, pixel for pixel, as paintPlain() (one brush and
// one drawPolygon per stored triangle). Speed comes only from work that
// cannot change a pixel: triangles wholly outside the target are skipped
// (per chunk of consecutive triangles, then per triangle), the brush is
// only changed when the colour changes, and large scenes are painted in
// horizontal bands on several threads, sized so each holds about as many
// triangles. Each band is a full-size image (in the engine's own pixels, so
// also at a whole device pixel ratio) with the very same transform and
// a clip to its rows, so the rasteriser sees identical coordinates (points
// are mapped with the painter's own matrix before the call); the bands are
// then composed over the target. In a band, triangles that Qt would fill
// with plain solid spans are filled with those very spans by TriangleFill,
// without the cost of a drawPolygon call; the rest go through QPainter.
//
// One MapPainter serves one polygon list, which may only grow: the culling
// index is extended incrementally.
class MapPainter
{
public:
    enum class Mode { Automatic, Serial, Bands };

    MapPainter();

    void setMode(Mode mode) { paintMode = mode; }
    Mode mode() const { return paintMode; }
    // Number of bands for the band mode; 0 picks twice the thread count.
    void setBandCount(int count) { requestedBands = count; }
    // Whether band painting fills plain triangles itself instead of through
    // QPainter (on by default; the pixels are the same either way).
    void setDirectFill(bool on) { directFill = on; }

    // Sets the painter's window to window and its viewport to the whole
    // device of deviceSize pixels, then draws.
    void paint(QPainter &painter, const QSize &deviceSize, const QRect &window,
               const QVector<ColoredPolygon> &polygons, const QVector<QPointF> &border,
               bool showBorder);

    // Reference drawing: every triangle with a fresh solid brush, in order.
    static void paintPlain(QPainter &painter, const QSize &deviceSize, const QRect &window,
                           const QVector<ColoredPolygon> &polygons,
                           const QVector<QPointF> &border, bool showBorder);

    // Index of the topmost triangle (the last one drawn) that covers the map
    // point, or -1. Uses the culling index, so it stays fast with millions
    // of triangles.
    qsizetype topmostAt(const QVector<ColoredPolygon> &polygons, QPointF point);

    // The band images are kept for the next paint (allocating them anew
    // costs page faults on every pass); this gives their memory back.
    void releaseBandImages();

    // Bytes held for culling (chunk boxes) and by the band images kept for
    // the next pass, for memory reports.
    qint64 indexBytes() const;
    qint64 bandImageBytes() const;
    // Triangles painted by the last paint() call, after culling.
    qint64 lastPaintedTriangles() const { return painted; }
    // Of those, the ones filled without QPainter (counted once per band).
    qint64 lastFilledTriangles() const { return filledDirectly; }

    static constexpr int ChunkSize = 64;

private:
    struct Box
    {
        double minX, minY, maxX, maxY;
    };
    // A map-coordinate area; triangles wholly outside it are skipped.
    struct Cull
    {
        double left, top, right, bottom;
    };

    static Cull cullFor(const QPainter &painter, const QRect &deviceArea);

    void syncIndex(const QVector<ColoredPolygon> &polygons);
    qint64 drawTriangles(QPainter &painter, const QVector<ColoredPolygon> &polygons,
                         const Cull &cull, const QTransform *toDevice = nullptr,
                         TriangleFill *fill = nullptr) const;
    bool hasHugeTriangles(const QTransform &toDevice, const Cull &c) const;
    std::vector<int> bandTops(const QTransform &toDevice, const QSize &deviceSize, qint64 count,
                              int bandCount) const;
    // pixels: the device's size in the engine's pixels, ratio times deviceSize.
    void paintBands(QPainter &painter, const QSize &pixels, qreal ratio,
                    const QVector<ColoredPolygon> &polygons, int bandCount);

    Mode paintMode = Mode::Automatic;
    int requestedBands = 0;
    bool directFill = true;
    std::vector<Box> chunks;
    qint64 indexed = 0;
    const ColoredPolygon *indexedData = nullptr;
    std::vector<QImage> bandImages;
    qint64 painted = 0;
    qint64 filledDirectly = 0;
};
