#pragma once

// Tiles made by hgtgen for the suites of grids and levels: their cells as
// the conversion gives them, their files and their grids, each made once.

#include "ChgtTile.h"
#include "ConvertHgt.h"
#include "HgtTileGenerator.h"
#include "MapPainter.h"
#include "TestTiles.h"
#include "TileGrid.h"
#include "TileLevel.h"
#include "TileMeshBuilder.h"
#include "TilePolygons.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>

// Relief has many bands in long runs; random changes band at almost every cell.
enum class Kind { Relief, Random };
Q_DECLARE_METATYPE(Kind)

class LodTiles
{
public:
    QString path(const QString &name) const { return dir.filePath(name); }

    const QByteArray &hgt(Kind kind, int lat, int lon)
    {
        QByteArray &bytes = sources[{int(kind), lat, lon, 0, false}];
        if (bytes.isEmpty()) {
            HgtTileGenerator g;
            if (kind == Kind::Relief)
                g.fillRelief(lat, lon, 7);
            else
                g.fillRandom(quint32(lat * 100 + lon));
            bytes = g.bytes();
        }
        return bytes;
    }

    // What the conversion gives at quantity q, as bytes; with holes, the
    // cells of TestTiles::borderHoles left out.
    QByteArray cells(Kind kind, int lat, int lon, int q, bool holes = false)
    {
        const TileMeshBuilder builder(hgt(kind, lat, lon).constData(), lon, lat, q);
        QByteArray out(qsizetype(builder.floatCount()) * 4, Qt::Uninitialized);
        builder.buildColumns(reinterpret_cast<float *>(out.data()), 0, builder.columnCount());
        return holes ? TestTiles::withHoles(out, q, TestTiles::borderHoles) : out;
    }

    std::shared_ptr<const TileGrid> grid(Kind kind, int lat, int lon, int q, bool holes = false)
    {
        std::shared_ptr<const TileGrid> &g = grids[{int(kind), lat, lon, q, holes}];
        if (!g) {
            const QByteArray bytes = cells(kind, lat, lon, q, holes);
            g = std::make_shared<const TileGrid>(TileGrid::recognise(bytes.constData(), bytes.size()));
        }
        return g;
    }

    // The tile as the import writes it: through the conversion into a file.
    QString converted(Kind kind, int lat, int lon, int q)
    {
        const QDir out(dir.filePath(QStringLiteral("%1-q%2").arg(int(kind)).arg(q)));
        const QString chgt = out.filePath(ChgtTile::fileName(lat, lon));
        if (QFile::exists(chgt))
            return chgt;
        QDir().mkpath(out.path());
        const QString hgtFile = chgt.chopped(4) + "hgt";
        const bool done = TestTiles::writeBytes(hgtFile, hgt(kind, lat, lon))
                          && ConvertHgt::convertFile(hgtFile, out, q) == ConvertHgt::Outcome::Converted;
        QFile::remove(hgtFile);
        return done ? chgt : QString();
    }

private:
    using Key = std::tuple<int, int, int, int, bool>;
    QTemporaryDir dir;
    std::map<Key, QByteArray> sources;
    std::map<Key, std::shared_ptr<const TileGrid>> grids;
};

// The cells of range a level has, as the file's floats.
inline QByteArray levelCells(const TileLevel &level, const CellRange &range)
{
    QByteArray out(qsizetype(range.cellCount()) * 144, Qt::Uninitialized);
    out.truncate(qsizetype(level.writeCells(range, reinterpret_cast<float *>(out.data()))) * 144);
    return out;
}

// A painter window (hundredths of a degree, north up) as degrees.
inline GeoBox areaOf(const QRect &window)
{
    return GeoBox{window.x() / 100.0, (window.x() + window.width()) / 100.0,
                  (window.y() + window.height()) / 100.0, window.y() / 100.0};
}

inline QImage blank(QSize size, qreal ratio = 1.0)
{
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    return image;
}

// An earlier tile to show through holes: slanted triangles of two colours
// in cells of 0.1 degree from (west, south).
constexpr QRgb UnderColour = 0xff20c0a0, UnderColour2 = 0xffc020a0;
inline QVector<float> underTile(double west, double south, int columns, int rows)
{
    QVector<float> f;
    for (int i = 0; i < columns * rows; ++i) {
        const double x = west + i / rows * 0.1, y = south + i % rows * 0.1;
        TestTiles::addTriangle(f, x, y, x + 0.1, y, x, y + 0.1, QColor(UnderColour));
        TestTiles::addTriangle(f, x, y + 0.1, x + 0.1, y + 0.1, x + 0.1, y, QColor(UnderColour2));
    }
    return f;
}

// How many pixels are colour (opaque).
inline qsizetype countOf(const QImage &image, QRgb colour)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    qsizetype n = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        n += std::count(row, row + rgb.width(), colour | 0xff000000u);
    }
    return n;
}

// Triangles in the polygons the painter draws.
struct Triangles
{
    QVector<ColoredPolygon> polygons;

    void add(const QByteArray &floats)
    {
        TilePolygons::appendTriangles(reinterpret_cast<const float *>(floats.constData()), floats.size() / 4,
                                      polygons);
    }
    // Through the painter view's drawing (plain: one drawPolygon each).
    QImage painted(QSize size, const QRect &window, bool plain = false, qreal ratio = 1.0) const
    {
        QImage image = blank(size, ratio);
        QPainter painter(&image);
        if (plain)
            MapPainter::paintPlain(painter, size, window, polygons, {}, false);
        else
            MapPainter().paint(painter, size, window, polygons, {}, false);
        return image;
    }
};
