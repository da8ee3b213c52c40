#include "BorderOutline.h"
#include "TestRegistry.h"

#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

QByteArray record(float x, float y, float z = 0.0f, float r = 0.0f, float g = 0.0f, float b = 0.0f)
{
    QByteArray bytes(BorderOutline::RecordBytes, Qt::Uninitialized);
    const float values[6] = { x, y, z, r, g, b };
    for (int k = 0; k < 6; ++k)
        qToLittleEndian(values[k], bytes.data() + 4 * k);
    return bytes;
}

float fieldAt(const QByteArray &bytes, int recordIndex, int field)
{
    return qFromLittleEndian<float>(bytes.constData() + recordIndex * BorderOutline::RecordBytes + 4 * field);
}

// Map units are hundredths of a degree; this gives thousandths of a degree.
int thousandths(double mapValue)
{
    return int(std::lround(mapValue * 10.0));
}

double tenthsRounded(double mapValue)
{
    return std::round(mapValue * 10.0) / 10.0;
}

} // namespace

// The compiled-in outline as the views receive it.
class TestBorderOutline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        bytes = BorderOutline::readResource();
        points = BorderOutline::mapPoints(bytes);
        QVERIFY2(!bytes.isEmpty(), "the border resource did not load");
    }

    void wholeRecords()
    {
        QCOMPARE(bytes.size(), 68040);
        QCOMPARE(bytes.size() % BorderOutline::RecordBytes, 0);
        QCOMPARE(points.size(), 2835);
    }

    void closedRingStartingAtTheSameCorner()
    {
        const int last = points.size() - 1;
        QCOMPARE(bytes.right(BorderOutline::RecordBytes), bytes.left(BorderOutline::RecordBytes));
        QCOMPARE(points.at(last), points.at(0));
        for (const QPointF &p : { points.at(0), points.at(last) }) {
            QCOMPARE(tenthsRounded(p.x()), 1763.5);
            QCOMPARE(tenthsRounded(p.y()), 5027.3);
        }
    }

    // With north up the ring runs clockwise: a negative shoelace sum,
    // since y (latitude) grows northwards.
    void runsClockwise()
    {
        double twiceArea = 0.0;
        for (int i = 0; i + 1 < points.size(); ++i)
            twiceArea += points[i].x() * points[i + 1].y() - points[i + 1].x() * points[i].y();
        QVERIFY2(twiceArea < 0.0, qPrintable(QStringLiteral("signed area %1").arg(twiceArea / 2.0)));
        // The country covers roughly 10 square degrees; a tiny or huge value
        // would mean scrambled coordinates rather than an outline.
        const double squareDegrees = -twiceArea / 2.0 / 10000.0;
        QVERIFY2(squareDegrees > 9.0 && squareDegrees < 11.0, qPrintable(QString::number(squareDegrees)));
    }

    void blackFlatRecords()
    {
        int offending = -1;
        for (int i = 0; i < points.size() && offending < 0; ++i) {
            for (int field = 2; field < 6; ++field) {
                if (fieldAt(bytes, i, field) != 0.0f)
                    offending = i;
            }
        }
        QCOMPARE(offending, -1);
    }

    // Consecutive points differ and lie less than 0.07 degree apart, so the
    // line strip has no zero-length pieces and no long chords.
    void shortDistinctSteps()
    {
        for (int i = 0; i + 1 < points.size(); ++i) {
            const QPointF d = points[i + 1] - points[i];
            const double step = std::hypot(d.x(), d.y());
            if (!(step > 0.0 && step < 7.0))
                QFAIL(qPrintable(QStringLiteral("step %1 to %2 is %3").arg(i).arg(i + 1).arg(step)));
        }
    }

    void extremes_data()
    {
        QTest::addColumn<int>("axis");       // 0 longitude, 1 latitude
        QTest::addColumn<bool>("largest");
        QTest::addColumn<QPointF>("expected"); // degrees
        QTest::addColumn<double>("bound");     // degrees, three decimals

        QTest::newRow("westernmost") << 0 << false << QPointF(12.093, 50.253) << 12.093;
        QTest::newRow("easternmost") << 0 << true << QPointF(18.862, 49.551) << 18.862;
        QTest::newRow("southernmost") << 1 << false << QPointF(14.334, 48.552) << 48.552;
        QTest::newRow("northernmost") << 1 << true << QPointF(14.317, 51.056) << 51.056;
    }

    void extremes()
    {
        QFETCH(int, axis);
        QFETCH(bool, largest);
        QFETCH(QPointF, expected);
        QFETCH(double, bound);

        const auto coord = [axis](const QPointF &p) { return axis == 0 ? p.x() : p.y(); };
        const auto it = std::min_element(points.cbegin(), points.cend(), [&](const QPointF &a, const QPointF &b) {
            return largest ? coord(a) > coord(b) : coord(a) < coord(b);
        });
        QVERIFY(it != points.cend());

        const QPointF degrees = *it / 100.0;
        const double off = std::hypot(degrees.x() - expected.x(), degrees.y() - expected.y());
        QVERIFY2(off <= 0.005, qPrintable(QStringLiteral("(%1, %2) is %3 degree away")
                                               .arg(degrees.x(), 0, 'f', 5).arg(degrees.y(), 0, 'f', 5).arg(off)));

        // Every point stays inside the bounds at three decimals.
        const int extreme = thousandths(coord(*it));
        const int limit = int(std::lround(bound * 1000.0));
        if (largest)
            QVERIFY2(extreme <= limit, qPrintable(QString::number(extreme)));
        else
            QVERIFY2(extreme >= limit, qPrintable(QString::number(extreme)));
    }

private:
    QByteArray bytes;
    QVector<QPointF> points;
};

// Decoding arbitrary record buffers.
class TestBorderMapPoints : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVector<QPointF>>("expected");

        const QByteArray a = record(17.5f, 50.25f);
        const QByteArray b = record(-1.0f, 0.125f, 3.0f, 1.0f, 0.5f, 0.25f);

        QTest::newRow("empty") << QByteArray() << QVector<QPointF>();
        QTest::newRow("partial record only") << a.left(BorderOutline::RecordBytes - 1) << QVector<QPointF>();
        QTest::newRow("one record") << a << QVector<QPointF>{ { 1750.0, 5025.0 } };
        QTest::newRow("z and colour ignored") << b << QVector<QPointF>{ { -100.0, 12.5 } };
        QTest::newRow("trailing partial record ignored")
            << a + b + a.left(8) << QVector<QPointF>{ { 1750.0, 5025.0 }, { -100.0, 12.5 } };
        // 1.0f and 2.0f as little-endian bytes, whatever the host order.
        QTest::newRow("little-endian bytes")
            << QByteArray::fromHex("0000803f" "00000040" "00000000" "00000000" "00000000" "00000000")
            << QVector<QPointF>{ { 100.0, 200.0 } };
    }

    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QVector<QPointF>, expected);
        QCOMPARE(BorderOutline::mapPoints(bytes), expected);
    }

    // Points keep the float's exact value: hundredths computed in double,
    // not rounded through float again.
    void doublePrecisionScaling()
    {
        const float x = 17.63503f;
        const QVector<QPointF> points = BorderOutline::mapPoints(record(x, 0.0f));
        QCOMPARE(points.size(), 1);
        QCOMPARE(points.first().x(), 100.0 * double(x));
    }
};

RZ_REGISTER_TEST(TestBorderOutline);
RZ_REGISTER_TEST(TestBorderMapPoints);

#include "tst_border.moc"
