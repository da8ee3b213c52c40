#include "TestRegistry.h"
#include "TileWalk.h"

#include <QtTest>

Q_DECLARE_METATYPE(TileCorner)

class TileWalkTest : public QObject
{
    Q_OBJECT

private slots:
    void walks_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<QVector<TileCorner>>("firstSteps"); // the jobs taking turns
        QTest::newRow("country, one job") << 3 << 7 << 1
                                          << QVector<TileCorner>{{48, 12}, {49, 12}, {50, 12}, {50, 13}};
        QTest::newRow("country, two jobs") << 3 << 7 << 2 << QVector<TileCorner>{{48, 12}, {50, 18}};
        QTest::newRow("tall, two jobs") << 5 << 2 << 2
                                        << QVector<TileCorner>{{48, 12}, {52, 13}, {48, 13}, {52, 12}};
        QTest::newRow("country, six jobs") << 3 << 7 << 6 << QVector<TileCorner>{{48, 12}, {50, 18}};
        QTest::newRow("one tile, two jobs") << 1 << 1 << 2 << QVector<TileCorner>{{48, 12}};
    }

    // Each tile once; the jobs start apart and each goes on beside the tile
    // it took last, across the shorter side first.
    void walks()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, jobs);
        QFETCH(QVector<TileCorner>, firstSteps);
        QVector<TileCorner> tiles;
        for (int lat = 48; lat < 48 + rows; ++lat)
            for (int lon = 12; lon < 12 + columns; ++lon)
                tiles.append({lat, lon});
        TileWalk walk(tiles);
        QVector<bool> taken(tiles.size(), false);
        QVector<int> last(jobs, -1);
        QVector<TileCorner> order;
        for (int step = 0; step < tiles.size(); ++step) {
            const int job = step % jobs;
            const int i = walk.next(job);
            QVERIFY(i >= 0 && i < tiles.size() && !taken[i]);
            const auto beside = [&](int a, int b) {
                return qAbs(tiles[a].lat - tiles[b].lat) <= 1 && qAbs(tiles[a].lon - tiles[b].lon) <= 1;
            };
            bool neighbourFree = false;
            for (int k = 0; k < tiles.size() && last[job] >= 0; ++k)
                neighbourFree |= !taken[k] && beside(k, last[job]);
            if (neighbourFree)
                QVERIFY2(beside(i, last[job]), qPrintable(QString("step %1 jumps").arg(step)));
            taken[i] = true;
            last[job] = i;
            order.append(tiles[i]);
        }
        for (int job = 0; job < jobs; ++job)
            QCOMPARE(walk.next(job), -1);
        QCOMPARE(walk.taken(), tiles.size());
        QCOMPARE(order.mid(0, firstSteps.size()), firstSteps);
    }
};

RZ_REGISTER_TEST(TileWalkTest);
#include "tst_tilewalk.moc"
