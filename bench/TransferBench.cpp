// Program text through the command connection (400 bytes per request) and through the remote
// buffer (480 bytes per request), against the simulator program on loopback, beside the limit
// each has: the round trip of a request and reply of the same sizes, measured in the same run
// with a raw socket against the same simulator. bench/compare.py prints the ratios.
#include "AsyncCommModule.h"
#include "RawSocket.h"
#include "SimulatorProcesses.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBlock = 400;
constexpr int kPiece = 480;

SimulatorProcesses& simulator()
{
    static SimulatorProcesses s;
    static const bool started = s.start(ACM_SIMULATOR_PROGRAM, 1, 210);
    (void)started;
    return s;
}

std::string address()
{
    return simulator().addresses().empty() ? std::string() : simulator().addresses().front();
}

// TCP frame: header, command letter, sub-code, payload.
std::vector<uint8_t> frame(uint8_t code, uint8_t sub, const std::string& payload)
{
    const int n = 9 + int(payload.size());
    std::vector<uint8_t> f = {0, 0, 0, 0, uint8_t((n - 6) & 0xFF), uint8_t((n - 6) >> 8), 0, code, sub};
    for (char c : payload)
        f.push_back(uint8_t(c));
    return f;
}

// Declares the program, then sends appends of payloadSize bytes and reads their replies.
void rawAppends(benchmark::State& state, int payloadSize)
{
    const int fd = RawSocket::connectTo(address(), 60000);
    if (fd < 0) {
        state.SkipWithError("the simulator cannot be reached");
        return;
    }
    uint8_t reply[64];
    const std::vector<uint8_t> declare = frame('d', 1, std::string("\x01\x01RAW", 5));
    RawSocket::writeAll(fd, declare.data(), int(declare.size()));
    RawSocket::readExactly(fd, reply, 12);
    const std::vector<uint8_t> append = frame('d', 2, std::string(size_t(payloadSize), 'G'));
    for (auto _ : state) {
        if (!RawSocket::writeAll(fd, append.data(), int(append.size())) || !RawSocket::readExactly(fd, reply, 10)) {
            state.SkipWithError("the simulator went away");
            break;
        }
    }
    const std::vector<uint8_t> end = frame('d', 4, std::string());
    RawSocket::writeAll(fd, end.data(), int(end.size()));
    RawSocket::closeSocket(fd);
}

void RawRoundTrip_409_10(benchmark::State& state) { rawAppends(state, kBlock); }
BENCHMARK(RawRoundTrip_409_10)->UseRealTime()->Unit(benchmark::kMicrosecond);

void RawRoundTrip_489_10(benchmark::State& state) { rawAppends(state, kPiece); }
BENCHMARK(RawRoundTrip_489_10)->UseRealTime()->Unit(benchmark::kMicrosecond);

// 1000 blocks of program text per iteration, through the text transfer of one channel.
void TextTransfer(benchmark::State& state)
{
    std::string ip = address();
    if (!addTargetCnc(1, 1, ip.data(), 0) || !connect(1))
        state.SkipWithError("no target");
    std::string text(size_t(kBlock) * 1000, 'G');
    for (size_t i = 39; i < text.size(); i += 40)
        text[i] = '\n';
    char name[] = "BENCH";
    for (auto _ : state) {
        if (setTransFileType(1, 1, name, 1) != 0 || append(&text[0], 1, 1) != 0 || fileEnd(1, 1) != 0)
            state.SkipWithError("the transfer failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    disconnect(1);
    removeTargetCnc(1);
}
BENCHMARK(TextTransfer)->UseRealTime()->Unit(benchmark::kMillisecond);

// 1000 pieces per iteration through a remote buffer in DNC mode, from the write until the queue
// has drained.
void RemoteBufferStream(benchmark::State& state)
{
    std::string ip = address();
    AcmRemoteBuffer* buffer = bufOpen(&ip[0], 1, 1);
    const auto ready = [&] {
        const CncLong s = getBufState(buffer);
        return s == 0 || s == 5;
    };
    for (int i = 0; i < 200 && buffer && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!buffer || !ready()) {
        state.SkipWithError("no buffer");
        return;
    }
    std::string text(size_t(kPiece) * 1000, 'G');
    const CncLong full = getBufValidCnt(buffer);
    for (auto _ : state) {
        if (bufWrite(buffer, &text[0]) != 1) {
            state.SkipWithError("refused");
            break;
        }
        // Sleep between looks rather than spin: on two cores a spinning caller takes the CPU
        // that the worker and the simulator need (at most 1 ms late on ~70 ms: against us).
        while (getBufValidCnt(buffer) != full || getBufState(buffer) != 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    bufClose(buffer);
}
BENCHMARK(RemoteBufferStream)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
