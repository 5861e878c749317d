#pragma once
#include "BridgeConfig.h"
#include "MachineLink.h"
#include "Payload.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MachineMetrics;
class Publisher;

// Watches one machine on a thread of its own: connects with backoff, polls each item at its own
// period, publishes what changed, and marks every item unavailable while the machine is away. A
// machine that is off or slow delays nobody else.
class MachineSupervisor
{
public:
    MachineSupervisor(const BridgeConfig& config, const MachineConfig& machine, int cncId, MachineMetrics& metrics,
                      Publisher& publisher);
    ~MachineSupervisor();
    void start();
    // Ends the thread and publishes the machine's items unavailable and the machine offline.
    void stop();

private:
    using Clock = std::chrono::steady_clock;
    struct Group
    {
        int periodMs;
        Clock::time_point due;
        std::vector<size_t> items;
    };
    struct Published
    {
        bool has = false;
        std::string valueJson = "null";
        double number = 0;
        payload::Quality quality = payload::Quality::Unavailable;
    };

    void run();
    bool connectWithBackoff();
    bool pollDue();
    void take(size_t item, const MachineLink::Reading& reading, std::chrono::system_clock::time_point readAt);
    void publish(size_t item, payload::Quality quality, std::chrono::system_clock::time_point readAt);
    void markAway();
    bool waitUntil(Clock::time_point when); // false when stopped

    const BridgeConfig& config;
    const MachineConfig& machine;
    MachineMetrics& metrics;
    Publisher& publisher;
    MachineLink link;
    std::vector<Group> groups;
    std::vector<Published> published; // per item; the machine's thread only
    bool everConnected = false;
    std::mutex stopLock; // guards stopping
    std::condition_variable stopSignal;
    bool stopping = false;
    std::thread thread;
};
