#include "MachineSupervisor.h"

#include "BridgeLog.h"
#include "Metrics.h"
#include "Publisher.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {
constexpr int kNotConnected = 7;
constexpr int kNoValidReply = 111;
const char kAvailability[] = "availability";

// What a result code means for an item, in the words of the library's documentation.
std::string resultText(int result)
{
    std::string text = "failed";
    if (result == 1)
        text = "refused before sending";
    else if (result == 3)
        text = "a reply the read cannot use";
    else if (result == kNoValidReply)
        text = "no valid reply";
    else if (result >= 100 && result < 300)
        text = "refused by the controller, state " + std::to_string(result - 100);
    return text + " (" + std::to_string(result) + ")";
}

std::string openFailure(int result)
{
    if (result == kNotConnected)
        return "no connection (refused, or no answer within 0.5 s)";
    if (result == kNoValidReply)
        return "connected, but the watchdog got no valid reply";
    return "connected, but the watchdog failed with result " + std::to_string(result);
}
}

MachineSupervisor::MachineSupervisor(const MachineConfig& machine, const std::string& prefix, int cncId,
                                     std::shared_ptr<MachineMetrics> metrics, Publisher& publisher, Backoff backoff)
    : machine(machine), prefix(prefix), id(cncId), metrics(std::move(metrics)), publisher(publisher),
      backoff(backoff), link(this->machine, cncId, *this->metrics), items(machine.items.size())
{
    std::map<int, std::vector<size_t>> byPeriod;
    for (size_t i = 0; i < machine.items.size(); ++i)
        byPeriod[machine.items[i].periodMs].push_back(i);
    for (const auto& [period, members] : byPeriod)
        groups.push_back({period, Clock::now(), members});
}

MachineSupervisor::~MachineSupervisor()
{
    pause();
}

void MachineSupervisor::start()
{
    markAway();
    resume(backoff);
}

void MachineSupervisor::pause()
{
    {
        std::lock_guard<std::mutex> guard(stopLock);
        stopping = true;
        stopSignal.notify_all();
    }
    if (thread.joinable())
        thread.join();
}

void MachineSupervisor::resume(Backoff newBackoff)
{
    backoff = newBackoff;
    {
        std::lock_guard<std::mutex> guard(stopLock);
        stopping = false;
    }
    thread = std::thread([this] { run(); });
}

void MachineSupervisor::stop()
{
    pause();
    metrics->setUp(false);
    markAway();
}

void MachineSupervisor::forget()
{
    for (const WatchItem& item : machine.items)
        publisher.remove(prefix + "/" + machine.name + "/" + item.topic);
    publisher.remove(prefix + "/" + machine.name + "/" + kAvailability);
}

bool MachineSupervisor::waitUntil(Clock::time_point when)
{
    std::unique_lock<std::mutex> guard(stopLock);
    return !stopSignal.wait_until(guard, when, [this] { return stopping; });
}

int MachineSupervisor::grown(int delayMs) const
{
    return delayMs == 0 ? backoff.minMs : std::min(delayMs * 2, backoff.maxMs);
}

void MachineSupervisor::run()
{
    while (linkUp || connectWithBackoff()) {
        if (!pollUntilLost())
            return;
        linkUp = false;
        metrics->setUp(false);
        markAway();
        // A link that never got through a whole poll (a controller that drops every connection
        // at its first read) is backed off like a controller that is off.
        connectDelayMs = grown(presence == Presence::Up ? 0 : connectDelayMs);
        nextConnect = Clock::now() + std::chrono::milliseconds(connectDelayMs);
        away("the link closed, or neither a read nor the watchdog got a valid reply");
    }
}

bool MachineSupervisor::connectWithBackoff()
{
    while (waitUntil(nextConnect)) {
        const int result = link.open();
        if (result == 0) {
            if (opened)
                metrics->reconnected();
            opened = true;
            linkUp = true;
            for (Group& group : groups)
                group = {group.periodMs, Clock::now(), group.items, false};
            return true;
        }
        away(openFailure(result));
        connectDelayMs = grown(connectDelayMs);
        nextConnect = Clock::now() + std::chrono::milliseconds(connectDelayMs);
    }
    return false;
}

// The machine counts as there once every item was polled on its link.
void MachineSupervisor::arrived()
{
    if (everArrived)
        bridgeLog(LogLevel::Info, machine.name,
                  "back at " + machine.address + " after " +
                      std::to_string(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - awaySince).count()) +
                      " s away");
    else
        bridgeLog(LogLevel::Info, machine.name, "connected to " + machine.address);
    presence = Presence::Up;
    everArrived = true;
    metrics->setUp(true);
    publisher.offer(prefix + "/" + machine.name + "/" + kAvailability, "online");
}

void MachineSupervisor::away(const std::string& reason)
{
    if (presence == Presence::Away)
        return; // said once, not at every try
    bridgeLog(LogLevel::Warning, machine.name,
              (presence == Presence::Up ? "lost " : "cannot reach ") + machine.address + ": " + reason +
                  "; its items are unavailable until it answers (tried again after " +
                  std::to_string(backoff.minMs) + " ms, doubling to " + std::to_string(backoff.maxMs) + " ms)");
    presence = Presence::Away;
    awaySince = Clock::now();
}

bool MachineSupervisor::pollUntilLost()
{
    while (true) {
        const auto next = std::min_element(groups.begin(), groups.end(),
                                           [](const Group& a, const Group& b) { return a.due < b.due; });
        if (!waitUntil(next->due))
            return false;
        if (!pollDue())
            return true;
    }
}

