// 256 targets of two channels, each connected to one of eight simulator programs on loopback:
// threads, resident memory per client, connect time, and whether one controller that has gone
// silent delays commands to the others.
#include "AsyncCommModule.h"
#include "CommandResponder.h"
#include "SimulatorProcesses.h"

#include <benchmark/benchmark.h>

#include <QDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kTargets = 256;
constexpr int kChannels = 2;
constexpr int kClientsPerTarget = kChannels + 2; // main and aux too
constexpr int kSimulators = 8;
constexpr int kDeadTarget = 10000;

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

double residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1024.0;
}

double medianMicroseconds(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0.0 : samples[samples.size() / 2];
}

// Median round trip of a command on each live target in turn.
double liveRoundTrip()
{
    std::vector<double> samples;
    for (int round = 0; round < 4; ++round) {
        for (int id = 1; id <= kTargets; ++id) {
            const auto start = std::chrono::steady_clock::now();
            jogMotionV_Stop(1 + id % kChannels, 1, id);
            samples.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
    }
    return medianMicroseconds(samples);
}

void ManyTargets(benchmark::State& state)
{
    SimulatorProcesses simulators;
    if (!simulators.start(ACM_SIMULATOR_PROGRAM, kSimulators, 180)) {
        state.SkipWithError("the simulator programs did not start");
        return;
    }
    CommandResponder silent;
    if (!silent.start(200, true)) {
        state.SkipWithError("no silent controller");
        return;
    }
    for (auto _ : state) {
        const int threadsBefore = threadCount();
        const double residentBefore = residentKiB();
        for (int id = 1; id <= kTargets; ++id) {
            std::string ip = simulators.addresses()[size_t(id % kSimulators)];
            addTargetCnc(id, kChannels, ip.data(), 0);
        }
        const auto start = std::chrono::steady_clock::now();
        int connected = 0;
        for (int id = 1; id <= kTargets; ++id)
            connected += connect(id);
        const double connectMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const double quietRoundTrip = liveRoundTrip();
        const int threadsAdded = threadCount() - threadsBefore;
        const double kibPerClient = (residentKiB() - residentBefore) / (kTargets * kClientsPerTarget);

        // A controller that accepts and never answers, hammered from another thread.
        std::string deadIp = silent.address();
        addTargetCnc(kDeadTarget, 1, deadIp.data(), 0);
        connect(kDeadTarget);
        std::atomic<bool> stop{false};
        std::thread hammer([&] {
            while (!stop)
                jogMotionV_Stop(1, 1, kDeadTarget);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const double roundTripBesideDead = liveRoundTrip();
        stop = true;
        hammer.join();

        state.counters["targets_connected"] = connected;
        state.counters["threads_added"] = threadsAdded;
        state.counters["KiB_per_client"] = kibPerClient;
        state.counters["connect_ms_per_target"] = connectMs / kTargets;
        state.counters["roundtrip_us"] = quietRoundTrip;
        state.counters["roundtrip_beside_dead_us"] = roundTripBesideDead;

        for (int id = 1; id <= kTargets; ++id) {
            disconnect(id);
            removeTargetCnc(id);
        }
        disconnect(kDeadTarget);
        removeTargetCnc(kDeadTarget);
    }
}
BENCHMARK(ManyTargets)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
