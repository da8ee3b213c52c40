#include "BorderOutline.h"
#include "DrawQtWdg.h"
#include "TestRegistry.h"

#include <QtEndian>
#include <QtTest>

#include <cmath>

// The compiled-in outline, as the painter view receives it.
class TestBorderOutline : public QObject
{
    Q_OBJECT

private slots:
    void outline()
    {
        const QByteArray bytes = BorderOutline::readResource();
        QCOMPARE(bytes.size(), 68040);
        DrawQtWdg view;
        const QVector<QPointF> points = view.borderPoints();
        QCOMPARE(points.size(), 2835);
        QCOMPARE(points, BorderOutline::mapPoints(bytes));

        // A closed ring that starts and ends at 17.635 E 50.273 N.
        QCOMPARE(bytes.right(24), bytes.left(24));
        const auto oneDecimal = [](double v) { return std::round(v * 10.0) / 10.0; };
        for (const QPointF &p : {points.first(), points.last()}) {
            QCOMPARE(oneDecimal(p.x()), 1763.5);
            QCOMPARE(oneDecimal(p.y()), 5027.3);
        }

        // z and colour are 0 in every record.
        for (int i = 0; i < points.size(); ++i)
            for (int field = 2; field < 6; ++field)
                QCOMPARE(qFromLittleEndian<float>(bytes.constData() + 24 * i + 4 * field), 0.0f);

        // Distinct points less than 0.07 degree apart, clockwise with north up
        // (negative shoelace sum) around roughly 10 square degrees.
        double twiceArea = 0.0;
        for (int i = 0; i + 1 < points.size(); ++i) {
            const QPointF d = points[i + 1] - points[i];
            const double step = std::hypot(d.x(), d.y());
            QVERIFY2(step > 0.0 && step < 7.0, qPrintable(QStringLiteral("step %1: %2").arg(i).arg(step)));
            twiceArea += points[i].x() * points[i + 1].y() - points[i + 1].x() * points[i].y();
        }
        const double squareDegrees = -twiceArea / 2.0 / 10000.0;
        QVERIFY2(squareDegrees > 9.0 && squareDegrees < 11.0, qPrintable(QString::number(squareDegrees)));
    }
};

RZ_REGISTER_TEST(TestBorderOutline);

#include "tst_border.moc"
