#include "MapPainter.h"

#include "CellEdges.h"
#include "GridFill.h"
#include "LevelChoice.h"
#include "PoolTask.h"
#include "TriangleFill.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QThread>
#include <QTransform>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

// Pixels around a target area that still count as inside: far more than
// any rounding of the rasteriser, so a skipped triangle never owned a pixel.
constexpr double CullMarginPx = 2.0;

// Below this many candidate triangles the threads cost more than they save.
constexpr qint64 BandThreshold = 20000;

// The band images together stay below this; larger targets use fewer bands.
constexpr qint64 BandMemoryBudget = qint64(128) << 20;

// Bands thinner than this are not worth an image of their own.
constexpr int MinBandRows = 8;

QPen borderPen()
{
    QPen pen(QBrush(Qt::black), 0, Qt::SolidLine);
    pen.setCosmetic(true);
    return pen;
}

// The premapped points must be the very numbers Qt computes. Checked on the
// matrix in use with awkward values, so a build that fuses or reorders the
// arithmetic differently from Qt leaves the mapping to the painter.
bool mapsLikeQt(const QTransform &m)
{
    static const double probes[] = {0.0, 1.0 / 3.0, -1234.5678901, 1763.5001, 5027.299999,
                                    1.0e-7, 98765.4321, -0.1};
    for (double x : probes) {
        for (double y : probes) {
            const QPointF q = m.map(QPointF(x, y));
            const double px = m.m11() * x + m.dx();
            const double py = m.m22() * y + m.dy();
            if (q.x() != px || q.y() != py)
                return false;
        }
    }
    return true;
}

// Map coordinates to the painter's logical device pixels (the viewport's
// space): world and window/viewport transforms, without any device pixel
// ratio, so it matches deviceSize on every device.
QTransform logicalTransform(const QPainter &painter)
{
    QTransform view;
    if (painter.viewTransformEnabled()) {
        const QRect w = painter.window();
        const QRect v = painter.viewport();
        const qreal sx = qreal(v.width()) / w.width();
        const qreal sy = qreal(v.height()) / w.height();
        view = QTransform(sx, 0, 0, sy, v.x() - w.x() * sx, v.y() - w.y() * sy);
    }
    return painter.worldMatrixEnabled() ? painter.worldTransform() * view : view;
}

// The device pixel ratio the painter's engine scales by; 0 for a device
// whose pixels are not plain raster rows of a whole multiple of its units.
qreal rasterPixelRatio(const QPainter &painter)
{
    QPaintEngine *engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !painter.device())
        return 0.0;
    // The engine's device: a widget paints into its window's backing store.
    const QPaintDevice *target = engine->paintDevice() ? engine->paintDevice() : painter.device();
    const qreal ratio = std::max(qreal(1), target->devicePixelRatio());
    return ratio == std::floor(ratio) ? ratio : 0.0;
}

// Map coordinates to the pixels the engine fills: the logical transform,
// then the ratio's scale as Qt multiplies it in.
QTransform pixelTransform(const QPainter &painter, qreal ratio)
{
    const QTransform logical = logicalTransform(painter);
    return ratio == 1.0 ? logical : logical * QTransform::fromScale(ratio, ratio);
}

} // namespace

MapPainter::MapPainter() = default;

void MapPainter::releaseBandImages()
{
    std::vector<QImage>().swap(bandImages);
}

qint64 MapPainter::bandImageBytes() const
{
    qint64 bytes = 0;
    for (const QImage &image : bandImages)
        bytes += image.sizeInBytes();
    return bytes;
}

