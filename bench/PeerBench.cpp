// The synchronous round trip of the library beside the peers it is measured against, all on
// loopback in one run: a raw socket ping-pong with the same frame sizes against the same minimal
// responder, and libmodbus reading registers from its own server. bench/compare.py turns the
// results into ratios. Also the asynchronous poll rate and the latency of a queued command.
#include "AsyncCommModule.h"
#include "CommandResponder.h"
#include "ModbusPeer.h"
#include "RawSocket.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace {

// jogMotionV_Stop(1, 1): 17 bytes out, a 10-byte reply back.
const uint8_t kJogStop[17] = {0, 0, 0, 0, 11, 0, 0, 'r', 2, 1, 0, 0, 0, 1, 0, 0, 0};
constexpr int kJogStopReply = 10;

std::vector<uint8_t> readOfTen()
{
    std::vector<uint8_t> f = {0, 0, 0, 0, 43, 0, 0, 'B', 10};
    for (int i = 0; i < 10; ++i) {
        const int32_t a = 1000000 + i;
        for (int b = 0; b < 4; ++b)
            f.push_back(uint8_t(uint32_t(a) >> (8 * b)));
    }
    return f; // 49 bytes, and so is its reply
}

CommandResponder& responder()
{
    static CommandResponder r;
    static const bool started = r.start(120);
    (void)started;
    return r;
}

void rawPingPong(benchmark::State& state, const uint8_t* request, int length, int replyLength)
{
    const int fd = RawSocket::connectTo(responder().address(), 60000);
    if (fd < 0) {
        state.SkipWithError("the responder cannot be reached");
        return;
    }
    uint8_t reply[512];
    for (auto _ : state) {
        if (!RawSocket::writeAll(fd, request, length) || !RawSocket::readExactly(fd, reply, replyLength)) {
            state.SkipWithError("the responder went away");
            break;
        }
    }
    RawSocket::closeSocket(fd);
}

void RawPingPong_17_10(benchmark::State& state)
{
    rawPingPong(state, kJogStop, sizeof kJogStop, kJogStopReply);
}
BENCHMARK(RawPingPong_17_10)->UseRealTime()->Unit(benchmark::kMicrosecond);

void RawPingPong_49_49(benchmark::State& state)
{
    const std::vector<uint8_t> request = readOfTen();
    rawPingPong(state, request.data(), int(request.size()), 49);
}
BENCHMARK(RawPingPong_49_49)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A registered and connected target on the responder; asyncMask 0 unless given.
struct Target
{
    explicit Target(int id, int asyncMask = 0) : cncID(id)
    {
        std::vector<char> ip(responder().address().begin(), responder().address().end());
        ip.push_back('\0');
        up = addTargetCnc(cncID, 1, ip.data(), asyncMask) && connect(cncID);
    }
    ~Target()
    {
        disconnect(cncID);
        removeTargetCnc(cncID);
    }
    int cncID;
    bool up = false;
};

void LibraryJogStop(benchmark::State& state)
{
    Target target(1);
    if (!target.up)
        state.SkipWithError("no target");
    for (auto _ : state)
        if (jogMotionV_Stop(1, 1, target.cncID) != 0)
            state.SkipWithError("the command failed");
}
BENCHMARK(LibraryJogStop)->UseRealTime()->Unit(benchmark::kMicrosecond);

void LibraryReadVars10(benchmark::State& state)
{
    Target target(2);
    if (!target.up)
        state.SkipWithError("no target");
    CncLong addresses[10], values[10];
    for (int i = 0; i < 10; ++i)
        addresses[i] = 1000000 + i;
    for (auto _ : state)
        if (readVars(addresses, 10, values, target.cncID) != 0)
            state.SkipWithError("the read failed");
}
BENCHMARK(LibraryReadVars10)->UseRealTime()->Unit(benchmark::kMicrosecond);

void ModbusRead10(benchmark::State& state)
{
    static ModbusPeer peer;
    static const bool up = peer.start(140, 1502);
    if (!up) {
        state.SkipWithError("no modbus server");
        return;
    }
    for (auto _ : state)
        if (!peer.readRegisters(10))
            state.SkipWithError("the read failed");
}
BENCHMARK(ModbusRead10)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Registered variables refreshed per second by an asynchronous client's poll.
void AsyncPollRate(benchmark::State& state)
{
    Target target(3, 1);
    std::vector<CncLong> addresses(size_t(state.range(0)));
    for (size_t i = 0; i < addresses.size(); ++i)
        addresses[i] = CncLong(1000000 + (i % 170000) + 1000000 * (i / 170000));
    if (!target.up || registerVars(addresses.data(), int(addresses.size()), target.cncID) != 0)
        state.SkipWithError("no target");
    for (auto _ : state) {
        const long before = responder().variablesRead();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["variables_per_s"] = double(responder().variablesRead() - before) / seconds;
    }
}
BENCHMARK(AsyncPollRate)->Arg(100)->Arg(1000)->Arg(10000)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// From the call that queues a command to its arrival at the controller, while the same client's
// worker polls 1000 registered variables.
void AsyncQueuedCommandLatency(benchmark::State& state)
{
    Target target(4, 1);
    std::vector<CncLong> addresses(1000);
    for (size_t i = 0; i < addresses.size(); ++i)
        addresses[i] = CncLong(1000000 + i);
    if (!target.up || registerVars(addresses.data(), int(addresses.size()), target.cncID) != 0)
        state.SkipWithError("no target");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (auto _ : state) {
        const long before = responder().requestsWithCode('v');
        if (servoOnAxisSet(1, 1, target.cncID) != 0)
            state.SkipWithError("not queued");
        while (responder().requestsWithCode('v') == before)
            std::this_thread::yield();
    }
}
BENCHMARK(AsyncQueuedCommandLatency)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
