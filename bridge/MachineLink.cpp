#include "MachineLink.h"

#include "Metrics.h"
#include "Payload.h"

#include "AsyncCommModule.h"

#include <map>

namespace {
constexpr int kNoValidReply = 111;
constexpr int kUnknownTarget = 1;
constexpr int kNotConnected = 7;
constexpr size_t kVariablesPerRequest = 64; // the library sends 64 addresses to a request
using Clock = std::chrono::steady_clock;

MachineLink::Reading numberReading(int result, CncLong value, const WatchItem& item, bool shared)
{
    MachineLink::Reading reading;
    reading.result = result;
    reading.shared = shared;
    if (result == 0) {
        reading.number = value * item.scale + item.offset;
        reading.valueJson = payload::number(reading.number);
        reading.numeric = true;
    }
    return reading;
}
}

MachineLink::MachineLink(const MachineConfig& machine, int cncId, MachineMetrics& metrics)
    : machine(machine), cncId(cncId), metrics(metrics)
{
}

template <typename Call> int MachineLink::timed(Call call)
{
    const auto start = Clock::now();
    callStart = start.time_since_epoch().count();
    const int result = call();
    callStart = 0;
    metrics.request(result, std::chrono::duration<double>(Clock::now() - start).count());
    return result;
}

Clock::duration MachineLink::callTime() const
{
    const auto start = callStart.load();
    return start == 0 ? Clock::duration::zero() : Clock::now() - Clock::time_point(Clock::duration(start));
}

int MachineLink::open()
{
    // The library's own connect (the examples call it the same way).
    callStart = Clock::now().time_since_epoch().count();
    const bool connected = ::connect(cncId);
    callStart = 0;
    if (!connected)
        return kNotConnected;
    return timed([this] { return int(CheckTcpWdt(cncId)); });
}

bool MachineLink::answers()
{
    const int result = timed([this] { return int(CheckTcpWdt(cncId)); });
    return result != kNoValidReply && result != kNotConnected;
}

std::vector<MachineLink::Reading> MachineLink::read(const std::vector<size_t>& items)
{
    std::vector<Reading> out(items.size());
    std::vector<size_t> variables;                                     // positions in items
    std::map<std::pair<int32_t, int32_t>, std::vector<size_t>> bitWords; // by channel and table
    for (size_t i = 0; i < items.size(); ++i) {
        const WatchItem& item = machine.items[items[i]];
        if (item.kind == WatchItem::Kind::Variable)
            variables.push_back(i);
        else if (item.kind == WatchItem::Kind::Bit)
            bitWords[{item.channel, item.bitType}].push_back(i);
        else
            out[i] = readOther(item);
    }
    // One call per request, so that a refused address spoils only its own request's items.
    for (size_t first = 0; first < variables.size(); first += kVariablesPerRequest) {
        const auto end = variables.begin() + long(std::min(variables.size(), first + kVariablesPerRequest));
        readVariables(items, std::vector<size_t>(variables.begin() + long(first), end), out);
    }
    for (const auto& [table, positions] : bitWords)
        readBits(items, positions, out);
    return out;
}

MachineLink::Reading MachineLink::readAlone(size_t item)
{
    return read({item}).front();
}

void MachineLink::readVariables(const std::vector<size_t>& items, const std::vector<size_t>& positions,
                                std::vector<Reading>& out)
{
    std::vector<CncLong> addresses;
    for (size_t i : positions)
        addresses.push_back(machine.items[items[i]].address);
    std::vector<CncLong> values(addresses.size(), 0);
    const int result =
        timed([&] { return int(readVars(addresses.data(), int(addresses.size()), values.data(), cncId)); });
    for (size_t k = 0; k < positions.size(); ++k)
        out[positions[k]] = numberReading(result, values[k], machine.items[items[positions[k]]], positions.size() > 1);
}

void MachineLink::readBits(const std::vector<size_t>& items, const std::vector<size_t>& positions,
                           std::vector<Reading>& out)
{
    const WatchItem& first = machine.items[items[positions.front()]];
    std::vector<CncLong> bits;
    for (size_t i : positions)
        bits.push_back(machine.items[items[i]].bit);
    std::vector<CncLong> values(bits.size(), 0);
    const int result = timed([&] {
        return int(::readBits(first.channel, first.bitType, bits.data(), int(bits.size()), values.data(), cncId));
    });
    for (size_t k = 0; k < positions.size(); ++k)
        out[positions[k]] = numberReading(result, values[k], machine.items[items[positions[k]]], positions.size() > 1);
}

MachineLink::Reading MachineLink::readOther(const WatchItem& item)
{
    switch (item.kind) {
    case WatchItem::Kind::Alarm:
        return readAlarm(item);
    case WatchItem::Kind::Program:
        return readProgram(item);
    default:
        return readAxes(item);
    }
}

MachineLink::Reading MachineLink::readAlarm(const WatchItem& item)
{
    CncLong raised = 0, channel = 0, number = 0;
    Reading reading;
    reading.result = timed([&] { return int(alarmRead(item.channel, &raised, &channel, &number, cncId)); });
    if (reading.result == 0)
        reading.valueJson = std::string("{\"active\":") + (raised ? "true" : "false") +
                            ",\"channel\":" + std::to_string(channel) + ",\"number\":" + std::to_string(number) + "}";
    return reading;
}

MachineLink::Reading MachineLink::readProgram(const WatchItem& item)
{
    const char* name = nullptr;
    Reading reading;
    reading.result = timed([&] {
        name = getRuningPrg(item.channel, cncId);
        // "o" (the byte 111) is the library's answer when no valid reply came.
        return !name ? kUnknownTarget : std::string(name) == "o" ? kNoValidReply : 0;
    });
    if (reading.result == 0)
        reading.valueJson = payload::quoted(name);
    return reading;
}

MachineLink::Reading MachineLink::readAxes(const WatchItem& item)
{
    std::vector<CncLong> coords(size_t(item.axisCount), 0);
    Reading reading;
    reading.result =
        timed([&] { return int(getAxesCoord(item.channel, 0, 0, 0, item.axisCount, coords.data(), cncId)); });
    if (reading.result == 0) {
        reading.valueJson = "[";
        for (size_t i = 0; i < coords.size(); ++i)
            reading.valueJson += (i ? "," : "") + payload::number(coords[i] * item.scale + item.offset);
        reading.valueJson += "]";
    }
    return reading;
}
