#include "ActionClock.h"

const ActionClock &ActionClock::system()
{
    static const ActionClock clock;
    return clock;
}
