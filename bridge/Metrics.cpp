#include "Metrics.h"

#include <algorithm>
#include <cstdio>

namespace {
struct Family
{
    const char* name;
    const char* type;
    const char* help;
};
// The per-machine families, in the order MachineMetrics::render takes them.
constexpr Family kMachineFamilies[] = {
    {"cnc_bridge_machine_up", "gauge", "1 while the machine answers, 0 while it is away."},
    {"cnc_bridge_request_duration_seconds", "histogram", "Round trip of one request to the machine."},
    {"cnc_bridge_requests_total", "counter", "Requests to the machine (round trips) by the library's result (0 is success)."},
    {"cnc_bridge_reconnects_total", "counter", "Connections made to the machine after the first."},
    {"cnc_bridge_poll_cycle_seconds", "gauge", "Time the last poll of the machine took."},
    {"cnc_bridge_poll_lag_seconds", "histogram", "How late each poll started against its schedule."},
    {"cnc_bridge_items_stale", "gauge", "Items the machine answers for but refused at their last read."},
};

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

void header(std::string& out, const Family& family)
{
    out += std::string("# HELP ") + family.name + " " + family.help + "\n# TYPE " + family.name + " " +
           family.type + "\n";
}

void sample(std::string& out, const std::string& name, const std::string& labels, double value)
{
    out += name + "{" + labels + "} " + number(value) + "\n";
}
}

void Histogram::observe(double seconds)
{
    for (size_t i = 0; i < kBounds.size(); ++i)
        if (seconds <= kBounds[i])
            ++buckets[i];
    sum += seconds;
    ++count;
}

void Histogram::render(std::string& out, const std::string& name, const std::string& labels) const
{
    for (size_t i = 0; i < kBounds.size(); ++i)
        sample(out, name + "_bucket", labels + ",le=\"" + number(kBounds[i]) + "\"", double(buckets[i]));
    sample(out, name + "_bucket", labels + ",le=\"+Inf\"", double(count));
    sample(out, name + "_sum", labels, sum);
    sample(out, name + "_count", labels, double(count));
}

void MachineMetrics::request(int result, double seconds)
{
    std::lock_guard<std::mutex> guard(lock);
    ++results[result];
    roundTrips.observe(seconds);
}

void MachineMetrics::pollStarted(double lagSeconds)
{
    std::lock_guard<std::mutex> guard(lock);
    lags.observe(lagSeconds);
}

void MachineMetrics::render(std::string& out, int family) const
{
    const std::string machine = "machine=\"" + name + "\"";
    const std::string base = kMachineFamilies[family].name;
    std::lock_guard<std::mutex> guard(lock);
    switch (family) {
    case 0:
        return sample(out, base, machine, up ? 1 : 0);
    case 1:
        return roundTrips.render(out, base, machine);
    case 2:
        for (const auto& [result, count] : results)
            sample(out, base, machine + ",result=\"" + std::to_string(result) + "\"", double(count));
        return;
    case 3:
        return sample(out, base, machine, double(reconnects));
    case 4:
        return sample(out, base, machine, cycleSeconds);
    case 5:
        return lags.render(out, base, machine);
    default:
        return sample(out, base, machine, double(stale));
    }
}

std::shared_ptr<MachineMetrics> Metrics::machine(const std::string& name)
{
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& known : machines)
        if (known->name == name)
            return known;
    machines.push_back(std::make_shared<MachineMetrics>(name));
    return machines.back();
}

void Metrics::keepOnly(const std::vector<std::string>& names)
{
    std::lock_guard<std::mutex> guard(lock);
    machines.erase(std::remove_if(machines.begin(), machines.end(),
                                  [&](const auto& known) {
                                      return std::find(names.begin(), names.end(), known->name) == names.end();
                                  }),
                   machines.end());
}

void Metrics::brokerConnected(bool connected)
{
    if (connected && !broker)
        ++brokerConnects;
    broker = connected;
}

std::string Metrics::render() const
{
    std::string out;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (int family = 0; family < int(std::size(kMachineFamilies)); ++family) {
            header(out, kMachineFamilies[family]);
            for (const auto& machine : machines)
                machine->render(out, family);
        }
    }
    const auto single = [&out](const Family& family, double value) {
        header(out, family);
        out += std::string(family.name) + " " + number(value) + "\n";
    };
    single({"cnc_bridge_mqtt_connected", "gauge", "1 while the bridge holds a session with the broker."}, broker ? 1 : 0);
    single({"cnc_bridge_mqtt_connects_total", "counter", "Sessions the bridge opened with the broker."},
           double(brokerConnects));
    single({"cnc_bridge_mqtt_published_total", "counter", "Messages handed to the broker."}, double(publishes));
    single({"cnc_bridge_mqtt_publish_failures_total", "counter", "Messages the broker link refused; kept for later."},
           double(publishFailures));
    single({"cnc_bridge_mqtt_pending_topics", "gauge", "Topics whose latest value waits for the broker."},
           double(pending));
    return out;
}
