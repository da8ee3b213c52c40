#include "ChgtTileReader.h"
#include "TestRegistry.h"
#include "TestTiles.h"

#include <QtTest>

using namespace TestTiles;

// Reading CHGT records: whole triangles only, bad colour components clamped,
// triangles with a non-finite coordinate dropped, no 2 GiB file read.
class ChgtRecordsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
private slots:
    void decoding_data()
    {
        QTest::addColumn<int>("floats"); // -1: a sparse 2 GiB file
        QTest::addColumn<int>("kept");    // triangles
        for (const auto &[floats, kept] : {std::pair{0, 0}, {17, 0}, {28, 1}, {54, 2}, {-1, -1}})
            QTest::addRow("%d floats", floats) << floats << kept;
    }

    void decoding()
    {
        QFETCH(int, floats);
        QFETCH(int, kept);
        QVector<float> f;
        addTriangle(f, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, Qt::red);
        f[3] = std::nanf(""), f[4] = 1.5f, f[5] = -INFINITY, f[9] = 0.5f;
        addTriangle(f, 14.0, 49.0, 14.5, INFINITY, 14.0, 49.5, Qt::red);
        addTriangle(f, 15.0, 49.0, 15.5, 49.0, 15.0, 49.5, Qt::blue);
        const QByteArray tail(floats > 0 ? 3 : 0, '\x7f');
        QVERIFY(writeFloats(path("decoding.chgt"), f.mid(0, qMax(floats, 0)), tail));
        QVERIFY(floats >= 0 || QFile::resize(path("decoding.chgt"), qint64(1) << 31));
        QByteArray bytes;
        FileFailure failure;
        QCOMPARE(ChgtTileReader::readTriangles(path("decoding.chgt"), bytes, &failure), kept >= 0);
        QCOMPARE(bytes.size(), qMax(kept, 0) * 72);
        QCOMPARE(failure.english().contains("too large"), kept < 0);
        const auto *g = reinterpret_cast<const float *>(bytes.constData());
        if (kept >= 1) {
            QCOMPARE(QVector<float>(g, g + 6), (QVector<float>{14.0f, 49.0f, 0.0f, 0.0f, 1.0f, 0.0f}));
            QCOMPARE(g[9], 0.5f);
        }
        if (kept >= 2)
            QCOMPARE(QVector<float>(g + 18, g + 36), f.mid(36, 18));
    }

    // A read goes into the block the caller's array already has, when that
    // is its own; a block shared with another array is left alone.
    void readBufferReuse()
    {
        QVector<float> small, large;
        addTriangle(small, 14.0, 49.0, 14.5, 49.0, 14.0, 49.5, Qt::red);
        for (int i = 0; i < 50000; ++i)
            addTriangle(large, 14 + i * 1e-5, 49.0, 14.5, 49.0, 14.0, 49.5, QColor(i % 256, 0, 0));
        QVERIFY(writeFloats(path("small.chgt"), small) && writeFloats(path("large.chgt"), large));
        const QByteArray smallBytes = fileBytes(path("small.chgt")), largeBytes = fileBytes(path("large.chgt"));
        QByteArray bytes;
        QVERIFY(ChgtTileReader::readTriangles(path("large.chgt"), bytes));
        QCOMPARE(bytes, largeBytes);
        const char *block = bytes.constData();
        QVERIFY(ChgtTileReader::readTriangles(path("small.chgt"), bytes));
        QCOMPARE(bytes.constData(), block);
        QCOMPARE(bytes, smallBytes);

        QVERIFY(ChgtTileReader::readTriangles(path("large.chgt"), bytes));
        const QByteArray kept = bytes;
        QVERIFY(ChgtTileReader::readTriangles(path("small.chgt"), bytes));
        QVERIFY(bytes.constData() != kept.constData());
        QCOMPARE(kept, largeBytes);
        QVERIFY(!ChgtTileReader::readTriangles(path("missing.chgt"), bytes));
        QVERIFY(bytes.isEmpty());
    }
};

RZ_REGISTER_TEST(ChgtRecordsTest);
#include "tst_chgtrecords.moc"
