#pragma once
#include "AsynchronousClient.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <cstdint>
#include <mutex>

// One controller as the application addresses it: two target-level clients and one
// client per channel, all connecting to the same address. connectAll and disconnectAll let the
// clients wait side by side (SideBySide): each of their threads touches only its own client,
// whose fields that client's own mutex guards; the record itself is touched only by the calling
// thread, which joins those threads before it returns.
class TargetCnc
{
public:
    // Channel numbers stop at 99 on the controller (bit tables, remote buffers); more
    // channels than that are refused rather than built as idle clients and threads.
    static constexpr int kMaxChannels = 99;

    TargetCnc();
    ~TargetCnc();
    TargetCnc(const TargetCnc&) = delete;
    TargetCnc& operator=(const TargetCnc&) = delete;

    void addChannels(int maxDncCh);
    void applyCommModes(int asyncMask);
    void setErrCallback(ErrCallbackFunc callback);
    bool connectAll();
    bool disconnectAll();

    // The client of channel 1..channelCount, or null outside that range.
    AsynchronousClient* channelClient(int32_t channel) const;

    AsynchronousClient mainClient;
    AsynchronousClient auxClient;
    QList<AsynchronousClient*> channelClients;
    int32_t channelCount = 1;
    QByteArray ip;
    // The last running-program answer per calling thread: the text one thread was handed stays
    // valid until that thread's own next query on this target, whatever other threads ask.
    QHash<Qt::HANDLE, QByteArray> runningPrgBuf;
    std::mutex runningPrgMutex;

    // Runs the running-program query and keeps its answer; returns the kept text.
    char* queryRunningProgram(int32_t channel);
};

// Whether channel k (1-based) of a target runs asynchronously under asyncMask. One 32-bit
// mask has a bit for channels 1..30 only (bit 31 is the sign); higher channels stay synchronous.
bool channelIsAsync(int asyncMask, int channel);
