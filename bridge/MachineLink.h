#pragma once
#include "BridgeConfig.h"

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
        std::string valueJson; // the value when read
        double number = 0;     // the value, for deadbands, when numeric
        bool numeric = false;
    };

    MachineLink(const MachineConfig& machine, int cncId, MachineMetrics& metrics);
    // Connects the target's links and asks the controller's watchdog; true when it answered.
    bool open();
    // Reads the given items (indices into the machine's items), batched: one call for all the
    // variables, one per channel and table for the bits.
    std::vector<Reading> read(const std::vector<size_t>& items);
    // A result that says the link is gone or the controller does not answer.
    static bool linkLost(int result);

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
};
