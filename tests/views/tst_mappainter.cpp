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

// The fast drawing (culling, brush reuse, bands on threads) must give the
// very pixels of the plain serial paint of every triangle.
class TestMapPainter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QVector<ColoredPolygon> polygons;
    QVector<QPointF> border;

    static QImage render(const QVector<ColoredPolygon> &list, const QVector<QPointF> &outline,
                         bool showBorder, const ViewExtent &extent, QSize size,
                         QImage::Format format, MapPainter *fast)
    {
        QImage image(size, format);
        image.fill(QColor(128, 128, 128));
        QPainter painter(&image);
        const QRect window = ViewExtentMath::windowRect(extent);
        if (fast)
            fast->paint(painter, size, window, list, outline, showBorder);
        else
            MapPainter::paintPlain(painter, size, window, list, outline, showBorder);
        return image;
    }

    static int paintedPixels(const QImage &image)
    {
        int count = 0;
        const QRgb background = QColor(128, 128, 128).rgb();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += (image.pixel(x, y) & 0xffffff) != (background & 0xffffff);
        return count;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // Loose triangles of every size around the tiles: slivers, ones far
        // larger than the window, ones crossing band and window edges. The
        // large ones lie under the tiles so they cannot hide a wrong cell.
        QRandomGenerator random(42);
        const auto addLoose = [&random](int count, double maxSizeExponent) {
            QVector<float> f;
            for (int i = 0; i < count; ++i) {
                const double cx = 13.0 + 4.0 * random.generateDouble();
                const double cy = 48.0 + 4.0 * random.generateDouble();
                const double s = std::pow(10.0, -4.0 + (4.0 + maxSizeExponent) * random.generateDouble());
                addTriangle(f, cx, cy, cx + s * (random.generateDouble() - 0.5),
                            cy + s * (random.generateDouble() - 0.2),
                            cx + s * (random.generateDouble() - 0.7), cy - s * random.generateDouble(),
                            float(random.generateDouble()), float(random.generateDouble()),
                            float(random.generateDouble()));
            }
            return f;
        };
        const QVector<float> under = addLoose(500, 0.5);
        ChgtReader::appendTriangles(under.constData(), under.size(), polygons);

        const QDir d(dir.path());
        for (int lon : {14, 15}) {
            const QString path = makeChgt(d, 49, lon, 5, [lon](HgtTileGenerator &t) { t.fillRandom(quint32(lon)); });
            QVERIFY(!path.isEmpty());
            QVERIFY(ChgtReader::appendFile(path, polygons));
        }
        QCOMPARE(polygons.size(), 500 + 2 * 115200);

        const QVector<float> over = addLoose(3000, -1.5);
        ChgtReader::appendTriangles(over.constData(), over.size(), polygons);
        border = BorderOutline::mapPoints(BorderOutline::readResource());
        QCOMPARE(border.size(), 2835);
    }

    void sameAsPlainPaint_data()
    {
        QTest::addColumn<ViewExtent>("extent");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<MapPainter::Mode>("mode");
        QTest::addColumn<int>("bands");
        QTest::addColumn<bool>("showBorder");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("culls");

        const ViewExtent initial = DrawQtWdg::initialExtent;
        const ViewExtent zoomed{1437.3f, 1527.3f, 4931.7f, 4961.7f};
        const ViewExtent oneCell{1450.2f, 1451.9f, 4950.1f, 4951.3f};
        const ViewExtent edge{1300.0f, 1500.0f, 4850.0f, 4900.0f};
        const int rgb32 = QImage::Format_RGB32;
        const int argb = QImage::Format_ARGB32_Premultiplied;
        QTest::newRow("initial, bands") << initial << QSize(1800, 600) << MapPainter::Mode::Bands << 0 << true << rgb32 << false;
        QTest::newRow("initial, serial") << initial << QSize(1800, 600) << MapPainter::Mode::Serial << 0 << true << rgb32 << false;
        QTest::newRow("initial, automatic, argb") << initial << QSize(1800, 600) << MapPainter::Mode::Automatic << 0 << false << argb << false;
        QTest::newRow("zoomed and panned, 3 bands, odd size") << zoomed << QSize(1037, 611) << MapPainter::Mode::Bands << 3 << true << rgb32 << true;
        QTest::newRow("zoomed and panned, serial") << zoomed << QSize(1037, 611) << MapPainter::Mode::Serial << 0 << false << argb << true;
        QTest::newRow("one cell, 5 bands") << oneCell << QSize(613, 401) << MapPainter::Mode::Bands << 5 << true << rgb32 << true;
        QTest::newRow("map edge, 4 bands") << edge << QSize(777, 333) << MapPainter::Mode::Bands << 4 << true << argb << true;
        QTest::newRow("17 rows, bands") << edge << QSize(500, 17) << MapPainter::Mode::Bands << 4 << true << rgb32 << true;
        QTest::newRow("7x5, automatic") << initial << QSize(7, 5) << MapPainter::Mode::Automatic << 0 << true << rgb32 << false;
        QTest::newRow("zoomed, 7 bands") << zoomed << QSize(301, 199) << MapPainter::Mode::Bands << 7 << false << rgb32 << true;
    }

    void sameAsPlainPaint()
    {
        QFETCH(ViewExtent, extent);
        QFETCH(QSize, size);
        QFETCH(MapPainter::Mode, mode);
        QFETCH(int, bands);
        QFETCH(bool, showBorder);
        QFETCH(int, format);
        QFETCH(bool, culls);

        MapPainter fast;
        fast.setMode(mode);
        fast.setBandCount(bands);
        const QImage expected = render(polygons, border, showBorder, extent, size, QImage::Format(format), nullptr);
        const QImage actual = render(polygons, border, showBorder, extent, size, QImage::Format(format), &fast);
        QVERIFY(paintedPixels(expected) > 0);
        QCOMPARE(differingPixels(actual, expected), 0);
        if (culls)
            QVERIFY2(fast.lastPaintedTriangles() < polygons.size() / 2,
                     qPrintable(QString::number(fast.lastPaintedTriangles())));

        // A second pass reuses the band images and the index.
        const QImage again = render(polygons, border, showBorder, extent, size, QImage::Format(format), &fast);
        QCOMPARE(differingPixels(again, expected), 0);
    }

    // The index follows a list that grows between passes, as the view's does.
    void growingList()
    {
        QVector<ColoredPolygon> list;
        list.reserve(polygons.size() + 64); // same storage: the index is extended, not rebuilt
        MapPainter fast;
        fast.setMode(MapPainter::Mode::Bands);
        const ViewExtent extent{1380.0f, 1620.0f, 4880.0f, 5020.0f};
        const QSize size(640, 480);
        for (int part = 0; part < 3; ++part) {
            const int from = part * polygons.size() / 3;
            const int to = (part + 1) * polygons.size() / 3 + 17;
            for (int i = from; i < std::min<int>(to, polygons.size()); ++i)
                list.append(polygons[i]);
            const QImage expected = render(list, border, false, extent, size, QImage::Format_RGB32, nullptr);
            const QImage actual = render(list, border, false, extent, size, QImage::Format_RGB32, &fast);
            QCOMPARE(differingPixels(actual, expected), 0);
        }
    }

    // A device with more pixels than logical units gets no band images.
    void highDensityDevice()
    {
        const ViewExtent extent{1380.0f, 1620.0f, 4880.0f, 5020.0f};
        const QSize logical(400, 300);
        QImage expected(logical * 2, QImage::Format_RGB32);
        expected.setDevicePixelRatio(2.0);
        expected.fill(Qt::white);
        QImage actual = expected.copy();
        {
            QPainter painter(&expected);
            MapPainter::paintPlain(painter, logical, ViewExtentMath::windowRect(extent), polygons, border, true);
        }
        MapPainter fast;
        fast.setMode(MapPainter::Mode::Bands);
        {
            QPainter painter(&actual);
            fast.paint(painter, logical, ViewExtentMath::windowRect(extent), polygons, border, true);
        }
        QCOMPARE(differingPixels(actual, expected), 0);
        QVERIFY(fast.lastPaintedTriangles() > 0);
    }

    void emptyListDrawsBorderOnly()
    {
        MapPainter fast;
        const QVector<ColoredPolygon> none;
        const ViewExtent extent = DrawQtWdg::initialExtent;
        const QImage expected = render(none, border, true, extent, QSize(900, 300), QImage::Format_RGB32, nullptr);
        const QImage actual = render(none, border, true, extent, QSize(900, 300), QImage::Format_RGB32, &fast);
        QVERIFY(paintedPixels(expected) > 1000);
        QCOMPARE(differingPixels(actual, expected), 0);
        QCOMPARE(fast.lastPaintedTriangles(), 0);
    }
};

RZ_REGISTER_TEST(TestMapPainter);
#include "tst_mappainter.moc"
