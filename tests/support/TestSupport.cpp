#include "TestSupport.h"

#include <QCoreApplication>

#include <mutex>
#include <thread>
#include <sys/resource.h>

namespace {
std::mutex reportMutex;

// Qt wants an application object before sockets are used on several threads.
struct QtApplication : ::testing::Environment
{
    void SetUp() override
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "acm_tests";
            static char* argv[] = {name, nullptr};
            app.reset(new QCoreApplication(argc, argv));
        }
    }
    // Gone before exit handlers run: Qt's own statics are torn down there.
    void TearDown() override { app.reset(); }
    std::unique_ptr<QCoreApplication> app;
};
const auto* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtApplication);
}

ReplyScript scriptOf(ReplyScript::Kind kind, int32_t status, int delayMs, int times)
{
    ReplyScript s;
    s.kind = kind;
    s.status = status;
    s.delayMs = delayMs;
    s.times = times;
    return s;
}

bool waitUntil(const std::function<bool()>& cond, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (cond())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return cond();
}

std::vector<QByteArray> framesWithCode(SimulatedController& sim, uint8_t code)
{
    std::vector<QByteArray> out;
    for (const QByteArray& f : sim.receivedFrames())
        if (f.size() > 7 && uint8_t(f[7]) == code)
            out.push_back(f);
    return out;
}

std::vector<int32_t> readRequestAddresses(const QByteArray& frame)
{
    std::vector<int32_t> out;
    if (frame.size() < 9)
        return out;
    const int count = uint8_t(frame[8]);
    const auto* p = reinterpret_cast<const uint8_t*>(frame.constData()) + 9;
    for (int i = 0; i < count && 9 + 4 * (i + 1) <= frame.size(); ++i)
        out.push_back(int32_t(uint32_t(p[4 * i]) | uint32_t(p[4 * i + 1]) << 8 | uint32_t(p[4 * i + 2]) << 16 |
                              uint32_t(p[4 * i + 3]) << 24));
    return out;
}

ReportedError lastReport;

ReportedError reportedError()
{
    std::lock_guard<std::mutex> lock(reportMutex);
    return lastReport;
}

void clearReportedError()
{
    std::lock_guard<std::mutex> lock(reportMutex);
    lastReport = ReportedError{};
}

extern "C" void recordError(int32_t errorCmd, int32_t cmdState, const char* detail)
{
    std::lock_guard<std::mutex> lock(reportMutex);
    ReportedError& r = lastReport;
    ++r.calls;
    r.errorCmd = errorCmd;
    r.cmdState = cmdState;
    r.detail = detail ? detail : "";
}

namespace {
std::mutex captureMutex;
std::vector<std::string> capturedLines;
QtMessageHandler previousHandler = nullptr;

void captureLine(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::lock_guard<std::mutex> lock(captureMutex);
    capturedLines.push_back(text.toStdString());
}
}

LogCapture::LogCapture()
{
    {
        std::lock_guard<std::mutex> lock(captureMutex);
        capturedLines.clear();
    }
    previousHandler = qInstallMessageHandler(captureLine);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previousHandler);
}

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(captureMutex);
    return capturedLines;
}

int LogCapture::count(const std::string& text) const
{
    int n = 0;
    for (const std::string& line : lines())
        n += line.find(text) != std::string::npos;
    return n;
}

// Addresses of their own, so that no other simulator takes a stopped one before it starts again.
bool startRestartable(SimulatedController& sim)
{
    constexpr int kRestartableHosts = 40;
    return sim.startOnFreeHost(SimulatedController::kLastAutoHost + 1, kRestartableHosts);
}

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

#if defined(__SANITIZE_THREAD__)
// Reports from inside Qt that the race detector cannot follow, none with an access of ours:
// QThread joins through Qt's own futex, so the condition it finishes with looks unjoined when
// the QThread is destroyed; glib's wake-up descriptor is written by QThread::quit while the
// finishing loop closes it; the message pattern that the first debug lines of several threads at
// once set up and read is guarded by Qt's own futex mutex.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:libglib-2.0.so.0\n"
           "race:qFormatLogMessage\n";
}
#endif
