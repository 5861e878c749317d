#include "StopGuard.h"

#include "Report.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kWatchMs = 20;

std::atomic<int> stopReason{int(StopGuard::Reason::None)};
std::atomic<int> stopSignal{0};
std::atomic<bool> ended{false};
std::atomic<Clock::rep> lastProgress{0};
std::atomic<int> stallLimitMs{0};
std::atomic<int> stalledAfterMs{0}; // the limit that ran out
std::mutex actionLock;
std::function<void()> unblockAction; // guarded by actionLock
std::thread watcher;
double deadline = 0;

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

Clock::rep now()
{
    return Clock::now().time_since_epoch().count();
}

long long msSince(Clock::rep then)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::duration(now() - then)).count();
}

// A signal taken within one watch period, else 0.
int takeSignal()
{
    const sigset_t set = stopSignals();
    const timespec wait{0, kWatchMs * 1000000L};
    const int taken = sigtimedwait(&set, nullptr, &wait);
    return taken > 0 ? taken : 0;
}

QString signalName(int number)
{
    switch (number) {
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
    default: return QStringLiteral("SIGHUP");
    }
}

void request(StopGuard::Reason why)
{
    int none = int(StopGuard::Reason::None);
    if (!stopReason.compare_exchange_strong(none, int(why)))
        return;
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> g(actionLock);
        action = unblockAction;
    }
    if (action)
        action();
}

void watch(Report* report)
{
    const Clock::rep started = now();
    Clock::rep requestedAt = 0;
    while (!ended) {
        if (const int taken = takeSignal()) {
            stopSignal = taken;
            request(StopGuard::Reason::Signal);
        }
        if (deadline > 0 && msSince(started) >= deadline * 1000)
            request(StopGuard::Reason::Deadline);
        const int stallLimit = stallLimitMs;
        if (stallLimit > 0 && msSince(lastProgress) >= stallLimit) {
            stalledAfterMs = stallLimit;
            request(StopGuard::Reason::Stalled);
        }
        if (StopGuard::stopRequested() && requestedAt == 0)
            requestedAt = now();
        if (requestedAt != 0 && !ended && msSince(requestedAt) >= StopGuard::kGraceMs) {
            const int status = report->abandon(StopGuard::status(),
                                               QStringLiteral("%1; the command did not end within %2 s after it, so "
                                                              "it was abandoned")
                                                   .arg(StopGuard::describe())
                                                   .arg(StopGuard::kGraceMs / 1000));
            std::fflush(nullptr);
            _exit(status);
        }
    }
}
} // namespace

namespace StopGuard {
void blockSignals()
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void start(double deadlineSeconds, Report* report)
{
    deadline = deadlineSeconds;
    lastProgress = now();
    watcher = std::thread(watch, report);
}

void finish()
{
    ended = true;
    if (watcher.joinable())
        watcher.join();
}

Reason reason()
{
    return Reason(stopReason.load());
}

bool stopRequested()
{
    return reason() != Reason::None;
}

ExitStatus status()
{
    return reason() == Reason::Signal ? ExitStatus::Interrupted : ExitStatus::NoReply;
}

QString describe()
{
    switch (reason()) {
    case Reason::Signal:
        return QStringLiteral("interrupted by %1").arg(signalName(stopSignal));
    case Reason::Deadline:
        return QStringLiteral("--deadline passed after %1 s").arg(deadline);
    case Reason::Stalled:
        return QStringLiteral("no progress for %1 s (--timeout)").arg(stalledAfterMs / 1000.0);
    case Reason::None:
        break;
    }
    return QString();
}

void progress()
{
    lastProgress = now();
}

void setStallLimit(int ms)
{
    lastProgress = now();
    stallLimitMs = ms;
}

void setUnblock(const std::function<void()>& action)
{
    std::lock_guard<std::mutex> g(actionLock);
    unblockAction = action;
}
} // namespace StopGuard
