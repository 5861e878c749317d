#pragma once
#include "BridgeConfig.h"
#include "Metrics.h"
#include "MetricsListener.h"
#include "Publisher.h"

#include <memory>
#include <string>
#include <vector>

class MachineSupervisor;

// The running bridge: the broker link, the metrics listener and one supervisor per machine.
// Every thread it starts is joined when it goes, on every path.
class Bridge
{
public:
    explicit Bridge(BridgeConfig config);
    ~Bridge();
    // Starts everything; false (said in the log) when the bridge cannot run.
    bool start();
    // Takes a new configuration: machines added, removed or changed; an unchanged machine keeps
    // its link and counters. false (said in the log) when it cannot be taken: the running one stays.
    bool reload(const BridgeConfig& next);
    // Publishes every item unavailable, every machine and the bridge offline, and ends.
    void stop();
    // False when a machine's thread has been inside one library call for longer than the
    // library's own bounds allow: the process hangs and should be restarted.
    bool healthy() const;
    // One line for systemd's status: machines up, items stale, the broker.
    std::string status() const;

private:
    bool addMachine(const MachineConfig& machine);
    void removeMachine(size_t index, bool forget);

    BridgeConfig config; // its machines are the supervisors' once started
    Metrics metrics;
    Publisher publisher;
    MetricsListener listener;
    std::vector<std::unique_ptr<MachineSupervisor>> machines; // declared last: they go first
    int nextCncId = 1;
};
