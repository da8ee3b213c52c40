#include "TestRegistry.h"

#include "ChgtTileReader.h"
#include "TestTiles.h"
#include "TilePolygons.h"
#include "TileReading.h"

#include <QtTest>

#include <cmath>

using TestTiles::addTriangle;

// Reading tiles for the painter, without any widget.
class MapPainterTest : public QObject
{
    Q_OBJECT

private slots:
    // Only whole triangles with finite coordinates are read, colour
    // components clamped, no 2 GiB file; the painter's polygons of the raw
    // floats likewise, in hundredths of a degree, coloured by the first vertex.
    void decoding_data()
    {
        QTest::addColumn<int>("floats"); // -1: a sparse 2 GiB file
        QTest::addColumn<int>("kept");    // triangles
        for (const auto &[floats, kept] : {std::pair{0, 0}, {17, 0}, {28, 1}, {54, 2}, {-1, -1}})
            QTest::addRow("%d floats", floats) << floats << kept;
    }

    void decoding()
    {
        QFETCH(int, floats);
        QFETCH(int, kept);
        QVector<float> f;
        addTriangle(f, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, Qt::red);
        f[3] = std::nanf(""), f[4] = 1.5f, f[5] = -INFINITY, f[9] = 0.5f;
        addTriangle(f, 14.0, 49.0, 14.5, INFINITY, 14.0, 49.5, Qt::red);
        addTriangle(f, 15.0, 49.0, 15.5, 49.0, 15.0, 49.5, Qt::blue);
        QTemporaryDir dir;
        const QString path = dir.filePath("decoding.chgt");
        QVERIFY(TestTiles::writeFloats(path, f.mid(0, qMax(floats, 0)), QByteArray(floats > 0 ? 3 : 0, '\x7f')));
        QVERIFY(floats >= 0 || QFile::resize(path, qint64(1) << 31));
        QByteArray bytes;
        FileFailure failure;
        QCOMPARE(ChgtTileReader::readTriangles(path, bytes, &failure), kept >= 0);
        QCOMPARE(bytes.size(), qMax(kept, 0) * 72);
        QCOMPARE(failure.english().contains("too large"), kept < 0);
        QVector<ColoredPolygon> polygons;
        TilePolygons::appendTriangles(f.constData(), qMax(floats, 0), polygons);
        QCOMPARE(polygons.size(), qMax(kept, 0));
        const auto *g = reinterpret_cast<const float *>(bytes.constData());
        if (kept >= 1) {
            QCOMPARE(QVector<float>(g, g + 6), (QVector<float>{14.0f, 49.0f, 0.0f, 0.0f, 1.0f, 0.0f}));
            QCOMPARE(g[9], 0.5f);
            QCOMPARE(polygons[0].color.rgba(), qRgb(0, 255, 0));
            QCOMPARE(polygons[0].polygon, QPolygonF({{1400, 4900}, {1450, 4900}, {1400, 4950}}));
        }
        if (kept >= 2) {
            QCOMPARE(QVector<float>(g + 18, g + 36), f.mid(36, 18));
            QCOMPARE(polygons[1].color, QColor(Qt::blue));
        }
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
