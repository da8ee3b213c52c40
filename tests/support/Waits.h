#pragma once

// Bounds of the waits in tests, in milliseconds. They are far above what
// the awaited event takes on a busy machine, and below a third of the
// function time-out: a failing QTRY_* waits twice its bound again before it
// reports, and the report should come before the watchdog.
namespace Waits {

#ifdef RZMAP_SANITIZED
constexpr int Slowdown = 4;
#else
constexpr int Slowdown = 1;
#endif

// A paint, a queued signal, a dialog, a readout: at once on an idle machine.
constexpr int Event = 10000 * Slowdown;
// A conversion of a few tiles: about a second on an idle machine.
constexpr int Conversion = 15000 * Slowdown;

} // namespace Waits
