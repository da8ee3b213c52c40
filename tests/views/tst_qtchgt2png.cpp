#include "TestRegistry.h"
#include "tst_qtdata.h"

#include "DrawQtWdg.h"
#include "ViewExtent.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace QtViewTestData;

Q_DECLARE_METATYPE(ViewExtent)

// chgt2png draws exactly what the painter view draws, on white.
class TestChgt2Png : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QStringList tiles;

    struct Run
    {
        int exitCode = -1;
        QString errors;
    };

    static Run run(const QStringList &args)
    {
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/chgt2png"), args);
        Run r;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return r;
        r.exitCode = process.exitCode();
        r.errors = QString::fromLocal8Bit(process.readAllStandardError());
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/chgt2png")),
                 "build the chgt2png target");
        for (int lon : {14, 15}) {
            tiles << makeChgt(QDir(dir.path()), 49, lon, 5,
                              [lon](HgtTileGenerator &t) { t.fillRelief(49, lon, 11); });
            QVERIFY(!tiles.last().isEmpty());
        }
    }

    void cleanup() { DrawQtWdg::resetViewExtent(); }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("named");
        QTest::addColumn<bool>("written");
        const QString out = dir.filePath(QStringLiteral("codes.png"));
        const QString missing = dir.filePath(QStringLiteral("N48E013.chgt"));
        QTest::newRow("no arguments") << QStringList{} << 2 << "usage" << false;
        QTest::newRow("no output") << QStringList{tiles[0]} << 2 << "-o" << false;
        QTest::newRow("no files") << QStringList{"-o", out} << 2 << "usage" << false;
        QTest::newRow("zero width") << QStringList{"--size", "0x10", "-o", out, tiles[0]} << 2 << "--size" << false;
        QTest::newRow("size not WxH") << QStringList{"--size", "big", "-o", out, tiles[0]} << 2 << "--size" << false;
        QTest::newRow("east before west") << QStringList{"--window", "15,14,49,50", "-o", out, tiles[0]} << 2 << "--window" << false;
        QTest::newRow("three numbers") << QStringList{"--window", "14,15,49", "-o", out, tiles[0]} << 2 << "--window" << false;
        QTest::newRow("narrower than a map unit") << QStringList{"--window", "14,14.001,49,50", "-o", out, tiles[0]} << 2 << "--window" << false;
        QTest::newRow("unknown option") << QStringList{"--frobnicate", "-o", out, tiles[0]} << 2 << "frobnicate" << false;
        QTest::newRow("one file missing") << QStringList{"-o", out, tiles[0], missing, tiles[1]} << 1 << missing << true;
        QTest::newRow("one file a directory") << QStringList{"-o", out, dir.path()} << 1 << dir.path() << true;
        QTest::newRow("all readable") << QStringList{"--size", "90x30", "-o", out, tiles[0], tiles[1]} << 0 << "100%" << true;
        QTest::newRow("unwritable output") << QStringList{"-o", dir.filePath("no/such/dir/x.png"), tiles[0]} << 1 << "no/such/dir" << false;
    }

    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, named);
        QFETCH(bool, written);
        const QString out = dir.filePath(QStringLiteral("codes.png"));
        QFile::remove(out);
        const Run r = run(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.errors.contains(named), qPrintable(r.errors));
        QCOMPARE(QFile::exists(out), written);
        if (written)
            QVERIFY(!QImage(out).isNull());
    }

    void sameAsView_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<ViewExtent>("extent");
        QTest::addColumn<bool>("showBorder");
        QTest::newRow("defaults") << QStringList{} << QSize(1800, 600) << DrawQtWdg::initialExtent << true;
        QTest::newRow("one tile, no border")
            << QStringList{"--size", "640x360", "--window", "14,15,49,50", "--no-border"} << QSize(640, 360)
            << ViewExtent{1400.0f, 1500.0f, 4900.0f, 5000.0f} << false;
        QTest::newRow("two tiles, odd size")
            << QStringList{"--size", "333x517", "--window", "13.9,15.3,48.95,50.05"} << QSize(333, 517)
            << ViewExtent{float(13.9 * 100.0), float(15.3 * 100.0), float(48.95 * 100.0), float(50.05 * 100.0)} << true;
    }

    void sameAsView()
    {
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        QFETCH(ViewExtent, extent);
        QFETCH(bool, showBorder);
        const QString out = dir.filePath(QStringLiteral("same.png"));
        const Run r = run(options + QStringList{"-o", out} + tiles);
        QCOMPARE(r.exitCode, 0);
        const QImage picture(out);
        QCOMPARE(picture.size(), size);

        DrawQtWdg view;
        view.resize(size);
        view.viewBorder(showBorder);
        view.createHeightsBuffer(tiles);
        DrawQtWdg::setViewExtent(extent);
        QImage expected(size, QImage::Format_RGB32);
        expected.fill(Qt::white);
        view.render(&expected, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(differingPixels(picture, expected), 0);
        // Something of the map shows, not only white.
        int white = 0;
        for (int y = 0; y < picture.height(); y += 7)
            for (int x = 0; x < picture.width(); x += 7)
                white += (picture.pixel(x, y) & 0xffffff) == 0xffffff;
        QVERIFY(white < (picture.width() / 7 + 1) * (picture.height() / 7 + 1));
    }
};

RZ_REGISTER_TEST(TestChgt2Png);
#include "tst_qtchgt2png.moc"
