#include "TestRegistry.h"
#include "tst_qtdata.h"

#include "DrawQtWdg.h"
#include "HeightColors.h"
#include "ProgressDlg.h"
#include "ViewExtent.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace QtViewTestData;

Q_DECLARE_METATYPE(ViewExtent)

namespace {

// Band colour of the quadrant tile at a row and column, north-west first.
QRgb quadrantColor(int row, int col)
{
    constexpr int heights[4] = {120, 350, 700, 1500};
    float r, g, b;
    heightColor(float(heights[(row < 600 ? 0 : 2) + (col < 600 ? 0 : 1)]), r, g, b);
    return QColor::fromRgbF(r, g, b).rgb();
}

QImage picture(DrawQtWdg &w)
{
    QImage image(w.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

class TestDrawQtWdg : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString tile; // N49E014 of four flat quadrants

    // Shows the view and waits until the paint passes of showing are over.
    static void showView(DrawQtWdg &w, QSize size)
    {
        QSignalSpy passes(&w, &DrawQtWdg::sProgress);
        w.resize(size);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        qsizetype before = -1;
        for (int waited = 0; waited < 3000 && (passes.isEmpty() || passes.count() != before); waited += 100) {
            before = passes.count();
            QTest::qWait(100);
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        tile = makeChgt(QDir(dir.path()), 49, 14, 5, [](HgtTileGenerator &t) {
            t.fillWith([](int row, int col) { return qint16(row < 600 ? (col < 600 ? 120 : 350) : (col < 600 ? 700 : 1500)); });
        });
        QVERIFY(!tile.isEmpty());
    }

    void init() { DrawQtWdg::resetViewExtent(); }
    void cleanup() { DrawQtWdg::resetViewExtent(); }

    void windowRect()
    {
        QCOMPARE(ViewExtentMath::windowRect(DrawQtWdg::viewExtent()), QRect(1100, 5130, 900, -300));
        // Each value is truncated on its own, the differences in floating point.
        QCOMPARE(ViewExtentMath::windowRect({1421.7f, 1478.5f, 4930.5f, 4969.9f}), QRect(1421, 4969, 56, -39));
    }

    // Whole triangles only; the first vertex gives the colour, bad components are clamped.
    void loading_data()
    {
        QTest::addColumn<QVector<float>>("floats");
        QTest::addColumn<int>("extraBytes"); // after the floats; -1: a sparse 2 GiB file
        QTest::addColumn<int>("triangles");
        QTest::addColumn<QColor>("colour");
        const auto triangle = [](float r, float g, float b) {
            QVector<float> f;
            addTriangle(f, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, r, g, b);
            f[9] = f[15] = 0.9f;
            return f;
        };
        const QVector<float> one = triangle(0.2f, 0.4f, 0.6f);
        QTest::newRow("zero bytes") << QVector<float>() << 0 << 0 << QColor();
        QTest::newRow("shorter than a triangle") << one.mid(0, 17) << 3 << 0 << QColor();
        QTest::newRow("trailing partial triangle") << one + one.mid(0, 10) << 3 << 1 << QColor::fromRgbF(0.2f, 0.4f, 0.6f);
        QTest::newRow("out of range") << triangle(-0.5f, 1.5f, INFINITY) << 0 << 1 << QColor::fromRgbF(0, 1, 1);
        QTest::newRow("NaN") << triangle(std::nanf(""), 0.5f, -INFINITY) << 0 << 1 << QColor::fromRgbF(0, 0.5f, 0);
        QTest::newRow("2 GiB, not read") << QVector<float>() << -1 << 0 << QColor();
    }

    void loading()
    {
        QFETCH(QVector<float>, floats);
        QFETCH(int, extraBytes);
        QFETCH(int, triangles);
        QFETCH(QColor, colour);
        const QString path = dir.filePath(QStringLiteral("loading.chgt"));
        QFile sparse(path);
        if (extraBytes < 0)
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(1) << 31));
        else
            QVERIFY(writeFloats(path, floats, QByteArray(extraBytes, '\x7f')));
        sparse.close();
        DrawQtWdg w;
        QElapsedTimer clock;
        clock.start();
        w.createHeightsBuffer({path});
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(w.storedPolygons().size(), triangles);
        if (triangles > 0) {
            QCOMPARE(w.storedPolygons().first().color.rgba(), colour.rgba());
            QCOMPARE(w.storedPolygons().first().polygon, QPolygonF({QPointF(1400, 4900), QPointF(1450, 4900), QPointF(1400, 4950)}));
        }
    }

    void generatedTileTwice()
    {
        DrawQtWdg w;
        w.createHeightsBuffer({tile});
        w.createHeightsBuffer({tile});
        const QVector<ColoredPolygon> &stored = w.storedPolygons();
        QCOMPARE(stored.size(), 2 * 115200);
        int checked = 0;
        for (int t = 0; t < 115200; t += 7) {
            QCOMPARE(stored[t + 115200].polygon, stored[t].polygon);
            QCOMPARE(stored[t + 115200].color, stored[t].color);
            // Away from the quadrant edges the colour is that quadrant's band.
            const QPointF c = stored[t].polygon.boundingRect().center() / 100.0 - QPointF(14.5, 49.5);
            if (std::abs(c.x()) > 0.02 && std::abs(c.y()) > 0.02) {
                QCOMPARE(stored[t].color.rgb(), quadrantColor(c.y() > 0 ? 0 : 1200, c.x() < 0 ? 0 : 1200));
                ++checked;
            }
        }
        QVERIFY(checked > 15000);
    }

    // Every slot and the window system bring one paint pass, ending with one
    // 100; only the timed repaint writes a line to log.txt.
    void paintPassOnce_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("empty file list") << 0;
        QTest::newRow("border off") << 1;
        QTest::newRow("update from the event loop") << 2;
        QTest::newRow("three files, one missing") << 3;
        QTest::newRow("timed repaint") << 4;
    }

