#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Counts of observations at or below each bound, as a Prometheus histogram shows them.
class Histogram
{
public:
    static constexpr std::array<double, 12> kBounds{0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                    0.05,   0.1,   0.25,   0.5,   1,    2.5};
    void observe(double seconds);
    void render(std::string& out, const std::string& name, const std::string& labels) const;

private:
    std::array<uint64_t, kBounds.size()> buckets{};
    double sum = 0;
    uint64_t count = 0;
};

// What one machine's supervisor counts; the supervisor writes, the metrics listener reads.
class MachineMetrics
{
public:
    explicit MachineMetrics(std::string name) : name(std::move(name)) {}

    // One round trip (one request and its reply) and the library's result for it.
    void request(int result, double seconds);
    void reconnected() { ++reconnects; }
    void setUp(bool isUp) { up = isUp; }
    // How late a poll started against its schedule.
    void pollStarted(double lagSeconds);
    void cycle(double seconds) { cycleSeconds = seconds; }
    void setStale(size_t items) { stale = items; }
    void render(std::string& out, int family) const;

    const std::string name;

private:
    mutable std::mutex lock; // guards results, roundTrips, lags
    std::map<int, uint64_t> results; // round trips by result code
    Histogram roundTrips;
    Histogram lags;
    std::atomic<uint64_t> reconnects{0};
    std::atomic<bool> up{false};
    std::atomic<double> cycleSeconds{0};
    std::atomic<size_t> stale{0};
};

// Everything /metrics shows, in the text exposition format.
class Metrics
{
public:
    // The machine's counters, made at its first use; a machine keeps them across reloads.
    std::shared_ptr<MachineMetrics> machine(const std::string& name);
    // Drops the counters of every machine not named.
    void keepOnly(const std::vector<std::string>& names);
    void published() { ++publishes; }
    void publishFailed() { ++publishFailures; }
    void brokerConnected(bool connected);
    void setPending(size_t topics) { pending = topics; }
    std::string render() const;

private:
    mutable std::mutex lock; // guards machines
    std::vector<std::shared_ptr<MachineMetrics>> machines;
    std::atomic<uint64_t> publishes{0};
    std::atomic<uint64_t> publishFailures{0};
    std::atomic<uint64_t> brokerConnects{0};
    std::atomic<bool> broker{false};
    std::atomic<size_t> pending{0};
};