MapPainter::Cull MapPainter::cullFor(const QPainter &painter, const QRect &deviceArea)
{
    const Cull none{-Inf, -Inf, Inf, Inf};
    bool invertible = false;
    const QTransform toMap = logicalTransform(painter).inverted(&invertible);
    if (!invertible)
        return none;
    const QRectF r = toMap.mapRect(QRectF(deviceArea).adjusted(-CullMarginPx, -CullMarginPx,
                                                                 CullMarginPx, CullMarginPx));
    const Cull c{r.left(), r.top(), r.right(), r.bottom()};
    if (!std::isfinite(c.left) || !std::isfinite(c.top) || !std::isfinite(c.right)
        || !std::isfinite(c.bottom))
        return none;
    return c;
}

namespace {

// Whether a box lies wholly outside a cull area, or wholly inside it.
template<class Area>
bool outside(const MapContent::Box &b, const Area &c)
{
    return b.maxX < c.left || b.minX > c.right || b.maxY < c.top || b.minY > c.bottom;
}
template<class Area>
bool within(const MapContent::Box &b, const Area &c)
{
    return b.minX >= c.left && b.maxX <= c.right && b.minY >= c.top && b.maxY <= c.bottom;
}

// Inclusive of the edges, whichever way the triangle winds.
bool covers(const QPolygonF &t, QPointF p)
{
    if (t.size() != 3)
        return false;
    const auto side = [&](const QPointF &a, const QPointF &b) {
        return (b.x() - a.x()) * (p.y() - a.y()) - (b.y() - a.y()) * (p.x() - a.x());
    };
    const double d1 = side(t[0], t[1]), d2 = side(t[1], t[2]), d3 = side(t[2], t[0]);
    const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
    const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
    return !(negative && positive);
}

} // namespace

qsizetype MapPainter::topmostAt(const QVector<ColoredPolygon> &polygons, QPointF point,
                                qsizetype first, qsizetype end)
{
    const qsizetype n = end < 0 ? polygons.size() : std::min(end, polygons.size());
    for (qsizetype i = n - 1; i >= first; --i) {
        if (covers(polygons.at(i).polygon, point))
            return i;
    }
    return -1;
}

qint64 MapPainter::drawTriangles(QPainter &painter, const QVector<ColoredPolygon> &polygons,
                                 const MapContent::Entry &run, const Cull &c,
                                 const QTransform *toDevice, TriangleFill *fill)
{
    if (outside(run.box, c))
        return 0;
    const bool inside = within(run.box, c);
    const ColoredPolygon *data = polygons.constData();
    const qint64 n = std::min<qint64>(run.end, polygons.size());
    // A scale and a translation, as QTransform::map works them out.
    const double sx = toDevice ? toDevice->m11() : 1.0;
    const double sy = toDevice ? toDevice->m22() : 1.0;
    const double dx = toDevice ? toDevice->dx() : 0.0;
    const double dy = toDevice ? toDevice->dy() : 0.0;
    qint64 drawn = 0;
    QColor brushColor;
    bool haveBrush = false;
    // The brush only changes with the colour.
    const auto useBrush = [&](const QColor &color) {
        if (!haveBrush || color != brushColor) {
            painter.setBrush(QBrush(color, Qt::SolidPattern));
            brushColor = color;
            haveBrush = true;
        }
    };
    QColor pixelColor;
    bool havePixel = false;
    bool pixelFillable = false;
    quint32 pixel = 0;
    for (qint64 i = run.first; i < n; ++i) {
        const ColoredPolygon &cp = data[i];
        if (!inside) {
            // Skipped only when every point lies beyond one side; NaN
            // never does, so such a polygon is drawn as the plain paint would.
            bool left = true, right = true, above = true, below = true;
            for (const QPointF &p : cp.polygon) {
                left = left && p.x() < c.left;
                right = right && p.x() > c.right;
                above = above && p.y() < c.top;
                below = below && p.y() > c.bottom;
            }
            if (left || right || above || below)
                continue;
        }
        ++drawn;
        if (toDevice && cp.polygon.size() == 3) {
            const QPointF *p = cp.polygon.constData();
            const QPointF device[3] = {
                {sx * p[0].x() + dx, sy * p[0].y() + dy},
                {sx * p[1].x() + dx, sy * p[1].y() + dy},
                {sx * p[2].x() + dx, sy * p[2].y() + dy},
            };
            if (fill) {
                if (!havePixel || cp.color != pixelColor) {
                    pixelFillable = TriangleFill::pixelOf(cp.color, &pixel);
                    pixelColor = cp.color;
                    havePixel = true;
                }
                if (pixelFillable && fill->fill(device, pixel))
                    continue;
            }
            useBrush(cp.color);
            painter.drawPolygon(device, 3, Qt::OddEvenFill);
        } else {
            useBrush(cp.color);
            painter.drawPolygon(cp.polygon, Qt::OddEvenFill);
        }
    }
    return drawn;
}

