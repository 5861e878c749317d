#include "CommTiming.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <cmath>
#include <initializer_list>

namespace CommTiming {
namespace {

std::atomic<double> currentScale{1.0};

int scaled(int ms, double by)
{
    const int value = int(std::lround(ms * by));
    return value < 1 ? 1 : value;
}

} // namespace

Durations now()
{
    const double by = currentScale.load();
    Durations d;
    if (by == 1.0)
        return d;
    for (int* field : {&d.replyWaitMs, &d.quietGapMs, &d.commandReplyBudgetMs, &d.connectWaitMs,
                       &d.queueRoomWaitMs, &d.queueRoomPollMs, &d.blockResendPauseMs, &d.memoryFullPauseMaxMs,
                       &d.fileReadyPauseMs,
                       &d.addressAnswerWaitMs, &d.bufferConnectMs, &d.bufferReplyMs, &d.bufferStallLimitMs, &d.bufferIdleSleepMs,
                       &d.bufferStallSleepMs, &d.bufferResendPauseMs, &d.ftpSyncConnectMs, &d.ftpStepMs})
        *field = scaled(*field, by);
    return d;
}

void pause(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void setScale(double scale)
{
    currentScale.store(scale > 0 ? scale : 1.0);
}

double scale()
{
    return currentScale.load();
}

} // namespace CommTiming
