#pragma once
#include "FrameFields.h"
#include "TestSupport.h"

#include <QByteArray>

#include <functional>
#include <string>

// Shared pieces of the fault matrix: what a process holds (threads, descriptors), replies made
// by hand, and the record of each cell (fault x subsystem) with the outcome it came to.

struct ProcessResources
{
    int threads = 0;
    int descriptors = 0;
    static ProcessResources now();
};

// Waits (bounded) until the process holds no more threads and descriptors than `before`;
// a worker or a socket of a finished cell may take a moment to go. Returns what it holds then.
ProcessResources settleTo(const ProcessResources& before, int timeoutMs = 3000);

// Milliseconds since construction.
class Stopwatch
{
public:
    Stopwatch();
    qint64 ms() const;

private:
    std::chrono::steady_clock::time_point m_start;
};

// One cell of the matrix. Construct it after the fixture's simulator has started and before the
// cell makes any client; call done() once every object of the cell is gone. It checks that the
// threads and descriptors came back, and records the outcome (shown in the test's XML output as
// the property "cell" and printed with the matrix when the test program ends).
class FaultCell
{
public:
    FaultCell(std::string fault, std::string subsystem);
    void outcome(const std::string& text);
    void done();

private:
    std::string m_fault, m_subsystem, m_outcome;
    ProcessResources m_before;
    Stopwatch m_clock;
};
