#include "TestRegistry.h"

#include "TriangleFill.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

// where the triangles' centres lie, their size, the grid of their vertices
// (1/grid pixel, 0: none), the least share of triangles filled directly
using Spread = std::tuple<QRectF, double, int, double>;
Q_DECLARE_METATYPE(Spread)

// The direct fill against QPainter's own aliased fill, triangle by triangle
// and pixel by pixel, with triangles interleaved as the painter view mixes
// them (refused ones go through QPainter into the same image).
class TriangleFillTest : public QObject
{
    Q_OBJECT

private slots:
    void sameAsQPainter_data()
    {
        QTest::addColumn<Spread>("spread");
        const QRectF inside(4, 4, 152, 92);
        QTest::newRow("about a pixel, the whole country") << Spread{inside, 1.6, 0, 0.95};
        QTest::newRow("half pixels: vertices on centres, flat tops") << Spread{inside, 6.0, 2, 0.9};
        QTest::newRow("1/128 grid, rounding ties") << Spread{inside, 4.0, 128, 0.9};
        QTest::newRow("across the clip's top and bottom, from negative rows")
            << Spread{{4, -40, 152, 180}, 60.0, 128, 0.5};
        QTest::newRow("at and beyond the sides (QPainter's)") << Spread{{-20, 4, 200, 92}, 8.0, 0, 0.5};
    }

    void sameAsQPainter()
    {
        QFETCH(Spread, spread);
        const auto &[centres, size, grid, leastFilled] = spread;
        QVERIFY(TriangleFill::matchesQt());

        const QRect clip(0, 13, 160, 70);
        QImage reference(160, 100, QImage::Format_ARGB32_Premultiplied);
        reference.fill(0);
        QImage mixed = reference;
        TriangleFill fill(mixed, clip.top(), clip.bottom());
        QPainter plainPainter(&reference);
        QPainter mixedPainter(&mixed);
        for (QPainter *p : {&plainPainter, &mixedPainter}) {
            p->setClipRect(clip);
            p->setPen(Qt::NoPen);
        }
        QRandomGenerator random(quint32(qHash(QByteArray(QTest::currentDataTag()))));
        const int count = 3000;
        for (int i = 0; i < count; ++i) {
            // Random vertices around a centre; on a grid of 1/grid pixel when grid > 0.
            const QPointF centre(centres.x() + random.generateDouble() * centres.width(),
                                 centres.y() + random.generateDouble() * centres.height());
            QPointF t[3];
            for (QPointF &p : t) {
                p = centre + QPointF(random.generateDouble() - 0.5, random.generateDouble() - 0.5) * size;
                if (grid > 0)
                    p = QPointF(std::round(p.x() * grid) / grid, std::round(p.y() * grid) / grid);
            }
            // A thin one now and then: two vertices almost together.
            if (i % 10 == 0)
                t[2] = t[1] + QPointF(random.generateDouble() / 32, random.generateDouble() / 32);
            const QColor color = QColor::fromRgb(random.generate() | 0xff000000u);
            plainPainter.setBrush(color);
            plainPainter.drawPolygon(t, 3, Qt::OddEvenFill);
            quint32 pixel = 0;
            QVERIFY(TriangleFill::pixelOf(color, &pixel));
            if (!fill.fill(t, pixel)) {
                mixedPainter.setBrush(color);
                mixedPainter.drawPolygon(t, 3, Qt::OddEvenFill);
            }
            // At once, before later triangles hide a difference.
            for (int y = clip.top(); y <= clip.bottom(); ++y) {
                if (std::memcmp(reference.constScanLine(y), mixed.constScanLine(y), size_t(reference.bytesPerLine())) != 0)
                    QFAIL(qPrintable(QStringLiteral("triangle %1 differs in row %2").arg(i).arg(y)));
            }
        }
        QCOMPARE(fill.filledCount() + fill.refusedCount(), count);
        QVERIFY2(fill.filledCount() >= leastFilled * count, qPrintable(QString::number(fill.filledCount())));
        // Rows outside the clip stay as they were.
        QVERIFY(mixed == reference);
    }

    // What must be left to QPainter, and writes nothing when refused.
    void refusals()
    {
        const QColor red(Qt::red);
        const QImage::Format premultiplied = QImage::Format_ARGB32_Premultiplied;
        const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
        // The third vertex, colour, image format, whether filled directly.
        const std::tuple<QPointF, QColor, QImage::Format, bool> cases[] = {
            {QPointF(30, 40), red, premultiplied, true},
            {QPointF(0.9, 40), red, premultiplied, false}, // less than a pixel from the left
            {QPointF(59.5, 40), red, premultiplied, false}, // and from the right
            {QPointF(30, 9000), red, premultiplied, false}, // far below
            {QPointF(30, -7000), red, premultiplied, true}, // far above, but within reach
            {QPointF(nan, 40), red, premultiplied, false},
            {QPointF(30, inf), red, premultiplied, false},
            {QPointF(30, 40), QColor(255, 0, 0, 128), premultiplied, false}, // translucent
            {QPointF(30, 40), red, QImage::Format_RGB32, false}, // not premultiplied ARGB
        };
        for (const auto &[moved, color, format, filled] : cases) {
            QImage image(60, 50, format);
            image.fill(Qt::white);
            const QImage before = image;
            TriangleFill fill(image, 0, 49);
            const QPointF t[3] = {{10, 10}, {50, 12}, moved};
            quint32 pixel = 0;
            QCOMPARE(TriangleFill::pixelOf(color, &pixel) && fill.fill(t, pixel), filled);
            QImage expected = before;
            if (filled) {
                QPainter painter(&expected);
                painter.setPen(Qt::NoPen);
                painter.setBrush(color);
                painter.drawPolygon(t, 3, Qt::OddEvenFill);
            }
            QCOMPARE(image, expected);
            QCOMPARE(image != before, filled);
        }
    }
};

RZ_REGISTER_TEST(TriangleFillTest);
#include "tst_trianglefill.moc"
