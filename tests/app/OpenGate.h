#pragma once

#include "TileReading.h"
#include "Waits.h"

#include <QDeadlineTimer>
#include <QSemaphore>
#include <QStringList>

#include <atomic>
#include <map>
#include <memory>

// Holds the reading of chosen files on the threads that open them, each
// until the test lets it go, so a test acts while an open certainly goes
// on. A file is let go by release(), by the gate's end, or after the bound
// of a conversion's wait, so a failing test ends instead of hanging.
class OpenGate
{
public:
    explicit OpenGate(const QStringList &held)
        : files(std::make_shared<Files>())
    {
        for (const QString &path : held)
            (*files)[path];
        TileReading::setOpenHook([f = files](const QString &path) {
            const auto it = f->find(path);
            if (it == f->end())
                return;
            it->second.holding = true;
            const QDeadlineTimer bound(Waits::Conversion);
            while (!it->second.gate.tryAcquire(1, 2) && !bound.hasExpired()) {
            }
            it->second.holding = false;
        });
    }
    ~OpenGate()
    {
        TileReading::setOpenHook(nullptr);
        for (auto &file : *files)
            file.second.gate.release();
    }
    OpenGate(const OpenGate &) = delete;
    OpenGate &operator=(const OpenGate &) = delete;

    bool isHolding(const QString &path) const
    {
        const auto it = files->find(path);
        return it != files->end() && it->second.holding;
    }
    void release(const QString &path)
    {
        const auto it = files->find(path);
        if (it != files->end())
            it->second.gate.release();
    }

private:
    struct File
    {
        QSemaphore gate;
        std::atomic<bool> holding{false};
    };
    // Made whole before the hook is set, read-only afterwards.
    using Files = std::map<QString, File>;
    std::shared_ptr<Files> files;
};
