#include "AsynchronousClientLock.h"
#include "CommCodes.h"
#include "CommTiming.h"
#include "LogCategory.h"

#include <QDebug>

namespace {
constexpr int kWorkerCloseWaitMs = 500;
}

bool AsynchronousClient::workerHasWork() const
{
    return !cmdQueue.isEmpty() || !valueCache.empty() || !sendFrame.isEmpty();
}

void AsynchronousClient::wakeWorker()
{
    workerWake.notify_all();
}

void AsynchronousClient::waitForEndingWorker()
{
    if (QThread::currentThread() != this)
        wait();
}

void AsynchronousClient::run()
{
    bool linkKept = false;
    try {
        linkKept = workerLoop();
    } catch (...) { // the worker's entry: nothing may escape a thread
        qCDebug(acmLog).noquote() << "run" << "stopped by an exception";
    }
    if (!linkKept) {
        if (logFlags & LogFlag::Progress)
            qCDebug(acmLog).noquote() << "run" << " isConnected = " << "false";
        transport->close(kWorkerCloseWaitMs);
    }
    std::lock_guard<std::mutex> lock(mutex); // last touch of members: see the destructor
}

// True when the worker ends with the link open for synchronous use (told to stop while connected).
bool AsynchronousClient::workerLoop()
{
    for (int emptyTurns = 0;;) {
        if (threadStop)
            return isConnected;
        if (!isConnected)
            return false;
        QByteArray frame;
        if (!nextWorkerFrame(frame))
            continue;
        if (frame.isEmpty()) {
            // The turn that closes a poll cycle sends nothing and the next one goes straight on;
            // only a second empty turn in a row (nothing sendable at all) pauses, not to hog a core.
            if (++emptyTurns > 1)
                CommTiming::pause(1);
            continue;
        }
        emptyTurns = 0;
        workerExchange(frame);
    }
}

// Idle: sleeps until a command, a registration, a disconnect or a stop arrives. False when the
// worker is to look at its stop and link again.
bool AsynchronousClient::nextWorkerFrame(QByteArray& frame)
{
    std::unique_lock<std::mutex> lock(mutex);
    workerWake.wait(lock, [&] { return threadStop || !isConnected || workerHasWork(); });
    const bool commandFirst = pauseBeforePollCycle(lock);
    if (threadStop || !isConnected)
        return false;
    const int32_t cursorBefore = pollCursor;
    if (commandFirst)
        takeNextFrame();
    else
        scheduleNext();
    if (cursorBefore == -1 && pollCursor != -1)
        pollCycleBegan = std::chrono::steady_clock::now();
    frame = sendFrame;
    return true;
}

bool AsynchronousClient::pauseBeforePollCycle(std::unique_lock<std::mutex>& lock)
{
    const auto interrupted = [&] { return threadStop || !isConnected || !cmdQueue.isEmpty() || valueCache.empty(); };
    if (pollCursor != -1 || sendState == 2)
        return false; // inside a cycle, or a request in flight
    for (;;) {
        const int interval = pollIntervalMs.load();
        const auto due = pollCycleBegan + std::chrono::milliseconds(interval);
        if (interval <= 0 || interrupted() || std::chrono::steady_clock::now() >= due)
            return interval > 0 && !cmdQueue.isEmpty() && std::chrono::steady_clock::now() < due;
        // Woken by work, a stop or a new interval, which is read again.
        workerWake.wait_until(lock, due);
    }
}

void AsynchronousClient::setPollIntervalMs(int ms)
{
    pollIntervalMs = ms;
    if (syncMode == 0) {
        // Taken once so that a worker between its look at the interval and its wait gets the call below.
        std::lock_guard<std::mutex> lock(mutex);
    }
    wakeWorker();
}

// The exchange runs without the lock; its reply is judged under it, and the reports go to the
// error callback from this thread once it is released.
void AsynchronousClient::workerExchange(const QByteArray& frame)
{
    sendState = 2;
    const QByteArray reply = transport->exchange(frame, frameMode, replyBudgetMs());
    {
        ReportingLock lock(*this);
        takeReply(*transport, reply);
        forgetUnansweredPoll();
        sendState = 1;
        sendFrame.clear();
    }
    if (!transport->isOpen())
        isConnected = false;
}

void AsynchronousClient::scheduleNext()
{
    if (sendState == 2)
        return;
    if (nextFromQueue == 1)
        takeNextFrame();
    else
        preparePollFrame();
}

void AsynchronousClient::preparePollFrame()
{
    nextFromQueue = 0;
    const int32_t last = int32_t(valueCache.size()) - 1;
    if (valueCache.empty()) {
        if (!cmdQueue.isEmpty())
            takeNextFrame();
        return;
    }
    if (last <= pollCursor) {
        pollCursor = -1;
        if (!cmdQueue.isEmpty()) {
            nextFromQueue = 1;
            takeNextFrame();
        }
        return;
    }
    const int32_t end = (last - pollCursor <= kPollChunk) ? last : pollCursor + kPollChunk;
    readBatch.clear();
    auto it = valueCache.begin();
    std::advance(it, pollCursor + 1);
    for (int32_t i = pollCursor + 1; i <= end; ++i, ++it)
        readBatch.push_back(it->first);
    pollCursor = end;
    const int32_t n = CmdReadVars(readBatch.data(), int32_t(readBatch.size()));
    if (n > 0) {
        sendState = 2;
        sendFrame = built(n);
        pollBatchUnanswered = true;
    }
}

// A poll that got no reply of its own (no reply, a broken one, another kind, a refusal, a count
// that does not pair) leaves its addresses without a value until a later poll reads them: a
// frozen controller must not go on reading as a still one.
void AsynchronousClient::forgetUnansweredPoll()
{
    if (!pollBatchUnanswered)
        return;
    pollBatchUnanswered = false;
    for (const int32_t address : readBatch)
        polledAddresses.erase(address);
}

// Under the mutex, which retire's join takes after setting the flag: a worker is never started
// after its client was retired and joined.
void AsynchronousClient::startWorker()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!retired && !isRunning())
        start();
}

// Only atomics here: the mutex may be held for a whole exchange by a synchronous call, and every
// client of a target must be told before any is waited for.
void AsynchronousClient::retire()
{
    retired = true;
    threadStop = true;
    transport->cutLongWaits();
    ++disconnectCalls; // a transfer pausing for DNC memory ends at its wake-up
    transferWake.notify_all();
    wakeWorker();
}

void AsynchronousClient::joinWorker()
{
    if (syncMode == 1)
        return; // no worker; a synchronous call may hold the mutex for a whole exchange
    {
        // Taken once after retire set the flag: a worker that tested it before is asleep now (its
        // wait released the mutex) and gets the wake-up below; any later test sees the flag.
        std::lock_guard<std::mutex> lock(mutex);
    }
    wakeWorker();
    waitForEndingWorker();
}
