#include "TestRegistry.h"
#include "tst_qtdata.h"

#include "DrawQtWdg.h"
#include "MapPainter.h"
#include "ViewExtent.h"

#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace QtViewTestData;

Q_DECLARE_METATYPE(ViewExtent)

// chgt2png and the painter view draw exactly the plain serial paint, on white.
class TestChgt2Png : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QStringList tiles;

    static int run(const QStringList &args, QString *errors)
    {
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/chgt2png"), args);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        *errors = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitCode();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        for (int lon : {14, 15}) {
            tiles << makeChgt(QDir(dir.path()), 49, lon, 5, [lon](HgtTileGenerator &t) { t.fillRelief(49, lon, 11); });
            QVERIFY(!tiles.last().isEmpty());
        }
    }

    void cleanup() { DrawQtWdg::resetViewExtent(); }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("named"); // in the error output
        const QString out = dir.filePath(QStringLiteral("codes.png"));
        const QString missing = dir.filePath(QStringLiteral("N48E013.chgt"));
        QTest::newRow("no arguments") << QStringList{} << 2 << "usage";
        QTest::newRow("no output") << QStringList{tiles[0]} << 2 << "-o";
        QTest::newRow("bad size") << QStringList{"--size", "0x10", "-o", out, tiles[0]} << 2 << "--size";
        QTest::newRow("east before west") << QStringList{"--window", "15,14,49,50", "-o", out, tiles[0]} << 2 << "--window";
        QTest::newRow("unknown option") << QStringList{"--frobnicate", "-o", out, tiles[0]} << 2 << "frobnicate";
        QTest::newRow("one file missing") << QStringList{"-o", out, tiles[0], missing, tiles[1]} << 1 << missing;
        QTest::newRow("unwritable output") << QStringList{"-o", dir.filePath("no/dir/x.png"), tiles[0]} << 1 << "no/dir";
        QTest::newRow("all readable") << QStringList{"--size", "90x30", "-o", out, tiles[0], tiles[1]} << 0 << "100%";
    }

    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, named);
        const QString out = dir.filePath(QStringLiteral("codes.png"));
        QFile::remove(out);
        QString errors;
        QCOMPARE(run(args, &errors), exitCode);
        QVERIFY2(errors.contains(named), qPrintable(errors));
        // A picture is written whenever the usage is right and the output writable.
        QCOMPARE(!QImage(out).isNull(), exitCode != 2 && !named.contains("no/dir"));
    }

    void sameAsView_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<ViewExtent>("extent");
        QTest::addColumn<bool>("showBorder");
        QTest::newRow("defaults") << QStringList{} << QSize(1800, 600) << DrawQtWdg::initialExtent << true;
        QTest::newRow("one tile, no border")
            << QStringList{"--size", "333x517", "--window", "14,15,49,50", "--no-border"} << QSize(333, 517)
            << ViewExtent{1400.0f, 1500.0f, 4900.0f, 5000.0f} << false;
    }

    void sameAsView()
    {
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        QFETCH(ViewExtent, extent);
        QFETCH(bool, showBorder);
        const QString out = dir.filePath(QStringLiteral("same.png"));
        QString errors;
        QCOMPARE(run(options + QStringList{"-o", out} + tiles, &errors), 0);
        const QImage picture(out);
        QCOMPARE(picture.size(), size);

        // The view painted at an offset, as a page of the main window, after
        // growing its list, and the plain serial paint of what it stores.
        DrawQtWdg view;
        view.resize(size);
        view.viewBorder(showBorder);
        view.mapPainter().setMode(MapPainter::Mode::Bands);
        DrawQtWdg::setViewExtent(extent);
        QImage page(size + QSize(60, 40), QImage::Format_RGB32);
        page.fill(Qt::white);
        view.createHeightsBuffer({tiles[0]});
        view.render(&page, QPoint(37, 23), QRegion(), QWidget::DrawChildren);
        view.createHeightsBuffer({tiles[1]});
        page.fill(Qt::white);
        view.render(&page, QPoint(37, 23), QRegion(), QWidget::DrawChildren);
        QImage plain(size, QImage::Format_RGB32);
        plain.fill(Qt::white);
        QImage white = plain;
        QPainter painter(&plain);
        MapPainter::paintPlain(painter, size, ViewExtentMath::windowRect(extent), view.storedPolygons(), view.borderPoints(), showBorder);
        painter.end();
        QVERIFY(differingPixels(plain, white) > size.width() * size.height() / 20); // the tiles show
        QCOMPARE(differingPixels(page.copy(QRect(QPoint(37, 23), size)), plain), 0);
        QCOMPARE(differingPixels(picture, plain), 0);
    }
};

RZ_REGISTER_TEST(TestChgt2Png);
#include "tst_qtchgt2png.moc"
