#include "TestRegistry.h"

#include "TestTiles.h"
#include "TilePolygons.h"
#include "TileReading.h"
#include "ViewExtent.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using TestTiles::addTriangle;

// The painter's drawing code and the extent arithmetic, without any widget.
class MapPainterTest : public QObject
{
    Q_OBJECT

private slots:
    void windowRectTruncates()
    {
        QCOMPARE(ViewExtentMath::windowRect({1421.7f, 1478.5f, 4930.5f, 4969.9f}), QRect(1421, 4969, 56, -39));
    }

    // Polygons in hundredths of a degree from whole triangles with finite
    // coordinates; the first vertex gives the colour, clamped.
    void polygonsFromFloats()
    {
        QVector<float> f;
        addTriangle(f, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, Qt::red);
        f[3] = std::nanf(""), f[4] = 1.5f, f[5] = -INFINITY, f[9] = 0.5f;
        addTriangle(f, 14.0, std::nan(""), 14.5, 49.0, 14.0, 49.5, Qt::blue);
        addTriangle(f, 15.0, 49.0, 15.5, 49.0, 15.0, 49.5, Qt::blue);
        QVector<ColoredPolygon> polygons;
        TilePolygons::appendTriangles(f.constData(), f.size() - 5, polygons);
        QCOMPARE(polygons.size(), 1);
        QCOMPARE(polygons[0].color.rgba(), qRgb(0, 255, 0));
        QCOMPARE(polygons[0].polygon, QPolygonF({{1400, 4900}, {1450, 4900}, {1400, 4950}}));
        TilePolygons::appendTriangles(f.constData(), f.size(), polygons);
        QCOMPARE(polygons.size(), 3);
        QCOMPARE(polygons[2].color, QColor(Qt::blue));
    }

    // Only a file left out for want of memory while others were read beside
    // it is read again when its turn comes; other failures stand.
    void outOfMemoryReadAgain()
    {
        QTemporaryDir dir;
        QVector<float> floats;
        addTriangle(floats, 14.0, 49.0, 15.0, 49.0, 14.0, 50.0, Qt::red);
        const QString path = dir.filePath("loose.chgt");
        QVERIFY(TestTiles::writeFloats(path, floats));
        for (const auto &[failure, readAgain] : {std::pair{FileFailure::OutOfMemory, true},
                                                 {FileFailure::TooLarge, false}, {FileFailure::NotRegularFile, false}}) {
            PoolTask<TileReading::OpenedTile> first([failure = failure] {
                TileReading::OpenedTile tile;
                tile.triangles.failure = FileFailure::of(failure);
                return tile;
            });
            const TileReading::OpenedTile tile = TileReading::take(first, path, false);
            QVERIFY(!tile.grid);
            QCOMPARE(tile.triangles.ok, readAgain);
            QCOMPARE(tile.triangles.polygons.size(), readAgain ? 1 : 0);
            QCOMPARE(tile.triangles.failure.kind, readAgain ? FileFailure::None : failure);
        }
    }
};

RZ_REGISTER_TEST(MapPainterTest);
#include "tst_mappainter.moc"
