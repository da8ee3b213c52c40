#include "ChgtTileReader.h"
#include "TestRegistry.h"
#include "TestTiles.h"

#include <QtTest>

using namespace TestTiles;

class ChgtRecordsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
private slots:
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
