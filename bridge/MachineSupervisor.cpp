#include "MachineSupervisor.h"

#include "BridgeLog.h"
#include "Metrics.h"
#include "Publisher.h"

#include <algorithm>
#include <cmath>
#include <map>

MachineSupervisor::MachineSupervisor(const BridgeConfig& config, const MachineConfig& machine, int cncId,
                                     MachineMetrics& metrics, Publisher& publisher)
    : config(config), machine(machine), metrics(metrics), publisher(publisher), link(machine, cncId, metrics),
      published(machine.items.size())
{
    std::map<int, std::vector<size_t>> byPeriod;
    for (size_t i = 0; i < machine.items.size(); ++i)
        byPeriod[machine.items[i].periodMs].push_back(i);
    for (const auto& [period, items] : byPeriod)
        groups.push_back({period, Clock::now(), items});
}

MachineSupervisor::~MachineSupervisor()
{
    stop();
}

void MachineSupervisor::start()
{
    markAway(); // a late subscriber learns the items before the machine first answers
    thread = std::thread([this] { run(); });
}

void MachineSupervisor::stop()
{
    {
        std::lock_guard<std::mutex> guard(stopLock);
        stopping = true;
        stopSignal.notify_all();
    }
    if (thread.joinable()) {
        thread.join();
        markAway();
    }
}

bool MachineSupervisor::waitUntil(Clock::time_point when)
{
    std::unique_lock<std::mutex> guard(stopLock);
    return !stopSignal.wait_until(guard, when, [this] { return stopping; });
}

void MachineSupervisor::run()
{
    while (connectWithBackoff()) {
        for (Group& group : groups)
            group.due = Clock::now();
        bool up = true;
        while (up) {
            const auto next = std::min_element(groups.begin(), groups.end(),
                                               [](const Group& a, const Group& b) { return a.due < b.due; });
            if (!waitUntil(next->due))
                return;
            up = pollDue();
        }
        metrics.setUp(false);
        bridgeLog(machine.name, "lost; its items are unavailable until it answers again");
        markAway();
    }
}

bool MachineSupervisor::connectWithBackoff()
{
    int delayMs = config.reconnectMinMs;
    while (true) {
        if (link.open()) {
            if (everConnected)
                metrics.reconnected();
            bridgeLog(machine.name, std::string(everConnected ? "reconnected" : "connected") + " to " + machine.address);
            everConnected = true;
            metrics.setUp(true);
            publisher.offer(config.topicOf(machine, "availability"), "online");
            return true;
        }
        if (!waitUntil(Clock::now() + std::chrono::milliseconds(delayMs)))
            return false;
        delayMs = std::min(delayMs * 2, config.reconnectMaxMs);
    }
}

bool MachineSupervisor::pollDue()
{
    const auto cycleStart = Clock::now();
    double lag = 0;
    for (Group& group : groups) {
        if (group.due > cycleStart)
            continue;
        lag = std::max(lag, std::chrono::duration<double>(cycleStart - group.due).count());
        const auto readings = link.read(group.items);
        const auto readAt = std::chrono::system_clock::now();
        for (size_t k = 0; k < readings.size(); ++k) {
            if (MachineLink::linkLost(readings[k].result))
                return false;
            take(group.items[k], readings[k], readAt);
        }
        // Keep the period's rhythm; a poll that fell more than a period behind starts afresh.
        group.due += std::chrono::milliseconds(group.periodMs);
        if (group.due < cycleStart)
            group.due = cycleStart + std::chrono::milliseconds(group.periodMs);
    }
    metrics.cycle(std::chrono::duration<double>(Clock::now() - cycleStart).count(), lag);
    return true;
}

void MachineSupervisor::take(size_t item, const MachineLink::Reading& reading,
                             std::chrono::system_clock::time_point readAt)
{
    Published& last = published[item];
    if (reading.result != 0) {
        // The machine answers but refused this item: keep its last value, say it is old.
        if (last.quality != payload::Quality::Stale) {
            bridgeLog(machine.name, machine.items[item].topic + ": read failed with result " +
                                        std::to_string(reading.result) + "; marked stale");
            publish(item, payload::Quality::Stale, readAt);
        }
        return;
    }
    const bool moved = !last.has || last.valueJson != reading.valueJson;
    const bool pastDeadband =
        !reading.numeric || !last.has || std::fabs(reading.number - last.number) > machine.items[item].deadband;
    if (last.quality == payload::Quality::Good && !(moved && pastDeadband))
        return;
    last.has = true;
    last.valueJson = reading.valueJson;
    last.number = reading.number;
    publish(item, payload::Quality::Good, readAt);
}

void MachineSupervisor::publish(size_t item, payload::Quality quality, std::chrono::system_clock::time_point readAt)
{
    published[item].quality = quality;
    publisher.offer(config.topicOf(machine, machine.items[item].topic),
                    payload::message(published[item].valueJson, readAt, quality));
}

void MachineSupervisor::markAway()
{
    const auto now = std::chrono::system_clock::now();
    for (size_t i = 0; i < published.size(); ++i)
        if (published[i].quality != payload::Quality::Unavailable || !published[i].has)
            publish(i, payload::Quality::Unavailable, now);
    publisher.offer(config.topicOf(machine, "availability"), "offline");
}
