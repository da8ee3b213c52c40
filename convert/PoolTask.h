#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

// A piece of work handed to a thread pool, its result taken through a
// QFuture. The one way this program hands short work to other threads
// (reading files, painting bands, building a tile's mesh while it is
// written, the conversion's extra jobs): Qt Core only, so the formats and
// the rendering need neither QtConcurrent nor threads of their own.
//
// Whichever thread gets to the work first does it: if no pool thread has
// begun it by the time it is waited for, the waiting thread does it itself,
// so waiting never needs a free pool thread (a full pool cannot deadlock).
// The destructor waits too, so work never outlives what it refers to.
template<class T>
class PoolTask
{
public:
    PoolTask() = default;
    explicit PoolTask(std::function<T()> work, QThreadPool *pool = QThreadPool::globalInstance())
        : state(std::make_shared<State>())
    {
        state->work = std::move(work);
        state->future = state->promise.future();
        // The pool holds the state too, so a task done by its waiter meets
        // a live, already claimed state when a pool thread gets to it.
        pool->start([s = state] { s->runOnce(); });
    }
    ~PoolTask()
    {
        if (state)
            wait();
    }
    PoolTask(PoolTask &&) noexcept = default;
    PoolTask &operator=(PoolTask &&other) noexcept
    {
        if (this != &other) {
            if (state)
                wait();
            state = std::move(other.state);
        }
        return *this;
    }

    bool isValid() const { return bool(state); }
    // Whether the result is there, so taking it does not wait.
    bool isFinished() const { return state->future.isFinished(); }
    // Its end, to be told of it (by a QFutureWatcher) instead of waiting:
    // then the work is left to the pool, however long it is queued.
    QFuture<void> finished() const { return QFuture<void>(state->future); }

    void wait()
    {
        state->runOnce();
        state->future.waitForFinished();
    }

    // The result, once; the task is invalid afterwards.
    T take()
    {
        wait();
        std::shared_ptr<State> s = std::move(state);
        if constexpr (!std::is_void_v<T>)
            return s->future.takeResult();
    }

private:
    struct State
    {
        std::atomic<bool> claimed{false};
        std::function<T()> work;
        QPromise<T> promise;
        QFuture<T> future;

        void runOnce()
        {
            if (claimed.exchange(true))
                return;
            promise.start();
            if constexpr (std::is_void_v<T>)
                work();
            else
                promise.addResult(work());
            // What the work captured goes now, on the thread that did it.
            work = nullptr;
            promise.finish();
        }
    };
    std::shared_ptr<State> state;
};
