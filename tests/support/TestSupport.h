#pragma once
#include "CommTiming.h"
#include "SimulatedController.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Runs the library's waits at `scale` of their length while it lives (a fixture's first member),
// so that a silent controller costs a test a fraction of the real waits; bounds read
// CommTiming::now(). Rows that pin the real values run without it.
class ScaledWaits
{
public:
    explicit ScaledWaits(double scale) { CommTiming::setScale(scale); }
    ~ScaledWaits() { CommTiming::setScale(1.0); }
    ScaledWaits(const ScaledWaits&) = delete;
    ScaledWaits& operator=(const ScaledWaits&) = delete;
};
constexpr double kTestWaitScale = 0.25;

ReplyScript scriptOf(ReplyScript::Kind kind, int32_t status = 0, int delayMs = 0, int times = -1);

// Polls cond every 5 ms until it holds or timeoutMs passes.
bool waitUntil(const std::function<bool()>& cond, int timeoutMs);

// Request frames the simulator received with this code (TCP framing: code at offset 7).
std::vector<QByteArray> framesWithCode(SimulatedController& sim, uint8_t code);

// Addresses carried by a variable-read request frame.
std::vector<int32_t> readRequestAddresses(const QByteArray& frame);

// What the error callback saw last; the callback is a plain C function.
struct ReportedError
{
    int calls = 0;
    int32_t errorCmd = -1;
    int32_t cmdState = -1;
    std::string detail;
};
ReportedError reportedError();
void clearReportedError();
extern "C" void recordError(int32_t errorCmd, int32_t cmdState, const char* detail);

double processCpuMs();

// Restarts sim on an address above the range simulators pick by themselves, so that no parallel
// test process takes it while a test stops and starts the controller there again.
bool startRestartable(SimulatedController& sim);

// Collects the process's debug lines while it lives (one at a time per process).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::vector<std::string> lines() const;
    // Lines that contain text.
    int count(const std::string& text) const;
};
