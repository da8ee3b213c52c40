#include "PoolThreads.h"

#include <QSemaphore>
#include <QThreadPool>

#include <memory>

namespace PoolThreads {

void startAll(QThreadPool *pool)
{
    pool->setExpiryTimeout(-1);
    const int count = pool->maxThreadCount();
    // Shared with the tasks, which may still be leaving when this returns.
    const auto arrived = std::make_shared<QSemaphore>();
    const auto leave = std::make_shared<QSemaphore>();
    for (int i = 0; i < count; ++i) {
        pool->start([arrived, leave] {
            arrived->release();
            leave->acquire();
        });
    }
    // All are held at once, so each runs on a thread of its own. Should a
    // thread fail even now, the program goes on as it would have.
    arrived->tryAcquire(count, 10000);
    leave->release(count);
    // Not waited for with waitForDone(), which would end the threads.
}

} // namespace PoolThreads