void MapPainter::paint(QPainter &painter, const QSize &deviceSize, const QRect &window,
                       const QVector<ColoredPolygon> &polygons, const QVector<QPointF> &border,
                       bool showBorder)
{
    const MapContent content(polygons);
    paint(painter, deviceSize, window, content, border, showBorder);
}

int MapPainter::levelFor(const TileGrid &grid, const QTransform &toPixels)
{
    // Map units are hundredths of a degree.
    return LevelChoice::levelFor(grid.quantity(), 100.0 * std::abs(toPixels.m11()),
                                 100.0 * std::abs(toPixels.m22()));
}

void MapPainter::prepareLevels(const MapContent &content, const QTransform &toPixels)
{
    const std::vector<MapContent::Entry> &entries = content.entries();
    gridLevels.resize(entries.size());
    levels.clear();
    for (size_t i = 0; i < entries.size(); ++i) {
        const TileGrid *grid = entries[i].grid.get();
        GridLevel &g = gridLevels[i];
        if (!grid) {
            g = GridLevel();
            continue;
        }
        const int k = levelFor(*grid, toPixels);
        // Edges are worked out once per level, not per frame.
        if (g.grid != grid || !g.level || g.level->level() != k) {
            g.grid = grid;
            g.level.emplace(*grid, k, CellEdges::FarEdge::Shared);
        }
        levels.push_back(k);
    }
}

CellRange MapPainter::visibleCells(const TileLevel &level, const Cull &cull)
{
    return level.visibleCells(
        GeoBox{cull.left / 100.0, cull.right / 100.0, cull.top / 100.0, cull.bottom / 100.0});
}

qint64 MapPainter::drawCells(QPainter &painter, const TileLevel &level, const CellRange &range,
                             const QTransform *toDevice)
{
    if (range.isEmpty())
        return 0;
    // The triangles a tile of this level holds, mapped as drawTriangles maps them.
    const double sx = toDevice ? toDevice->m11() : 1.0;
    const double sy = toDevice ? toDevice->m22() : 1.0;
    const double dx = toDevice ? toDevice->dx() : 0.0;
    const double dy = toDevice ? toDevice->dy() : 0.0;
    const CellEdges &columns = level.columnEdges();
    const CellEdges &rows = level.rowEdges();
    int brushBand = -1;
    qint64 drawn = 0;
    for (int c = range.column0; c < range.column1; ++c) {
        const double x0 = sx * (100.0 * double(columns.nearEdge(c))) + dx;
        const double x1 = sx * (100.0 * double(columns.farEdge(c))) + dx;
        for (int r = range.row0; r < range.row1; ++r) {
            const double y0 = sy * (100.0 * double(rows.nearEdge(r))) + dy;
            const double y1 = sy * (100.0 * double(rows.farEdge(r))) + dy;
            const int band = level.band(c, r);
            if (band == TileGrid::NoCell)
                continue;
            if (band != brushBand) {
                painter.setBrush(QBrush(GridFill::bandColor(band), Qt::SolidPattern));
                brushBand = band;
            }
            const QPointF lower[3] = {{x0, y0}, {x1, y0}, {x0, y1}};
            const QPointF upper[3] = {{x0, y1}, {x1, y1}, {x1, y0}};
            painter.drawPolygon(lower, 3, Qt::OddEvenFill);
            painter.drawPolygon(upper, 3, Qt::OddEvenFill);
            ++drawn;
        }
    }
    return drawn;
}

