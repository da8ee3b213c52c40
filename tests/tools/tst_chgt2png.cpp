#include "BorderCredit.h"
#include "TestRegistry.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

// One red triangle near Prague, in the CHGT layout: x, y, z, r, g, b as
// little-endian floats per vertex.
QByteArray redTriangle()
{
    const float vertices[3][6] = {{14.0f, 49.8f, 0, 1, 0, 0}, {15.0f, 49.8f, 0, 1, 0, 0}, {14.5f, 50.4f, 0, 1, 0, 0}};
    QByteArray bytes;
    for (const auto &vertex : vertices)
        for (float value : vertex) {
            char le[4];
            qToLittleEndian(value, le);
            bytes.append(le, 4);
        }
    return bytes;
}

} // namespace

class Chgt2PngTest : public QObject
{
    Q_OBJECT

private slots:
    // The credit the border's licence asks for is in the picture exactly when the border is drawn.
    void borderCredit_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("border");
        QTest::newRow("border") << QStringList() << true;
        QTest::newRow("border, zoomed") << QStringList{"--window", "14,16,49.5,51.2"} << true;
        QTest::newRow("no border") << QStringList{"--no-border"} << false;
    }

    void borderCredit()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, border);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString tile = dir.filePath("N49E014.chgt"), out = dir.filePath("out.png");
        QFile file(tile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(redTriangle()) == 72);
        file.close();

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationDirPath() + "/chgt2png",
                      options + QStringList{"--size", "600x200", "-o", out, tile});
        QVERIFY(process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);

        QImageReader reader(out);
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.textKeys().contains("Copyright"), border);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.text("Copyright"),
                 border ? QString::fromUtf8("Border: © OpenStreetMap contributors, ODbL 1.0") : QString());
        QCOMPARE(image.text(BorderCredit::pngTextKey()), border ? BorderCredit::text() : QString());

        // The picture itself: the triangle in both, the border's pixels (neither white nor the
        // triangle's red) only with the credit.
        int red = 0, other = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y) & 0xffffff;
                if (pixel == 0xff0000)
                    ++red;
                else if (pixel != 0xffffff)
                    ++other;
            }
        QVERIFY(red > 50);
        QCOMPARE(other > 0, border);
    }
};

RZ_REGISTER_TEST(Chgt2PngTest);

#include "tst_chgt2png.moc"
