// End-to-end latency of one synchronous command, export to simulator and back, on loopback.
#include "AsyncCommModule.h"
#include "SimulatedController.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <vector>

namespace {
// A simulator on a free loopback address, registered and connected as target cncID.
struct ConnectedTarget
{
    explicit ConnectedTarget(int id) : cncID(id)
    {
        if (!sim.start())
            return;
        QByteArray ip = sim.address().toLatin1();
        up = addTargetCnc(cncID, 1, ip.data(), 0) && connect(cncID);
    }
    ~ConnectedTarget()
    {
        disconnect(cncID);
        removeTargetCnc(cncID);
    }
    SimulatedController sim;
    int cncID;
    bool up = false;
};

void SynchronousCommandRoundTrip(benchmark::State& state)
{
    ConnectedTarget target(1);
    if (!target.up)
        state.SkipWithError("no simulator could be reached on loopback");
    for (auto _ : state)
        benchmark::DoNotOptimize(jogMotionV_Stop(1, 1, target.cncID));
}
BENCHMARK(SynchronousCommandRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

void ReadOf500Variables(benchmark::State& state)
{
    ConnectedTarget target(2);
    if (!target.up)
        state.SkipWithError("no simulator could be reached on loopback");
    std::vector<CncLong> addresses(500), values(500);
    for (int i = 0; i < 500; ++i)
        addresses[i] = 1000000 + i;
    for (auto _ : state)
        benchmark::DoNotOptimize(readVars(addresses.data(), 500, values.data(), target.cncID));
}
BENCHMARK(ReadOf500Variables)->UseRealTime()->Unit(benchmark::kMicrosecond);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the in-process simulator runs a Qt event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