void MapPainter::paintSerial(QPainter &painter, const MapContent &content, const Cull &cull)
{
    const std::vector<MapContent::Entry> &entries = content.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const MapContent::Entry &e = entries[i];
        if (e.grid) {
            const TileLevel &level = *gridLevels[i].level;
            paintedCells += drawCells(painter, level, visibleCells(level, cull), nullptr);
        } else {
            painted += drawTriangles(painter, content.polygons(), e, cull);
        }
    }
}

void MapPainter::paint(QPainter &painter, const QSize &deviceSize, const QRect &window,
                       const MapContent &content, const QVector<QPointF> &border, bool showBorder)
{
    painter.setWindow(window);
    painter.setViewport(QRect(QPoint(0, 0), deviceSize));
    painted = 0;
    filledDirectly = 0;
    paintedCells = 0;
    levels.clear();
    if (!content.entries().empty()) {
        painter.setPen(Qt::NoPen);
        const QRect device(QPoint(0, 0), deviceSize);
        const Cull all = cullFor(painter, device);

        // Band images hold the engine's own pixels: on a high-DPI device
        // (a whole ratio) they are that many times larger than deviceSize.
        const qreal ratio = rasterPixelRatio(painter);
        const QSize pixels = deviceSize * (ratio > 0 ? ratio : 1.0);
        prepareLevels(content, ratio > 0 ? pixelTransform(painter, ratio) : logicalTransform(painter));
        // Grids are filled in band images only: at least one band for them.
        const bool grids = content.gridCount() > 0;
        int bands = grids ? 1 : 0;
        if (paintMode != Mode::Serial && ratio > 0 && pixels.height() >= 2 * MinBandRows
            && pixels.width() > 0) {
            const int threads = std::max(1, QThread::idealThreadCount());
            bands = requestedBands > 0 ? requestedBands : 2 * threads;
            bands = std::min(bands, pixels.height() / MinBandRows);
            const qint64 imageBytes = qint64(pixels.width()) * pixels.height() * 4;
            bands = int(std::min<qint64>(bands, BandMemoryBudget / imageBytes));
            if (paintMode == Mode::Automatic && !grids) {
                qint64 candidates = 0;
                for (const MapContent::Entry &e : content.entries()) {
                    if (!outside(e.box, all))
                        candidates += e.end - e.first;
                }
                if (threads < 2 || candidates < BandThreshold)
                    bands = 1;
            }
        }
        bool useBands = ratio > 0 && !pixels.isEmpty() && (grids ? bands >= 1 : bands > 1);
        if (useBands && hasHugeTriangles(content, pixelTransform(painter, ratio), all))
            useBands = false;
        if (useBands)
            paintBands(painter, pixels, ratio, content, std::max(bands, 1));
        else
            paintSerial(painter, content, all);
    }
    if (showBorder) {
        painter.setPen(borderPen());
        painter.drawPolyline(border);
    }
}

QColor MapPainter::colorAt(const MapContent &content, QPointF lonLat)
{
    const std::vector<MapContent::Entry> &entries = content.entries();
    const QPointF p = lonLat * 100.0;
    for (size_t i = entries.size(); i-- > 0;) {
        const MapContent::Entry &e = entries[i];
        if (!e.grid) {
            if (!e.box.holds(p))
                continue;
            const qsizetype t = topmostAt(content.polygons(), p, e.first, e.end);
            if (t >= 0)
                return content.polygons().at(t).color;
            continue;
        }
        const TileGrid &g = *e.grid;
        // A tile's cells lie within its degree and the next 1/1200.
        if (!(lonLat.x() >= g.lon() && lonLat.x() <= g.lon() + 1.01 && lonLat.y() >= g.lat()
              && lonLat.y() <= g.lat() + 1.01))
            continue;
        // The stored level, with the edges it is drawn with.
        const CellEdges columns(g.lon(), g.quantity(), CellEdges::FarEdge::Shared);
        const CellEdges rows(g.lat(), g.quantity(), CellEdges::FarEdge::Shared);
        const int c = columns.cellAt(lonLat.x());
        const int r = rows.cellAt(lonLat.y());
        // Where the tile has no cell, what lies below shows.
        if (c >= 0 && r >= 0 && g.hasCell(c, r))
            return GridFill::bandColor(g.band(c, r));
    }
    return QColor();
}

