#include "TestRegistry.h"
#include "tst_qtdata.h"

#include "BorderOutline.h"
#include "ChgtReader.h"
#include "DrawQtWdg.h"
#include "MapPainter.h"
#include "ViewExtent.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace QtViewTestData;

Q_DECLARE_METATYPE(ViewExtent)
Q_DECLARE_METATYPE(MapPainter::Mode)

// The fast drawing (culling, bands on threads) gives the very pixels of the
// plain serial paint of every triangle.
class TestMapPainter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QVector<ColoredPolygon> polygons;
    QVector<QPointF> border;

    static QImage render(const QVector<ColoredPolygon> &list, const QVector<QPointF> &outline,
                         const ViewExtent &extent, QSize size, qreal dpr, MapPainter *fast)
    {
        QImage image(size * dpr, QImage::Format_RGB32);
        image.setDevicePixelRatio(dpr);
        image.fill(QColor(128, 128, 128));
        QPainter painter(&image);
        const QRect window = ViewExtentMath::windowRect(extent);
        if (fast)
            fast->paint(painter, size, window, list, outline, !outline.isEmpty());
        else
            MapPainter::paintPlain(painter, size, window, list, outline, !outline.isEmpty());
        return image;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // Loose triangles of every size, from slivers to far larger than the
        // window, under and over two generated tiles.
        QRandomGenerator random(42);
        const auto addLoose = [&](int count, double maxExponent) {
            QVector<float> f;
            for (int i = 0; i < count; ++i) {
                const double cx = 13.0 + 4.0 * random.generateDouble(), cy = 48.0 + 4.0 * random.generateDouble();
                const double s = std::pow(10.0, -4.0 + (4.0 + maxExponent) * random.generateDouble());
                addTriangle(f, cx, cy, cx + s * (random.generateDouble() - 0.5), cy + s * (random.generateDouble() - 0.2),
                            cx + s * (random.generateDouble() - 0.7), cy - s * random.generateDouble(),
                            float(random.generateDouble()), float(random.generateDouble()), float(random.generateDouble()));
            }
            ChgtReader::appendTriangles(f.constData(), f.size(), polygons);
        };
        addLoose(500, 0.5);
        for (int lon : {14, 15}) {
            const QString path = makeChgt(QDir(dir.path()), 49, lon, 5, [lon](HgtTileGenerator &t) { t.fillRandom(quint32(lon)); });
            QVERIFY(ChgtReader::appendFile(path, polygons));
        }
        addLoose(3000, -1.5);
        border = BorderOutline::mapPoints(BorderOutline::readResource());
    }

    void sameAsPlainPaint_data()
    {
        QTest::addColumn<ViewExtent>("extent");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<MapPainter::Mode>("mode");
        QTest::addColumn<int>("bands");
        QTest::addColumn<bool>("withBorder");
        QTest::addColumn<bool>("noTriangles");
        QTest::addColumn<qreal>("dpr");

        const ViewExtent initial = DrawQtWdg::initialExtent;
        const ViewExtent zoomed{1437.3f, 1527.3f, 4931.7f, 4961.7f};
        const ViewExtent edge{1300.0f, 1500.0f, 4850.0f, 4900.0f};
        using M = MapPainter::Mode;
        QTest::newRow("initial, bands") << initial << QSize(1800, 600) << M::Bands << 0 << true << false << 1.0;
        QTest::newRow("initial, automatic") << initial << QSize(1800, 600) << M::Automatic << 0 << false << false << 1.0;
        QTest::newRow("zoomed, 3 bands, odd size") << zoomed << QSize(1037, 611) << M::Bands << 3 << true << false << 1.0;
        QTest::newRow("one cell, 5 bands") << ViewExtent{1450.2f, 1451.9f, 4950.1f, 4951.3f} << QSize(613, 401) << M::Bands << 5 << true << false << 1.0;
        QTest::newRow("map edge, 17 rows") << edge << QSize(500, 17) << M::Bands << 4 << true << false << 1.0;
        QTest::newRow("device pixel ratio 2") << edge << QSize(400, 300) << M::Bands << 0 << true << false << 2.0;
        QTest::newRow("border only") << initial << QSize(900, 300) << M::Bands << 0 << true << true << 1.0;
    }

    void sameAsPlainPaint()
    {
        QFETCH(ViewExtent, extent);
        QFETCH(QSize, size);
        QFETCH(MapPainter::Mode, mode);
        QFETCH(int, bands);
        QFETCH(bool, withBorder);
        QFETCH(bool, noTriangles);
        QFETCH(qreal, dpr);

        const QVector<ColoredPolygon> list = noTriangles ? QVector<ColoredPolygon>() : polygons;
        const QVector<QPointF> outline = withBorder ? border : QVector<QPointF>();
        MapPainter fast;
        fast.setMode(mode);
        fast.setBandCount(bands);
        const QImage expected = render(list, outline, extent, size, dpr, nullptr);
        QImage grey = expected;
        grey.fill(QColor(128, 128, 128));
        QVERIFY(differingPixels(expected, grey) > 0);
        QCOMPARE(differingPixels(render(list, outline, extent, size, dpr, &fast), expected), 0);
        // A second pass reuses the band images and the index.
        QCOMPARE(differingPixels(render(list, outline, extent, size, dpr, &fast), expected), 0);
        if (extent != DrawQtWdg::initialExtent)
            QVERIFY(fast.lastPaintedTriangles() < polygons.size() / 2); // culling works
    }

    // The index follows a list that grows between passes, as the view's does.
    void growingList()
    {
        QVector<ColoredPolygon> list;
        list.reserve(polygons.size());
        MapPainter fast;
        fast.setMode(MapPainter::Mode::Bands);
        const ViewExtent extent{1380.0f, 1620.0f, 4880.0f, 5020.0f};
        for (int part = 0; part < 3; ++part) {
            list.append(polygons.mid(list.size(), polygons.size() / 3 + 17));
            const QImage expected = render(list, {}, extent, QSize(640, 480), 1.0, nullptr);
            QCOMPARE(differingPixels(render(list, {}, extent, QSize(640, 480), 1.0, &fast), expected), 0);
        }
    }
};

RZ_REGISTER_TEST(TestMapPainter);
#include "tst_mappainter.moc"
