// Drives one target on a controller for a given time through the exported functions: the
// target-level client polls 60 registered variables and takes writes, channel 1 (synchronous)
// jogs, reads and uploads programs, channel 2 (asynchronous) jogs, and a remote buffer streams
// now and then. A link that goes (the controller restarts) is connected again. Prints a line of
// counts every few seconds; tools/soak.py watches the process's memory, threads and descriptors.
//
//     soak_driver <controller address> <seconds>
#include "AsyncCommModule.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {
std::atomic<bool> stopNow{false};
void onSignal(int) { stopNow = true; }

constexpr int kCnc = 1;
using Clock = std::chrono::steady_clock;

std::string programText(int turn)
{
    std::string text;
    for (int line = 1; text.size() < 3000; ++line)
        text += "N" + std::to_string(line) + " G01 X" + std::to_string((line * 7 + turn) % 500) + " F300\n";
    return text;
}

struct Counts
{
    long ok = 0, failed = 0, uploads = 0, reconnects = 0, buffers = 0;
};
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <controller address> <seconds>\n", argv[0]);
        return 2;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::string ip = argv[1];
    const auto end = Clock::now() + std::chrono::seconds(std::atol(argv[2]));

    // Target-level client and channel 2 asynchronous, channel 1 synchronous.
    if (!addTargetCnc(kCnc, 2, &ip[0], 0b101)) {
        std::fprintf(stderr, "addTargetCnc failed\n");
        return 1;
    }
    std::vector<CncLong> polled;
    for (int i = 0; i < 60; ++i)
        polled.push_back(1004000 + i);
    registerVars(polled.data(), int(polled.size()), kCnc);
    for (int i = 0; i < 100 && !connect(kCnc); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::printf("ready\n");
    std::fflush(stdout);

    Counts n;
    auto count = [&n](bool ok) { ok ? ++n.ok : ++n.failed; };
    auto nextReport = Clock::now();
    auto nextUpload = Clock::now();
    auto nextBuffer = Clock::now();
    std::vector<CncLong> values(polled.size());
    for (int turn = 0; !stopNow && Clock::now() < end; ++turn) {
        if (!getTcpConnectFlag(kCnc)) {
            disconnect(kCnc);
            if (connect(kCnc))
                ++n.reconnects;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            continue;
        }
        count(readVars(polled.data(), int(polled.size()), values.data(), kCnc) == 0);
        CncLong address = polled[size_t(turn % 60)], value = turn;
        count(writeVars(&address, 1, &value, kCnc) == 0);
        count(jogMotionV_Run(1, 1 + turn % 3, 500, turn & 1, 0, kCnc) == 0);
        count(jogMotionV_Stop(1, 1 + turn % 3, kCnc) == 0);
        count(jogMotionV_Run(2, 1, 800, 0, 0, kCnc) == 0);
        CncLong status = 0;
        count(getAxisMotionStatus(1, 1, &status, kCnc) == 0);
        const char* running = getRuningPrg(1, kCnc);
        count(running && running[0] == 'O');
        if (Clock::now() >= nextUpload) {
            nextUpload = Clock::now() + std::chrono::seconds(2);
            std::string name = "S" + std::to_string(turn % 50);
            std::string text = programText(turn);
            const bool ok = uploadFile(2, 1, &name[0], &text[0], kCnc) == 0;
            count(ok);
            n.uploads += ok;
        }
        if (Clock::now() >= nextBuffer) {
            nextBuffer = Clock::now() + std::chrono::seconds(10);
            AcmRemoteBuffer* buffer = bufOpen(&ip[0], 1, 1);
            for (int i = 0; i < 100 && buffer && getBufState(buffer) != 5; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::string text = programText(turn);
            const bool ok = buffer && bufWrite(buffer, &text[0]) == 1;
            for (int i = 0; i < 200 && ok && getBufState(buffer) != 5; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            count(ok);
            n.buffers += ok;
            bufClose(buffer);
        }
        if (Clock::now() >= nextReport) {
            nextReport = Clock::now() + std::chrono::seconds(5);
            std::printf("counts ok=%ld failed=%ld uploads=%ld buffers=%ld reconnects=%ld\n", n.ok, n.failed, n.uploads,
                        n.buffers, n.reconnects);
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    disconnect(kCnc);
    removeTargetCnc(kCnc);
    std::printf("counts ok=%ld failed=%ld uploads=%ld buffers=%ld reconnects=%ld\ndone\n", n.ok, n.failed, n.uploads,
                n.buffers, n.reconnects);
    return 0;
}
