#pragma once

#include "ConvertHgt.h"
#include "Waits.h"

#include <QDeadlineTimer>
#include <QSemaphore>

#include <atomic>
#include <memory>

// Holds a conversion on its own thread when it takes the given file, so a
// test acts while the run certainly goes on. The worker announces each
// file with its progress value, under the lock that hands out files, so no
// other file is taken meanwhile. It is let go by open(), by the gate's end,
// or, with UntilStopRequested, once the run is asked to stop.
class RunGate
{
public:
    enum Release { UntilOpened, UntilStopRequested };

    RunGate(const ConvertHgt &worker, int file, int files, Release release = UntilOpened)
        : state(std::make_shared<State>())
    {
        // The worker is the context, and the state is shared: an emission
        // racing with the gate's end touches nothing that is gone.
        connection = QObject::connect(&worker, &ConvertHgt::sProgress, &worker,
            [s = state, w = &worker, value = int(100 * qint64(file) / files), release](int percent) {
                s->values.fetch_add(1);
                if (percent != value || s->held.exchange(true))
                    return;
                const QDeadlineTimer bound(Waits::Conversion);
                while (!s->gate.tryAcquire(1, 2) && !bound.hasExpired())
                    if (release == UntilStopRequested && w->isInterruptionRequested())
                        return;
            }, Qt::DirectConnection);
    }
    ~RunGate()
    {
        QObject::disconnect(connection);
        open();
    }
    RunGate(const RunGate &) = delete;
    RunGate &operator=(const RunGate &) = delete;

    bool isHolding() const { return state->held; }
    // How many files the run has taken so far.
    int filesTaken() const { return state->values; }
    void open() { state->gate.release(); }

private:
    struct State
    {
        QSemaphore gate;
        std::atomic<bool> held{false};
        std::atomic<int> values{0};
    };
    std::shared_ptr<State> state;
    QMetaObject::Connection connection;
};