bool MapPainter::hasHugeTriangles(const MapContent &content, const QTransform &toDevice, const Cull &c)
{
    // Far beyond the rasteriser's coordinate range Qt clips a polygon to the
    // clip it is given before filling it, and a band's clip then gives other
    // edges than the whole target's. No map comes near; damaged tiles might.
    constexpr double HugePx = double(1 << 20);
    const double m11 = std::abs(toDevice.m11()), m21 = std::abs(toDevice.m21());
    const double m12 = std::abs(toDevice.m12()), m22 = std::abs(toDevice.m22());
    const auto huge = [&](double w, double h) { return !(w * m11 + h * m21 < HugePx && w * m12 + h * m22 < HugePx); };
    for (const MapContent::Entry &e : content.entries()) {
        if (e.grid || outside(e.box, c) || !huge(e.box.maxX - e.box.minX, e.box.maxY - e.box.minY))
            continue;
        if (!std::isfinite(e.box.minX))
            return true;
        for (qsizetype i = e.first; i < e.end; ++i) {
            const MapContent::Box t = MapContent::Box::around(content.polygons().at(i).polygon);
            if (!outside(t, c) && huge(t.maxX - t.minX, t.maxY - t.minY))
                return true;
        }
    }
    return false;
}

std::vector<int> MapPainter::bandTops(const MapContent &content, const QTransform &toDevice,
                                      const QSize &deviceSize, int bandCount)
{
    // Rows with about the same number of triangles each, each file's spread
    // evenly over the rows of its box, so no thread is left with most of the
    // map. Grids cost about the same per pixel everywhere: even rows.
    const int h = deviceSize.height();
    std::vector<double> perRow(size_t(h), 0.0);
    double total = 0;
    const bool even = content.gridCount() > 0;
    for (const MapContent::Entry &e : content.entries()) {
        if (even)
            break;
        const QRectF r = toDevice.mapRect(QRectF(QPointF(e.box.minX, e.box.minY), QPointF(e.box.maxX, e.box.maxY)));
        const double top = std::max(0.0, r.top()), bottom = std::min(double(h), r.bottom());
        if (!(bottom > top && r.right() > 0.0 && r.left() < deviceSize.width()))
            continue;
        const double perPixelRow = double(e.end - e.first) / std::max(1.0, r.height());
        const int first = int(top), end = int(std::ceil(bottom));
        for (int y = first; y < end; ++y)
            perRow[size_t(y)] += perPixelRow;
        total += perPixelRow * (end - first);
    }
    std::vector<int> tops(size_t(bandCount) + 1, h);
    tops[0] = 0;
    double sum = 0;
    int band = 1;
    for (int y = 0; y < h && band < bandCount; ++y) {
        sum += perRow[size_t(y)];
        while (band < bandCount && sum * bandCount >= total * band) {
            tops[size_t(band)] = y + 1;
            ++band;
        }
    }
    // Even rows when nothing is known; then at least one row per band.
    for (int i = 1; i < bandCount; ++i) {
        if (total == 0)
            tops[size_t(i)] = int(qint64(h) * i / bandCount);
        tops[size_t(i)] = std::clamp(tops[size_t(i)], tops[size_t(i - 1)] + 1, h - (bandCount - i));
    }
    return tops;
}

