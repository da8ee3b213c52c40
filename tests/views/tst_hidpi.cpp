#include "TestRegistry.h"

#include "ChgtTileReader.h"
#include "TilePolygons.h"
#include "ConvertHgt.h"
#include "DrawQtWdg.h"
#include "HgtTileGenerator.h"
#include "MapPainter.h"
#include "PointBlocks.h"
#include "ViewExtent.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(ViewExtent)

namespace {

// A picture of size logical pixels at ratio, white where nothing is drawn.
QImage blank(QSize size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    return image;
}

// Loose triangles from slivers to larger than a tile over the country.
QVector<float> looseTriangles()
{
    QRandomGenerator random(19);
    QVector<float> f;
    const auto vertex = [&f](double x, double y, const QColor &c) {
        f << float(x) << float(y) << 0.0f << float(c.redF()) << float(c.greenF()) << float(c.blueF());
    };
    for (int i = 0; i < 4000; ++i) {
        const double x = 12 + 7 * random.generateDouble(), y = 48.5 + 2.5 * random.generateDouble();
        const double s = std::pow(10.0, 0.3 - 4.0 * random.generateDouble()), u = random.generateDouble();
        const QColor c = QColor::fromRgb(random.generate() | 0xff000000);
        vertex(x, y, c);
        vertex(x + s * u, y - s / 2, c);
        vertex(x - s / 3, y + s * (1 - u), c);
    }
    return f;
}

} // namespace

// On a high-DPI device the painter view keeps its band painting and direct
// fill, and its picture stays the plain QPainter paint at that ratio.
class HiDpiPaintTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        HgtTileGenerator gen;
        for (int lon : {14, 15}) {
            gen.fillRelief(49, lon, 3);
            const QString hgt = dir.filePath(QStringLiteral("N49E0%1.hgt").arg(lon));
            QVERIFY(gen.save(hgt));
            QCOMPARE(ConvertHgt::convertFile(hgt, QDir(dir.path()), 5), ConvertHgt::Outcome::Converted);
            tiles << dir.filePath(QStringLiteral("N49E0%1.chgt").arg(lon));
        }
        const QVector<float> loose = looseTriangles();
        QFile file(dir.filePath("loose.chgt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(reinterpret_cast<const char *>(loose.constData()), loose.size() * 4),
                 qint64(loose.size()) * 4);
        tiles << file.fileName();
    }

    void samePicture_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<ViewExtent>("extent");
        QTest::addColumn<bool>("border");
        QTest::addColumn<int>("bands"); // 0: as the view picks them
        QTest::addColumn<QPoint>("offset"); // where the view lies in the picture, as a page does
        QTest::newRow("ratio 1, whole country") << 1.0 << QSize(700, 300) << DrawQtWdg::initialExtent << true << 0
                                                << QPoint();
        QTest::newRow("ratio 2, whole country") << 2.0 << QSize(700, 300) << DrawQtWdg::initialExtent << true << 0
                                                << QPoint();
        QTest::newRow("ratio 2, odd size, zoomed, no border")
            << 2.0 << QSize(517, 233) << ViewExtent{1425, 1575, 4925, 4975} << false << 5 << QPoint();
        QTest::newRow("ratio 2, 9 rows") << 2.0 << QSize(400, 9) << DrawQtWdg::initialExtent << true << 2 << QPoint();
        QTest::newRow("ratio 2, at an offset") << 2.0 << QSize(480, 270) << DrawQtWdg::initialExtent << true << 3
                                               << QPoint(37, 23);
        QTest::newRow("ratio 3, west edge") << 3.0 << QSize(301, 201) << ViewExtent{1380, 1480, 4880, 4990} << true
                                            << 4 << QPoint();
    }

    // The view rendered into a picture of the ratio, in bands, against the
    // plain paint of every triangle into the same kind of picture.
    void samePicture()
    {
        QFETCH(qreal, ratio);
        QFETCH(QSize, size);
        QFETCH(ViewExtent, extent);
        QFETCH(bool, border);
        QFETCH(int, bands);
        QFETCH(QPoint, offset);
        DrawQtWdg view;
        view.resize(size);
        view.viewBorder(border);
        view.mapPainter().setMode(MapPainter::Mode::Bands);
        view.mapPainter().setBandCount(bands);
        view.createHeightsBuffer(tiles);
        DrawQtWdg::setViewExtent(extent);
        QImage page = blank(size + QSize(offset.x(), offset.y()) * 2, ratio);
        view.render(&page, offset, QRegion(), QWidget::DrawChildren);
        const QImage drawn = page.copy(QRect(offset * ratio, size * ratio));
        DrawQtWdg::resetViewExtent();
        // The fast path was taken, not the plain one.
        QVERIFY(view.mapPainter().lastFilledTriangles() > 0);

        QImage expected = blank(size, ratio);
        {
            QPainter painter(&expected);
            MapPainter::paintPlain(painter, size, ViewExtentMath::windowRect(extent), view.mapContent(),
                                   view.borderPoints(), border);
        }
        QCOMPARE(drawn.size(), size * ratio);
        QCOMPARE(drawn.convertToFormat(QImage::Format_RGB32), expected);
        // Nothing beside the view was painted.
        if (!offset.isNull())
            QCOMPARE(page.pixel(offset.x() * ratio - 1, offset.y() * ratio - 1), qRgb(255, 255, 255));
    }

    // The same for a painter on a picture of ratio 2 without a widget, as
    // chgt2png would use one, with triangles far beyond any map.
    void samePictureWithoutWidget()
    {
        QVector<float> f = looseTriangles();
        const float huge[] = {-1.6746942e34f, -3.697314e28f, 0, 0, 0.5f, 0.5f, 48.57f, 48.56f, 0, 0, 0.5f, 0.5f,
                              48.56f, 3.94e33f, 0, 0, 0.5f, 0.5f};
        PointBlocks points;
        QVector<ColoredPolygon> polygons;
        TilePolygons::appendTriangles(f.constData(), f.size(), polygons, points);
        const QSize size(640, 360);
        const QRect window(1100, 5130, 900, -300);
        QImage fast = blank(size, 2.0), plain = blank(size, 2.0);
        MapPainter renderer;
        renderer.setMode(MapPainter::Mode::Bands);
        renderer.setBandCount(4);
        {
            QPainter painter(&fast);
            renderer.paint(painter, size, window, polygons, {}, false);
        }
        QVERIFY(renderer.lastFilledTriangles() > 0);
        {
            QPainter painter(&plain);
            MapPainter::paintPlain(painter, size, window, polygons, {}, false);
        }
        QCOMPARE(fast, plain);

        // A triangle beyond the rasteriser's reach sends everything to QPainter.
        TilePolygons::appendTriangles(huge, 18, polygons, points);
        fast = blank(size, 2.0);
        plain = blank(size, 2.0);
        {
            QPainter painter(&fast);
            renderer.paint(painter, size, window, polygons, {}, false);
        }
        {
            QPainter painter(&plain);
            MapPainter::paintPlain(painter, size, window, polygons, {}, false);
        }
        QCOMPARE(fast, plain);
    }

private:
    QTemporaryDir dir;
    QStringList tiles;
};

RZ_REGISTER_TEST(HiDpiPaintTest);
#include "tst_hidpi.moc"
