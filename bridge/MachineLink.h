#pragma once
#include "BridgeConfig.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

class MachineMetrics;

// One machine's target in the controller library, used from the machine's own thread only.
// All calls are synchronous: each read is one round trip on the bridge's schedule.
class MachineLink
{
public:
    struct Reading
    {
        int result = 0;        // the library's result code; 0 when read
        bool shared = false;   // the result is that of one request for several items
        std::string valueJson; // the value when read, scaled
        double number = 0;     // the value, for deadbands, when numeric
        bool numeric = false;
    };

    MachineLink(const MachineConfig& machine, int cncId, MachineMetrics& metrics);
    // Connects the target's links and asks the controller's watchdog: 0 when it answered, else
    // the result that tells why not (7: no connection).
    int open();
    // Whether the controller answers its watchdog (a reply of any kind counts).
    bool answers();
    // Reads the given items (indices into the machine's items), together where one request can
    // carry several: the variables 64 to a request, the bits of one channel and table at once.
    std::vector<Reading> read(const std::vector<size_t>& items);
    // Reads one item in a request of its own.
    Reading readAlone(size_t item);
    // How long the machine's thread has been inside a library call (zero when it is not).
    std::chrono::steady_clock::duration callTime() const;

private:
    // positions: which of items to read; their readings go to out at the same positions.
    void readVariables(const std::vector<size_t>& items, const std::vector<size_t>& positions,
                       std::vector<Reading>& out);
    void readBits(const std::vector<size_t>& items, const std::vector<size_t>& positions, std::vector<Reading>& out);
    Reading readOther(const WatchItem& item);
    Reading readAlarm(const WatchItem& item);
    Reading readProgram(const WatchItem& item);
    Reading readAxes(const WatchItem& item);
    template <typename Call> int timed(Call call);

    const MachineConfig& machine;
    const int cncId;
    MachineMetrics& metrics;
    std::atomic<std::chrono::steady_clock::rep> callStart{0}; // 0: not in a call
};
