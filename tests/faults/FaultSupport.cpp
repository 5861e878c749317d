#include "FaultSupport.h"

#include <QDir>

#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace {
int entriesOf(const char* folder)
{
    return int(QDir(QString::fromLatin1(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

struct Row
{
    std::string fault, subsystem, outcome;
    bool passed;
};

std::mutex rowsLock;
std::vector<Row> rows;

// Prints the cells this program ran as a table, faults down, subsystems across.
struct MatrixPrinter : ::testing::Environment
{
    void TearDown() override
    {
        std::lock_guard<std::mutex> g(rowsLock);
        if (rows.empty())
            return;
        std::printf("\nFault matrix (this program's cells):\n");
        for (const Row& r : rows)
            std::printf("  %-34s | %-16s | %s | %s\n", r.fault.c_str(), r.subsystem.c_str(), r.passed ? "pass" : "FAIL",
                        r.outcome.c_str());
    }
};
const auto* const printer = ::testing::AddGlobalTestEnvironment(new MatrixPrinter);
} // namespace

ProcessResources ProcessResources::now()
{
    ProcessResources r;
    r.threads = entriesOf("/proc/self/task");
    r.descriptors = entriesOf("/proc/self/fd") - 1; // the listing's own descriptor
    return r;
}

ProcessResources settleTo(const ProcessResources& before, int timeoutMs)
{
    ProcessResources after = ProcessResources::now();
    waitUntil([&] {
        after = ProcessResources::now();
        return after.threads <= before.threads && after.descriptors <= before.descriptors;
    }, timeoutMs);
    return after;
}


Stopwatch::Stopwatch() : m_start(std::chrono::steady_clock::now()) {}

qint64 Stopwatch::ms() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count();
}

FaultCell::FaultCell(std::string fault, std::string subsystem)
    : m_fault(std::move(fault)), m_subsystem(std::move(subsystem)), m_before(ProcessResources::now())
{
    // Replaced by done(); stays when the cell stops at a fatal failure.
    ::testing::Test::RecordProperty("cell", m_fault + " | " + m_subsystem + " | did not finish");
}

void FaultCell::outcome(const std::string& text)
{
    m_outcome = text;
}

void FaultCell::done()
{
    const ProcessResources after = settleTo(m_before);
    EXPECT_LE(after.threads, m_before.threads) << "a thread of the cell is still running";
    EXPECT_LE(after.descriptors, m_before.descriptors) << "a descriptor of the cell is still open";
    const bool passed = !::testing::Test::HasFailure();
    const std::string text = m_outcome + "; threads " + std::to_string(m_before.threads) + "->" +
                             std::to_string(after.threads) + ", fds " + std::to_string(m_before.descriptors) + "->" +
                             std::to_string(after.descriptors) + "; " + std::to_string(m_clock.ms()) + " ms in all";
    ::testing::Test::RecordProperty("cell", m_fault + " | " + m_subsystem + " | " + text);
    std::lock_guard<std::mutex> g(rowsLock);
    rows.push_back({m_fault, m_subsystem, text, passed});
}
