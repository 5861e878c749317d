#pragma once
#include "ExitStatus.h"

#include <functional>

class Report;

// Why a command must end early, watched on a thread of its own: SIGINT, SIGTERM or SIGHUP, the
// --deadline of the whole command, or a transfer that made no progress for its stall limit.
// Commands look at stopRequested() between calls and end cleanly (a moving axis is stopped, a
// transfer ends and says where to resume). A command blocked in a library wait that only a
// disconnect ends registers that as its unblock action. A command that has still not ended
// kGraceMs after the request is abandoned: its report ends and the process exits at once.
namespace StopGuard {
enum class Reason { None, Signal, Deadline, Stalled };
constexpr int kGraceMs = 4000;

// Blocks the three signals in this thread (and so in every thread started later, the library's
// included): only the guard's thread takes them. Call first in main.
void blockSignals();
// Starts watching; deadlineSeconds 0: no deadline.
void start(double deadlineSeconds, Report* report);
// The command has ended: the watch stops.
void finish();

Reason reason();
bool stopRequested();
// The exit status for the reason: 130 after a signal, 5 after the deadline or a stall.
ExitStatus status();
// What ended the command, for a message ("interrupted by SIGTERM", "--deadline 2 s passed").
QString describe();

// A transfer moved on: its stall clock starts again.
void progress();
// Requests a stop when progress() has not been called for ms (0: never).
void setStallLimit(int ms);
// Called once, on the guard's thread, when a stop is requested; empty: none.
void setUnblock(const std::function<void()>& action);
} // namespace StopGuard
