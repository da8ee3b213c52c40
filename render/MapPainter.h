#pragma once

#include "ColoredPolygon.h"
#include "MapContent.h"
#include "TileLevel.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QVector>

#include <optional>
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
// (per file, by its box, then per triangle), the brush is
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
// A map is a MapContent: tiles in order, each a grid or triangles. A grid is
// drawn at the level LevelChoice picks for the pixels per degree of the very
// transform used here, only its visible cells, with shared far edges: the
// pixels of that level's triangles painted as above, without the hairlines
// the stored edges leave. In a band image GridFill fills the cells' pixels
// directly; elsewhere the cells go through QPainter as two triangles each.
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
               const MapContent &content, const QVector<QPointF> &border, bool showBorder);
    // A map of triangles only.
    void paint(QPainter &painter, const QSize &deviceSize, const QRect &window,
               const QVector<ColoredPolygon> &polygons, const QVector<QPointF> &border,
               bool showBorder);

    // Reference drawing: every triangle with a fresh solid brush, in order.
    static void paintPlain(QPainter &painter, const QSize &deviceSize, const QRect &window,
                           const QVector<ColoredPolygon> &polygons,
                           const QVector<QPointF> &border, bool showBorder);
    // The same for a map with grids: each grid as every triangle of the
    // level it is drawn at (shared far edges), in its place in the order.
    static void paintPlain(QPainter &painter, const QSize &deviceSize, const QRect &window,
                           const MapContent &content, const QVector<QPointF> &border,
                           bool showBorder);

    // Index of the topmost triangle (the last one drawn) that covers the map
    // point, or -1. Only triangles first .. end - 1 when end >= 0.
    static qsizetype topmostAt(const QVector<ColoredPolygon> &polygons, QPointF point,
                               qsizetype first = 0, qsizetype end = -1);
    // Colour of the topmost tile at lonLat (degrees), invalid if none: a
    // grid's stored cell there (the finest data; where it has none, what lies
    // below) or the topmost triangle.
    static QColor colorAt(const MapContent &content, QPointF lonLat);

    // The level a grid is drawn at through toPixels (map units to the
    // engine's pixels).
    static int levelFor(const TileGrid &grid, const QTransform &toPixels);
    // The level each grid entry was drawn at by the last paint, in order.
    const std::vector<int> &lastLevels() const { return levels; }

    // The band images are kept for the next paint (allocating them anew
    // costs page faults on every pass); this gives their memory back.
    void releaseBandImages();

    // Bytes held by the band images kept for the next pass, for memory reports.
    qint64 bandImageBytes() const;
    // Triangles painted by the last paint() call, after culling.
    qint64 lastPaintedTriangles() const { return painted; }
    // Of those, the ones filled without QPainter (counted once per band).
    qint64 lastFilledTriangles() const { return filledDirectly; }
    // Grid cells painted by the last paint() call (once per band).
    qint64 lastPaintedCells() const { return paintedCells; }

private:
    // A map-coordinate area; triangles wholly outside it are skipped.
    struct Cull
    {
        double left, top, right, bottom;
    };

    static Cull cullFor(const QPainter &painter, const QRect &deviceArea);

    // The level drawn for a grid entry in this paint.
    struct GridLevel
    {
        const TileGrid *grid = nullptr;
        std::optional<TileLevel> level;
    };

    void prepareLevels(const MapContent &content, const QTransform &toPixels);
    static qint64 drawTriangles(QPainter &painter, const QVector<ColoredPolygon> &polygons,
                                const MapContent::Entry &run, const Cull &cull,
                                const QTransform *toDevice = nullptr, TriangleFill *fill = nullptr);
    // The visible cells of a grid entry as triangles through the painter.
    static qint64 drawCells(QPainter &painter, const TileLevel &level, const CellRange &range,
                            const QTransform *toDevice);
    static CellRange visibleCells(const TileLevel &level, const Cull &cull);
    // Every entry straight into the painter.
    void paintSerial(QPainter &painter, const MapContent &content, const Cull &cull);
    static bool hasHugeTriangles(const MapContent &content, const QTransform &toDevice, const Cull &c);
    static std::vector<int> bandTops(const MapContent &content, const QTransform &toDevice,
                                     const QSize &deviceSize, int bandCount);
    // pixels: the device's size in the engine's pixels, ratio times deviceSize.
    void paintBands(QPainter &painter, const QSize &pixels, qreal ratio,
                    const MapContent &content, int bandCount);

    Mode paintMode = Mode::Automatic;
    int requestedBands = 0;
    bool directFill = true;
    std::vector<QImage> bandImages;
    qint64 painted = 0;
    qint64 filledDirectly = 0;
    qint64 paintedCells = 0;
    std::vector<GridLevel> gridLevels; // per entry
    std::vector<int> levels;
};
