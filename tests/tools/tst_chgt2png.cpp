#include "BorderCredit.h"
#include "GeoTiffRead.h"
#include "HeightLegend.h"
#include "TestRegistry.h"
#include "TestTiles.h"

#include <QtTest>

static bool runChgt2png(const QString &tile, const QString &out, const QStringList &options)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/chgt2png", options + QStringList{"-o", out, tile});
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

// options, size, window (west, east, south, north), border drawn, legend drawn
using Picture = std::tuple<QStringList, QSize, QList<double>, bool, bool>;
Q_DECLARE_METATYPE(Picture)

class Chgt2PngTest : public QObject
{
    Q_OBJECT

private slots:
    void pictures_data()
    {
        QTest::addColumn<Picture>("picture");
        const QList<double> startUp{11, 20, 48.3, 51.3};
        QTest::newRow("default size, legend") << Picture{{"--legend"}, {1800, 600}, startUp, true, true};
        QTest::newRow("small, no border, legend")
            << Picture{{"--size", "600x200", "--legend", "--no-border"}, {600, 200}, startUp, false, true};
        QTest::newRow("zoomed, legend") << Picture{{"--size", "900x700", "--window", "14,15.5,49.6,50.6", "--legend"},
                                                   {900, 700}, {14, 15.5, 49.6, 50.6}, true, true};
        QTest::newRow("without --legend") << Picture{{"--size", "900x700"}, {900, 700}, startUp, true, false};
        // Hundredths as the painter truncates them: left 1350, width
        // trunc(262.5), top trunc(5087.5), height trunc(-212.5).
        QTest::newRow("window, no border")
            << Picture{{"--size", "500x300", "--window", "13.5,16.125,48.75,50.875", "--no-border"}, {500, 300},
                       {13.5, 16.12, 48.75, 50.87}, false, false};
        QTest::newRow("too small for a legend")
            << Picture{{"--size", "300x150", "--legend"}, {300, 150}, startUp, true, false};
    }

    // The border's credit exactly when it is drawn; the legend's swatches
    // in the lower left corner, highest band at the top. -o NAME.tif: the
    // same pixels in a GeoTIFF placed on the painter's window, edge to edge.
    void pictures()
    {
        QFETCH(Picture, picture);
        const auto &[options, size, window, border, legend] = picture;
        QTemporaryDir dir;
        const QString tile = dir.filePath("N49E014.chgt"), out = dir.filePath("out.png");
        QVector<float> triangle; // near Prague
        TestTiles::addTriangle(triangle, 14.0, 49.8, 15.0, 49.8, 14.5, 50.4, Qt::red);
        QVERIFY(TestTiles::writeFloats(tile, triangle));
        QVERIFY(runChgt2png(tile, out, options));
        const QImage png = QImage(out).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(png.size(), size);
        QCOMPARE(png.text("Copyright"),
                 border ? QString::fromUtf8("Border: © OpenStreetMap contributors, ODbL 1.0") : QString());
        QCOMPARE(png.text(BorderCredit::pngTextKey()), border ? BorderCredit::text() : QString());
        // Pixels of the triangle's red, and of neither the red nor the white.
        const auto *pixels = reinterpret_cast<const QRgb *>(png.constBits());
        const auto *end = pixels + png.width() * png.height();
        const qsizetype red = std::count(pixels, end, 0xffff0000u), white = std::count(pixels, end, 0xffffffffu);
        QVERIFY(red > 50);
        if (!legend)
            QCOMPARE(red + white < end - pixels, border);

        const QVector<HeightLegend::Entry> entries = HeightLegend::entries();
        const QVector<QRect> swatches = HeightLegend::swatchRects(size);
        if (swatches.isEmpty()) { // nothing drawn: the picture is the map alone
            QVERIFY(!legend);
            QStringList plain = options;
            plain.removeAll("--legend");
            QVERIFY(runChgt2png(tile, dir.filePath("plain.png"), plain));
            QCOMPARE(png, QImage(dir.filePath("plain.png")).convertToFormat(QImage::Format_RGB32));
        } else {
            QCOMPARE(swatches.size(), entries.size());
        }
        for (int i = 0; i < swatches.size(); ++i) {
            QVERIFY(png.rect().contains(swatches[i]));
            if (i > 0)
                QVERIFY(swatches[i].top() > swatches[i - 1].bottom()); // one below the other
            QCOMPARE(png.pixelColor(swatches[i].center()), legend ? entries[i].color : QColor(Qt::white));
        }

        if (legend) // the GeoTIFF carries the same pixels: the rows without a legend suffice
            return;
        QVERIFY(runChgt2png(tile, dir.filePath("out.tif"), options));
        const GeoTiffRead tiff = GeoTiffRead::of(dir.filePath("out.tif"));
        QCOMPARE(tiff.image, png);
        QCOMPARE(tiff.authority, QString("EPSG:4326"));
        QCOMPARE(tiff.compression, QString("DEFLATE"));
        QCOMPARE(tiff.copyright, border ? BorderCredit::text() : QString());
        QCOMPARE(tiff.transform, (std::array<double, 6>{window[0], (window[1] - window[0]) / size.width(), 0, window[3], 0,
                                                        -(window[3] - window[2]) / size.height()}));
    }
};

RZ_REGISTER_TEST(Chgt2PngTest);

#include "tst_chgt2png.moc"
