#include "AsynchronousClient.h"
#include "LogCategory.h"
#include "CommCodes.h"

#include <QDebug>

#include <chrono>
#include <thread>

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
    int emptyTurns = 0;
    for (;;) {
        if (threadStop) {
            if (isConnected) {
                std::lock_guard<std::mutex> lock(mutex); // last touch of members: see the destructor
                return; // the link stays open for synchronous use
            }
            break;
        }
        if (!isConnected)
            break;
        QByteArray frame;
        {
            std::unique_lock<std::mutex> lock(mutex);
            // Idle: sleep until a command, a registration, a disconnect or a stop arrives.
            workerWake.wait(lock, [&] { return threadStop || !isConnected || workerHasWork(); });
            if (threadStop || !isConnected)
                continue;
            scheduleNext();
            frame = sendFrame;
        }
        if (frame.isEmpty()) {
            // The turn that closes a poll cycle sends nothing and the next one goes straight on;
            // only a second empty turn in a row (nothing sendable at all) pauses, not to hog a core.
            if (++emptyTurns > 1)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        emptyTurns = 0;
        sendState = 2;
        const QByteArray reply = transport->exchange(frame, frameMode);
        {
            std::lock_guard<std::mutex> lock(mutex);
            takeReply(*transport, reply);
            sendState = 1;
            sendFrame.clear();
        }
        if (!transport->isOpen())
            isConnected = false;
    }
    if (logFlags & LogFlag::Progress)
        qCDebug(acmLog).noquote() << "run" << " isConnected = " << "false";
    transport->close(500);
    std::lock_guard<std::mutex> lock(mutex); // last touch of members: see the destructor
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
    const int32_t end = (last - pollCursor <= pollChunk) ? last : pollCursor + pollChunk;
    readBatch.clear();
    auto it = valueCache.begin();
    std::advance(it, pollCursor + 1);
    for (int32_t i = pollCursor + 1; i <= end; ++i, ++it)
        readBatch.push_back(it->first);
    pollCursor = end;
    const int32_t n = CmdReadVars(readBatch.data(), int32_t(readBatch.size()));
    if (n > 0) {
        sendState = 2;
        sendFrame = QByteArray(reinterpret_cast<const char*>(sendBuf), n);
    }
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