void MapPainter::paintBands(QPainter &painter, const QSize &pixels, qreal ratio,
                            const MapContent &content, int bandCount)
{
    const QVector<ColoredPolygon> &polygons = content.polygons();
    const std::vector<MapContent::Entry> &entries = content.entries();
    const int w = pixels.width();
    bandImages.resize(size_t(bandCount));
    for (QImage &image : bandImages) {
        if (image.size() != pixels || image.format() != QImage::Format_ARGB32_Premultiplied)
            image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) { // out of memory: draw straight into the target
            bandImages.clear();
            paintSerial(painter, content, cullFor(painter, QRect(QPoint(0, 0), pixels / ratio)));
            return;
        }
    }

    // At ratio 1 the band painters get the very window and viewport; on a
    // high-DPI device the whole matrix the engine would use, scale included,
    // as their world transform over plain pixels.
    const bool scaled = ratio != 1.0;
    const QTransform world = scaled ? pixelTransform(painter, ratio) : painter.worldTransform();
    const bool worldEnabled = scaled || painter.worldMatrixEnabled();
    const QRect window = painter.window();
    const QRect viewport = painter.viewport();
    const QPainter::RenderHints hints = painter.renderHints();
    std::vector<qint64> drawn(static_cast<size_t>(bandCount), 0);
    std::vector<qint64> filled(static_cast<size_t>(bandCount), 0);
    std::vector<qint64> cells(static_cast<size_t>(bandCount), 0);
    const bool fillAllowed = directFill && !hints.testFlag(QPainter::Antialiasing)
                             && TriangleFill::matchesQt();
    const std::vector<int> tops = bandTops(content, pixelTransform(painter, ratio), pixels, bandCount);
    auto bandTop = [&tops](int i) { return tops[size_t(i)]; };

    auto paintBand = [&](int i) {
        const int y0 = bandTop(i);
        const int y1 = bandTop(i + 1);
        QImage &image = bandImages[size_t(i)];
        for (int y = y0; y < y1; ++y)
            std::memset(image.scanLine(y), 0, size_t(image.bytesPerLine()));
        QPainter band(&image);
        band.setRenderHints(band.renderHints(), false);
        band.setRenderHints(hints, true);
        // The clip is set in device pixels, before any transform.
        band.setClipRect(QRect(0, y0, w, y1 - y0));
        band.setWorldTransform(world);
        band.setWorldMatrixEnabled(worldEnabled);
        if (scaled) {
            band.setViewTransformEnabled(false);
        } else {
            band.setWindow(window);
            band.setViewport(viewport);
        }
        band.setPen(Qt::NoPen);
        const Cull cull = cullFor(band, QRect(0, y0, w, y1 - y0));
        // Points mapped here with the painter's own matrix, the painter left
        // untransformed: the same device coordinates for less work per call.
        const QTransform toDevice = band.combinedTransform();
        const bool premap = toDevice.type() <= QTransform::TxScale && mapsLikeQt(toDevice);
        if (premap) {
            band.setWorldMatrixEnabled(false);
            band.setViewTransformEnabled(false);
        }
        // Triangles Qt would fill with plain solid spans are filled here
        // with the same spans; the rest still go through the painter.
        std::optional<TriangleFill> fill;
        if (premap && fillAllowed)
            fill.emplace(image, y0, y1 - 1);
        // Entries in order, a later one on top.
        const QTransform *mapped = premap ? &toDevice : nullptr;
        for (size_t e = 0; e < entries.size(); ++e) {
            const MapContent::Entry &entry = entries[e];
            if (!entry.grid) {
                drawn[size_t(i)] += drawTriangles(band, polygons, entry, cull, mapped, fill ? &*fill : nullptr);
                continue;
            }
            const TileLevel &level = *gridLevels[e].level;
            const CellRange range = visibleCells(level, cull);
            if (fill) {
                GridFill cellFill(image, y0, y1 - 1, toDevice);
                cells[size_t(i)] += cellFill.fill(level, range, [&](int column, int row) {
                    cells[size_t(i)] += drawCells(band, level, CellRange{column, column + 1, row, row + 1},
                                                  mapped);
                });
            } else {
                cells[size_t(i)] += drawCells(band, level, range, mapped);
            }
        }
        filled[size_t(i)] = fill ? fill->filledCount() : 0;
    };
    // Bands are short, independent pieces of one paint: tasks for the pool.
    // Each thread takes the next band until none is left, this one too.
    {
        std::atomic<int> nextBand{0};
        const auto paintSome = [&] {
            for (int i = nextBand++; i < bandCount; i = nextBand++)
                paintBand(i);
        };
        const int helperCount =
            std::min(bandCount - 1, QThreadPool::globalInstance()->maxThreadCount());
        std::vector<PoolTask<void>> helpers;
        helpers.reserve(size_t(std::max(helperCount, 0)));
        for (int t = 0; t < helperCount; ++t)
            helpers.emplace_back(paintSome);
        paintSome();
    } // the helpers are waited for here

    painter.save();
    painter.setWorldMatrixEnabled(false);
    painter.setViewTransformEnabled(false);
    for (int i = 0; i < bandCount; ++i) {
        const int y0 = bandTop(i);
        const int y1 = bandTop(i + 1);
        if (y1 <= y0)
            continue;
        const QImage &image = bandImages[size_t(i)];
        if (scaled) {
            // Pixel for pixel: the engine scales the logical target back.
            painter.drawImage(QRectF(0, y0 / ratio, w / ratio, (y1 - y0) / ratio), image,
                              QRectF(0, y0, w, y1 - y0));
        } else {
            painter.drawImage(QPoint(0, y0), image, QRect(0, y0, w, y1 - y0));
        }
    }
    painter.restore();
    painted = std::accumulate(drawn.begin(), drawn.end(), qint64(0));
    filledDirectly = std::accumulate(filled.begin(), filled.end(), qint64(0));
    paintedCells = std::accumulate(cells.begin(), cells.end(), qint64(0));
}