bool MachineSupervisor::pollDue()
{
    const auto cycleStart = Clock::now();
    answeredThisPoll = false;
    for (Group& group : groups) {
        if (group.due > cycleStart)
            continue;
        metrics->pollStarted(std::chrono::duration<double>(cycleStart - group.due).count());
        if (!pollGroup(group))
            return false;
        group.polledOnLink = true;
        // Keep the period's rhythm; a poll that fell more than a period behind starts afresh.
        group.due += std::chrono::milliseconds(group.periodMs);
        if (group.due < cycleStart)
            group.due = cycleStart + std::chrono::milliseconds(group.periodMs);
    }
    if (presence != Presence::Up &&
        std::all_of(groups.begin(), groups.end(), [](const Group& g) { return g.polledOnLink; }))
        arrived();
    metrics->cycle(std::chrono::duration<double>(Clock::now() - cycleStart).count());
    metrics->setStale(size_t(std::count_if(items.begin(), items.end(), [](const ItemState& s) {
        return s.quality == payload::Quality::Stale;
    })));
    return true;
}

bool MachineSupervisor::pollGroup(Group& group)
{
    std::vector<size_t> together;
    std::vector<size_t> alone;
    const auto now = Clock::now();
    for (size_t item : group.items)
        if (!items[item].alone)
            together.push_back(item);
        else if (items[item].retryAt <= now)
            alone.push_back(item);
    const Readings readings = link.read(together);
    if (!linkStands(readings))
        return false;
    for (size_t k = 0; k < together.size(); ++k) {
        // A request for several items that failed: each is read alone to find the one at fault.
        if (readings[k].result != 0 && readings[k].shared)
            alone.push_back(together[k]);
        else
            take(together[k], readings[k]);
    }
    for (size_t item : alone) {
        const MachineLink::Reading reading = link.readAlone(item);
        if (!linkStands({reading}))
            return false;
        take(item, reading);
    }
    return true;
}

// 7 is a lost link; 111 may be a silent controller or a refusal, so the watchdog tells which.
// Any other result is the item's own and never costs the link.
bool MachineSupervisor::linkStands(const Readings& readings)
{
    bool unanswered = false;
    for (const MachineLink::Reading& reading : readings) {
        if (reading.result == kNotConnected)
            return false;
        unanswered = unanswered || reading.result == kNoValidReply;
        answeredThisPoll = answeredThisPoll || reading.result != kNoValidReply;
    }
    if (unanswered && !answeredThisPoll)
        answeredThisPoll = link.answers();
    return !unanswered || answeredThisPoll;
}

void MachineSupervisor::take(size_t item, const MachineLink::Reading& reading)
{
    if (reading.result != 0)
        return refused(item, reading.result);
    ItemState& state = items[item];
    const WatchItem& watched = machine.items[item];
    if (state.alone)
        bridgeLog(LogLevel::Info, machine.name, watched.topic + ": read again");
    state.alone = false;
    state.retryMs = 0;
    const auto now = Clock::now();
    const bool moved = !state.has || state.valueJson != reading.valueJson;
    const bool pastDeadband =
        !reading.numeric || !state.has || std::fabs(reading.number - state.number) > watched.deadband;
    const bool heartbeat = watched.republishMs > 0 && now - state.publishedAt >= std::chrono::milliseconds(watched.republishMs);
    if (state.quality == payload::Quality::Good && !(moved && pastDeadband) && !heartbeat)
        return;
    state.has = true;
    state.valueJson = reading.valueJson;
    state.number = reading.number;
    state.readAt = std::chrono::system_clock::now();
    state.reason.clear();
    publish(item, payload::Quality::Good);
}

void MachineSupervisor::refused(size_t item, int result)
{
    ItemState& state = items[item];
    const WatchItem& watched = machine.items[item];
    state.retryMs = state.alone ? std::min(state.retryMs * 2, std::max(backoff.maxMs, watched.periodMs))
                                : watched.periodMs;
    state.alone = true;
    state.retryAt = Clock::now() + std::chrono::milliseconds(state.retryMs);
    const std::string reason = resultText(result);
    if (state.quality == payload::Quality::Stale && state.reason == reason)
        return;
    // The machine answers but refused this item: keep its last value, say it is old, and why.
    bridgeLog(LogLevel::Warning, machine.name, watched.topic + ": " + reason + "; stale, read alone from now on");
    state.reason = reason;
    publish(item, payload::Quality::Stale);
}

void MachineSupervisor::publish(size_t item, payload::Quality quality)
{
    ItemState& state = items[item];
    state.quality = quality;
    state.publishedAt = Clock::now();
    payload::Fields fields;
    fields.valueJson = state.valueJson;
    fields.readAt = state.has ? state.readAt : std::chrono::system_clock::now();
    fields.quality = quality;
    fields.unit = machine.items[item].unit;
    if (quality == payload::Quality::Stale)
        fields.reason = state.reason;
    const std::string topic = prefix + "/" + machine.name + "/" + machine.items[item].topic;
    if (state.has)
        publisher.offer(topic, payload::message(fields));
    else
        publisher.offerPlaceholder(topic, fields);
}

void MachineSupervisor::markAway()
{
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].quality != payload::Quality::Unavailable || items[i].publishedAt == Clock::time_point())
            publish(i, payload::Quality::Unavailable);
    publisher.offer(prefix + "/" + machine.name + "/" + kAvailability, "offline");
}
