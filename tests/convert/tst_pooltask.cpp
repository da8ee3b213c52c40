#include "TestRegistry.h"

#include "PoolTask.h"

#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

// Short work on a pool, results through futures: each task runs once, on a
// pool thread or, when none has begun it, on the thread that waits for it.
class PoolTaskTest : public QObject
{
    Q_OBJECT

private slots:
    // Work not begun by a full pool is done by the waiter instead of
    // waiting for a free thread.
    void fullPool()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(1);
        QSemaphore hold, started, done;
        PoolTask<void> blocker([&] {
            started.release();
            hold.acquire();
        }, &pool);
        QVERIFY(started.tryAcquire(1, 30000));
        // Lets the blocker go after a while, should the waiter not do the
        // queued work itself; the test then fails instead of hanging.
        std::thread watchdog([&] {
            if (!done.tryAcquire(1, 10000))
                hold.release();
        });
        std::atomic<int> runs{0};
        QThread *ranOn = nullptr;
        PoolTask<int> queued([&] {
            ++runs;
            ranOn = QThread::currentThread();
            return 42;
        }, &pool);
        const int result = queued.take();
        done.release();
        watchdog.join();
        hold.release();
        blocker.wait();
        QCOMPARE(result, 42);
        QCOMPARE(ranOn, QThread::currentThread());
        QVERIFY(!queued.isValid());
        pool.waitForDone();
        QCOMPARE(runs.load(), 1); // the pool thread found it done
    }

    // Each of many tasks runs exactly once and gives its own result; a task
    // dropped without being taken is still waited for.
    void eachOnce()
    {
        std::vector<std::atomic<int>> runs(200);
        {
            std::vector<PoolTask<int>> tasks;
            for (int i = 0; i < 200; ++i)
                tasks.emplace_back([&runs, i] { return ++runs[size_t(i)] * i * i; });
            for (int i = 0; i < 200; i += 2)
                QCOMPARE(tasks[size_t(i)].take(), i * i);
        } // the odd ones are waited for here
        for (int i = 0; i < 200; ++i)
            QCOMPARE(runs[size_t(i)].load(), 1);
    }
};

RZ_REGISTER_TEST(PoolTaskTest);
#include "tst_pooltask.moc"