    void paintPassOnce()
    {
        QFETCH(int, action);
        QFile::remove(QStringLiteral("log.txt"));
        DrawQtWdg w;
        QCOMPARE(w.progressDialog()->currentActionText(), QStringLiteral("Qt widget"));
        showView(w, QSize(400, 200));
        QSignalSpy progress(&w, &DrawQtWdg::sProgress);
        switch (action) {
        case 0: w.createHeightsBuffer({}); break;
        case 1: w.viewBorder(false); break;
        case 2:
            w.update();
            QTRY_COMPARE(progress.count(), 1);
            QTest::qWait(50);
            break;
        case 3: w.createHeightsBuffer({tile, dir.filePath("none.chgt"), tile}); break;
        case 4:
            w.repaintQtWdg();
            QCOMPARE(w.progressDialog()->currentActionText(), QStringLiteral("Repaint Qt widget"));
            w.progressDialog()->hide();
            break;
        }
        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.first().first().toInt(), 100);
        QCOMPARE(w.storedPolygons().size(), action == 3 ? 2 * 115200 : 0);
        QFile log(QStringLiteral("log.txt"));
        QStringList lines;
        if (log.open(QIODevice::ReadOnly | QIODevice::Text))
            lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), action == 4 ? 1 : 0);
        if (action == 4)
            QCOMPARE(lines.first().section('\t', 1, 1), QStringLiteral("Repaint Qt widget"));
    }

    // At the initial window (one pixel a hundredth of a degree) the tile lies
    // at 300..400 x 130..230.
    void coloursAndBorder()
    {
        DrawQtWdg w;
        w.resize(900, 300);
        w.createHeightsBuffer({tile});
        const QImage on = picture(w);
        w.viewBorder(false);
        const QImage off = picture(w);
        for (const QPoint &p : {QPoint(325, 155), QPoint(375, 155), QPoint(325, 205), QPoint(375, 205),
                                QPoint(302, 132), QPoint(397, 132), QPoint(302, 227), QPoint(397, 227)})
            QCOMPARE(off.pixel(p), quadrantColor(p.y() < 180 ? 0 : 1200, p.x() < 350 ? 0 : 1200));
        QCOMPARE(off.pixel(298, 180), qRgb(255, 255, 255));
        // The border blackens its line (every point of it) and nothing else.
        int changed = 0;
        for (const QPointF &p : w.borderPoints())
            changed += blackNear(on, QPoint(int(p.x() - 1100.0), int(5130.0 - p.y())), 1)
                && !blackNear(off, QPoint(int(p.x() - 1100.0), int(5130.0 - p.y())), 1);
        QVERIFY(changed > 2800);
        for (int y = 0; y < on.height(); ++y)
            for (int x = 0; x < on.width(); ++x)
                if (on.pixel(x, y) != off.pixel(x, y))
                    QCOMPARE(on.pixel(x, y) & 0xffffff, 0u);
    }
};

RZ_REGISTER_TEST(TestDrawQtWdg);
#include "tst_drawqtwdg.moc"
