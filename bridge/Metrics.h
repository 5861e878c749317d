#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What one machine's supervisor counts; the supervisor writes, the metrics listener reads.
class MachineMetrics
{
public:
    static constexpr std::array<double, 12> kRoundTripBounds{0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                            0.05,   0.1,   0.25,   0.5,   1,    2.5};
    explicit MachineMetrics(std::string name) : name(std::move(name)) {}

    void request(int result, double seconds);
    void reconnected() { ++reconnects; }
    void setUp(bool isUp) { up = isUp; }
    void cycle(double seconds, double lagSeconds);
    void render(std::string& out, int family) const;

    const std::string name;

private:
    mutable std::mutex lock; // guards results, buckets, roundTripSum, roundTripCount
    std::map<int, uint64_t> results; // requests by result code
    std::array<uint64_t, kRoundTripBounds.size()> buckets{};
    double roundTripSum = 0;
    uint64_t roundTripCount = 0;
    std::atomic<uint64_t> reconnects{0};
    std::atomic<bool> up{false};
    std::atomic<double> cycleSeconds{0};
    std::atomic<double> lagSeconds{0};
};

// Everything /metrics shows, in the text exposition format.
class Metrics
{
public:
    MachineMetrics& addMachine(const std::string& name);
    void published() { ++publishes; }
    void publishFailed() { ++publishFailures; }
    void brokerConnected(bool connected);
    void setPending(size_t topics) { pending = topics; }
    std::string render() const;

private:
    std::vector<std::unique_ptr<MachineMetrics>> machines; // filled before any thread starts
    std::atomic<uint64_t> publishes{0};
    std::atomic<uint64_t> publishFailures{0};
    std::atomic<uint64_t> brokerConnects{0};
    std::atomic<bool> broker{false};
    std::atomic<size_t> pending{0};
};
