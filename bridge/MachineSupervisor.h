#pragma once
#include "BridgeConfig.h"
#include "MachineLink.h"
#include "Payload.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MachineMetrics;
class Publisher;

// Watches one machine on a thread of its own: connects with backoff, polls each item at its own
// period, publishes what changed, and marks every item unavailable while the machine is away. A
// machine that is off or slow delays nobody else, and an item it refuses costs nothing but its
// own topic: it is published stale and read alone, backing off, until it reads again.
class MachineSupervisor
{
public:
    MachineSupervisor(const MachineConfig& machine, const std::string& prefix, int cncId,
                      std::shared_ptr<MachineMetrics> metrics, Publisher& publisher, Backoff backoff);
    ~MachineSupervisor();
    // Publishes the items unavailable (a late subscriber learns them before the machine first
    // answers) and starts the thread.
    void start();
    // Ends the thread between two library calls, publishing nothing; resume goes on with the
    // link as it is. While paused the machine makes no library call.
    void pause();
    void resume(Backoff newBackoff);
    // Ends the thread and publishes the machine's items unavailable and the machine offline.
    void stop();
    // Removes the machine's retained messages from the broker (it left the configuration).
    void forget();
    // How long the thread has been inside one library call: a hang shows here.
    std::chrono::steady_clock::duration callTime() const { return link.callTime(); }
    bool isUp() const { return linkUp; }
    const MachineConfig& config() const { return machine; }
    int cncId() const { return id; }

private:
    using Clock = std::chrono::steady_clock;
    using Readings = std::vector<MachineLink::Reading>;
    struct Group
    {
        int periodMs;
        Clock::time_point due;
        std::vector<size_t> items;
        bool polledOnLink = false; // polled without losing the link since it was opened
    };
    struct ItemState
    {
        bool has = false; // a value was read
        std::string valueJson = "null";
        double number = 0;
        std::chrono::system_clock::time_point readAt;
        payload::Quality quality = payload::Quality::Unavailable;
        std::string reason;          // why it is stale
        Clock::time_point publishedAt;
        bool alone = false;          // refused: read in a request of its own, backing off
        Clock::time_point retryAt;
        int retryMs = 0;
    };
    enum class Presence { Unknown, Up, Away };

    void run();
    bool connectWithBackoff();
    bool pollUntilLost(); // false when stopped
    bool pollDue();       // false when the link is lost
    bool pollGroup(Group& group);
    bool linkStands(const Readings& readings);
    void take(size_t item, const MachineLink::Reading& reading);
    void refused(size_t item, int result);
    void publish(size_t item, payload::Quality quality);
    void markAway();
    void arrived();
    void away(const std::string& reason);
    bool waitUntil(Clock::time_point when); // false when stopped
    int grown(int delayMs) const;

    const MachineConfig machine;
    const std::string prefix;
    const int id;
    std::shared_ptr<MachineMetrics> metrics;
    Publisher& publisher;
    Backoff backoff;
    MachineLink link;
    std::vector<Group> groups;
    std::vector<ItemState> items; // the machine's thread only (and start/stop while it is not running)
    std::atomic<bool> linkUp{false};
    bool answeredThisPoll = false;
    Presence presence = Presence::Unknown;
    bool opened = false;      // a link was made once
    bool everArrived = false; // the machine was there once
    Clock::time_point awaySince;
    int connectDelayMs = 0;        // the wait before the next connection attempt
    Clock::time_point nextConnect; // not before
    std::mutex stopLock; // guards stopping
    std::condition_variable stopSignal;
    bool stopping = false;
    std::thread thread;
};
