#pragma once

#include <QDateTime>
#include <QTime>

// The time source of ProgressDlg; a seam so tests can fix the clock.
class ActionClock
{
public:
    virtual ~ActionClock() = default;
    virtual QTime currentTime() const { return QTime::currentTime(); }
    virtual QDateTime currentDateTime() const { return QDateTime::currentDateTime(); }

    static const ActionClock &system();
};
