#include "Bridge.h"

#include "BridgeLog.h"
#include "MachineSupervisor.h"

#include "AsyncCommModule.h"

#include <algorithm>
#include <set>

namespace {
constexpr int kStopSendMs = 5000; // how long a stop waits for the broker to take the last state
// The longest one library call may take: a connect waits 0.5 s per link and one reply (1.8 s).
constexpr auto kCallSlack = std::chrono::seconds(10);
constexpr auto kConnectPerChannel = std::chrono::milliseconds(500);

const MachineConfig* find(const std::vector<MachineConfig>& machines, const std::string& name)
{
    const auto it =
        std::find_if(machines.begin(), machines.end(), [&](const MachineConfig& m) { return m.name == name; });
    return it == machines.end() ? nullptr : &*it;
}
}

Bridge::Bridge(BridgeConfig config)
    : config(std::move(config)), publisher(this->config.mqtt, this->config.backoff(), metrics),
      listener([this] { return metrics.render(); })
{
}

Bridge::~Bridge()
{
    // The machines' threads end before the publisher they use, and before their targets go.
    for (auto& machine : machines)
        machine->pause();
    for (size_t i = machines.size(); i-- > 0;)
        removeMachine(i, false);
}

bool Bridge::start()
{
    std::string error;
    if (!publisher.start(error)) {
        bridgeLog(LogLevel::Error, "bridge", error);
        return false;
    }
    if (config.metricsHost != "off") {
        if (!listener.start(config.metricsHost, config.metricsPort, error)) {
            bridgeLog(LogLevel::Error, "bridge", "metrics listener: " + error);
            return false;
        }
        bridgeLog(LogLevel::Info, "bridge",
                  "metrics on http://" + config.metricsHost + ":" + std::to_string(listener.port()) + "/metrics");
    }
    // Targets are registered before any machine thread runs: the library's registry has no lock.
    for (const MachineConfig& machine : config.machines)
        if (!addMachine(machine))
            return false;
    // Each supervisor holds its machine's part; a fleet's items are not kept twice.
    config.machines = {};
    for (auto& machine : machines)
        machine->start();
    bridgeLog(LogLevel::Info, "bridge", "running with " + std::to_string(machines.size()) + " machines");
    return true;
}

bool Bridge::addMachine(const MachineConfig& machine)
{
    const int id = nextCncId++;
    std::vector<char> address(machine.address.begin(), machine.address.end());
    address.push_back('\0');
    if (!addTargetCnc(id, machine.channels, address.data(), 0)) {
        bridgeLog(LogLevel::Error, machine.name, "the library refused the address " + machine.address);
        return false;
    }
    machines.push_back(std::make_unique<MachineSupervisor>(machine, config.mqtt.prefix, id,
                                                           metrics.machine(machine.name), publisher,
                                                           config.backoff()));
    return true;
}

// The machine's thread must have ended: the library's registry changes only while no call runs.
void Bridge::removeMachine(size_t index, bool forget)
{
    MachineSupervisor& machine = *machines[index];
    if (forget)
        machine.forget();
    removeTargetCnc(machine.cncId());
    machines.erase(machines.begin() + long(index));
}

bool Bridge::reload(const BridgeConfig& next)
{
    if (!(next.mqtt == config.mqtt) || next.metricsHost != config.metricsHost || next.metricsPort != config.metricsPort) {
        bridgeLog(LogLevel::Error, "bridge", "reload refused: [mqtt] and [metrics] change only at a restart; "
                                             "the running configuration stays");
        return false;
    }
    size_t kept = 0, changed = 0, removed = 0;
    std::set<std::string> keep;
    for (const auto& machine : machines)
        machine->pause();
    for (size_t i = machines.size(); i-- > 0;) {
        const MachineConfig* wanted = find(next.machines, machines[i]->config().name);
        if (wanted && *wanted == machines[i]->config()) {
            keep.insert(wanted->name);
            ++kept;
            continue;
        }
        machines[i]->stop();
        // A changed machine keeps the topics it still has; a removed one leaves the broker.
        if (wanted)
            for (const WatchItem& item : machines[i]->config().items)
                if (std::none_of(wanted->items.begin(), wanted->items.end(),
                                 [&](const WatchItem& w) { return w.topic == item.topic; }))
                    publisher.remove(config.topicOf(*wanted, item.topic));
        wanted ? ++changed : ++removed;
        removeMachine(i, !wanted);
    }
    const size_t before = machines.size();
    config.reconnectMinMs = next.reconnectMinMs;
    config.reconnectMaxMs = next.reconnectMaxMs;
    for (const MachineConfig& machine : next.machines)
        if (!keep.count(machine.name) && !addMachine(machine))
            bridgeLog(LogLevel::Error, machine.name, "left out");
    for (size_t i = 0; i < machines.size(); ++i)
        i < before ? machines[i]->resume(config.backoff()) : machines[i]->start();
    std::vector<std::string> names;
    for (const MachineConfig& machine : next.machines)
        names.push_back(machine.name);
    metrics.keepOnly(names);
    bridgeLog(LogLevel::Info, "bridge", "reloaded: " + std::to_string(kept) + " machines kept, " +
                                            std::to_string(changed) + " changed, " + std::to_string(removed) +
                                            " removed, " + std::to_string(machines.size() - before - changed) +
                                            " added");
    return true;
}

void Bridge::stop()
{
    for (auto& machine : machines)
        machine->stop();
    listener.stop();
    publisher.stop(kStopSendMs);
    for (size_t i = machines.size(); i-- > 0;)
        removeMachine(i, false);
    bridgeLog(LogLevel::Info, "bridge", "stopped");
}

bool Bridge::healthy() const
{
    return std::all_of(machines.begin(), machines.end(), [](const auto& machine) {
        return machine->callTime() < kCallSlack + kConnectPerChannel * machine->config().channels;
    });
}

std::string Bridge::status() const
{
    size_t up = 0;
    for (const auto& machine : machines)
        up += machine->isUp() ? 1 : 0;
    return std::to_string(up) + " of " + std::to_string(machines.size()) + " machines answering";
}