void MapPainter::paintPlain(QPainter &painter, const QSize &deviceSize, const QRect &window,
                            const QVector<ColoredPolygon> &polygons,
                            const QVector<QPointF> &border, bool showBorder)
{
    painter.setWindow(window);
    painter.setViewport(QRect(QPoint(0, 0), deviceSize));
    if (!polygons.isEmpty()) {
        painter.setPen(Qt::NoPen);
        for (const ColoredPolygon &cp : polygons) {
            painter.setBrush(QBrush(cp.color, Qt::SolidPattern));
            painter.drawPolygon(cp.polygon, Qt::OddEvenFill);
        }
    }
    if (showBorder) {
        painter.setPen(borderPen());
        painter.drawPolyline(border);
    }
}

void MapPainter::paintPlain(QPainter &painter, const QSize &deviceSize, const QRect &window,
                            const MapContent &content, const QVector<QPointF> &border,
                            bool showBorder)
{
    painter.setWindow(window);
    painter.setViewport(QRect(QPoint(0, 0), deviceSize));
    const qreal ratio = rasterPixelRatio(painter);
    const QTransform toPixels = pixelTransform(painter, ratio > 0 ? ratio : 1.0);
    QVector<ColoredPolygon> polygons;
    for (const MapContent::Entry &e : content.entries()) {
        if (!e.grid) {
            polygons.append(content.polygons().mid(e.first, e.end - e.first));
            continue;
        }
        const TileLevel level(*e.grid, levelFor(*e.grid, toPixels), CellEdges::FarEdge::Shared);
        const CellRange all = level.wholeTile();
        std::vector<float> floats(size_t(all.cellCount()) * 36);
        const qint64 cells = level.writeCells(all, floats.data());
        TilePolygons::appendTriangles(floats.data(), cells * 36, polygons);
    }
    paintPlain(painter, deviceSize, window, polygons, border, showBorder);
}
