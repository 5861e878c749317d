#pragma once
#include "AsynchronousClient.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <mutex>
#include <vector>

// One controller as the application addresses it: two target-level clients and one
// client per channel, all connecting to the same address. connectAll and disconnectAll let the
// clients wait side by side (SideBySide): each of their threads touches only its own client,
// whose fields that client's own mutex guards; the calling thread joins those threads before it
// returns. The record is shared by the calls that hold a lease on it (TargetRegistry); after
// addChannels and applyCommModes, which run before it is registered, its fields do not change.
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
    // The controller's address (ControllerAddress), after addChannels: false when it is malformed.
    // A serial line is opened by all the target's clients together, one request at a time.
    bool setAddress(const QByteArray& address);
    void applyCommModes(int asyncMask);
    void setErrCallback(ErrCallbackFunc callback);
    // For every client of the target (channel, target-level, aux); see AsynchronousClient.
    void setReplyWaitMs(int ms);
    void setPollIntervalMs(int ms);
    bool connectAll();
    bool disconnectAll();
    // Ends all traffic of the target for good, sending nothing: from now on every client refuses
    // requests (7) and no link opens. Every worker is told to stop before the first is waited for,
    // so none sends what was queued while another finishes the request it is sending.
    void retire();

    // The client of channel 1..channelCount, or null outside that range.
    AsynchronousClient* channelClient(int32_t channel) const;

    AsynchronousClient mainClient;
    AsynchronousClient auxClient;
    QList<AsynchronousClient*> channelClients;
    int32_t channelCount = 1;
    QByteArray ip;

private:
    std::vector<AsynchronousClient*> allClients();

    // Taken by connectAll and disconnectAll for their whole course, network waits included: the
    // two take turns on one target, whichever threads call them. Nothing else takes it.
    std::mutex linkLock;
};

// Whether channel k (1-based) of a target runs asynchronously under asyncMask. One 32-bit
// mask has a bit for channels 1..30 only (bit 31 is the sign); higher channels stay synchronous.
bool channelIsAsync(int asyncMask, int channel);
