// CHGT contents: bytes -> TilePolygons::appendTriangles and
// keepFiniteTriangles, then MapPainter. Never more polygons than whole
// triangles, each of three finite points taken from its record; and the
// fast painting (culled, serial or in bands, index grown in two steps)
// gives the very pixels of the plain one in every window tried.

#include "BorderOutline.h"
#include "ChgtTile.h"
#include "ChgtTileReader.h"
#include "MapPainter.h"
#include "TilePolygons.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int Fpt = ChgtTile::FloatsPerTriangle;
const QSize ImageSize(64, 48);
constexpr int BandCount = 4;
// The painter view's initial window, and a part of it zoomed in.
const QRect DefaultWindow(1100, 5130, 900, -300);
const QRect ZoomedWindow(1425, 4975, 150, -50);

// Created on the first input and kept: QPainter on images needs a
// QGuiApplication, and libFuzzer may end the process from anywhere.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_chgt_read";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    Q_UNUSED(app);
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool triangleIsFinite(const float *t)
{
    for (int v = 0; v < 3; ++v) {
        for (int i = 0; i < 3; ++i) {
            if (!std::isfinite(t[6 * v + i]))
                return false;
        }
    }
    return true;
}

// The polygon a triangle record must give: its three x, y in hundredths of a
// degree, the first vertex's colour.
bool polygonIs(const ColoredPolygon &cp, const float *t)
{
    if (cp.polygon.size() != 3)
        return false;
    for (int v = 0; v < 3; ++v) {
        const QPointF p = cp.polygon[v];
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            return false;
        if (!sameBits(p.x(), 100.0 * t[6 * v]) || !sameBits(p.y(), 100.0 * t[6 * v + 1]))
            return false;
    }
    return cp.color == TilePolygons::colorOf(t[3], t[4], t[5]);
}

QImage blank()
{
    QImage image(ImageSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// Windows that cover all the triangles, so at least one of them is drawn.
QRect windowAround(const QVector<ColoredPolygon> &polygons)
{
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (const ColoredPolygon &cp : polygons) {
        for (const QPointF &p : cp.polygon) {
            minX = std::min(minX, p.x());
            maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y());
            maxY = std::max(maxY, p.y());
        }
    }
    const double limit = 1.0e9;
    const int left = int(std::clamp(std::floor(minX), -limit, limit));
    const int right = int(std::clamp(std::ceil(maxX), -limit, limit));
    const int bottom = int(std::clamp(std::floor(minY), -limit, limit));
    const int top = int(std::clamp(std::ceil(maxY), -limit, limit));
    return QRect(left, top, std::max(1, right - left), -std::max(1, top - bottom));
}

// Says what differed, for the crash log.
void report(MapPainter::Mode mode, const QRect &window, const QImage &image, const QImage &plain,
            qsizetype triangles)
{
    int differing = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            differing += image.pixel(x, y) != plain.pixel(x, y);
    }
    std::fprintf(stderr,
                 "fuzz_chgt_read: %s paint differs from paintPlain in %d pixels; "
                 "window %d,%d %dx%d, %lld triangles\n",
                 mode == MapPainter::Mode::Bands ? "banded" : "serial", differing, window.x(),
                 window.y(), window.width(), window.height(), qlonglong(triangles));
}

void checkPainting(MapPainter &fast, const QVector<ColoredPolygon> &polygons,
                   const QVector<QPointF> &border)
{
    std::vector<QRect> windows{DefaultWindow, ZoomedWindow};
    if (!polygons.isEmpty())
        windows.push_back(windowAround(polygons));
    for (const QRect &window : windows) {
        const bool showBorder = window == DefaultWindow;
        QImage plain = blank();
        {
            QPainter painter(&plain);
            MapPainter::paintPlain(painter, ImageSize, window, polygons, border, showBorder);
        }
        for (MapPainter::Mode mode : {MapPainter::Mode::Serial, MapPainter::Mode::Bands}) {
            QImage image = blank();
            {
                QPainter painter(&image);
                fast.setMode(mode);
                fast.paint(painter, ImageSize, window, polygons, border, showBorder);
            }
            if (image != plain) {
                report(mode, window, image, plain, polygons.size());
                __builtin_trap();
            }
            // A band counts each triangle it draws, so one triangle may count
            // once per band.
            const qint64 most = polygons.size() * (mode == MapPainter::Mode::Bands ? BandCount : 1);
            if (fast.lastPaintedTriangles() < 0 || fast.lastPaintedTriangles() > most)
                __builtin_trap();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(1) << 20)
        return 0;
    ensureApplication();
    static const QVector<QPointF> border = BorderOutline::mapPoints(BorderOutline::readResource());

    // The file's little-endian floats, as ChgtTileReader::readTriangles has them.
    const qint64 count = qint64(size / 4);
    std::vector<float> floats(static_cast<size_t>(count));
    for (qint64 i = 0; i < count; ++i)
        floats[size_t(i)] = qFromLittleEndian<float>(data + 4 * i);

    QVector<ColoredPolygon> polygons;
    TilePolygons::appendTriangles(floats.data(), count, polygons);
    const qint64 whole = count / Fpt;
    if (polygons.size() > whole)
        __builtin_trap();

    // Polygons are the finite triangles, in order.
    qsizetype next = 0;
    for (qint64 t = 0; t < whole; ++t) {
        const float *triangle = floats.data() + t * Fpt;
        if (!triangleIsFinite(triangle))
            continue;
        if (next >= polygons.size() || !polygonIs(polygons[next], triangle))
            __builtin_trap();
        ++next;
    }
    if (next != polygons.size())
        __builtin_trap();

    // keepFiniteTriangles keeps exactly the same triangles, bits unchanged.
    std::vector<float> kept = floats;
    const qint64 keptCount = ChgtTileReader::keepFiniteTriangles(kept.data(), count);
    if (keptCount % Fpt != 0 || keptCount != qint64(polygons.size()) * Fpt)
        __builtin_trap();
    next = 0;
    for (qint64 t = 0; t < whole; ++t) {
        const float *triangle = floats.data() + t * Fpt;
        if (!triangleIsFinite(triangle))
            continue;
        if (std::memcmp(kept.data() + next * Fpt, triangle, Fpt * sizeof(float)) != 0)
            __builtin_trap();
        ++next;
    }

    // The same list read in two parts into one growing list, painted after
    // each, so the culling index is extended in place.
    const qint64 firstFloats = (whole / 2) * Fpt;
    QVector<ColoredPolygon> grown;
    grown.reserve(polygons.size());
    MapPainter fast;
    fast.setBandCount(BandCount);
    TilePolygons::appendTriangles(floats.data(), firstFloats, grown);
    checkPainting(fast, grown, border);
    TilePolygons::appendTriangles(floats.data() + firstFloats, count - firstFloats, grown);
    if (grown.size() != polygons.size())
        __builtin_trap();
    for (qsizetype i = 0; i < grown.size(); ++i) {
        if (grown[i].color != polygons[i].color || grown[i].polygon.size() != 3)
            __builtin_trap();
        for (int v = 0; v < 3; ++v) {
            if (!sameBits(grown[i].polygon[v].x(), polygons[i].polygon[v].x())
                || !sameBits(grown[i].polygon[v].y(), polygons[i].polygon[v].y()))
                __builtin_trap();
        }
    }
    checkPainting(fast, grown, border);
    return 0;
}
