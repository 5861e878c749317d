#pragma once
#include <QList>
#include <QString>

#include <cstdint>

// The controller's error reports that reach the library's error callback. The callback may run
// on a client's worker thread, so the list has a lock of its own.
namespace ErrorReports {
struct Entry
{
    int32_t errorCmd;
    int32_t cmdState;
    QString detail;
};

// The function to hand to setErrCallbackFunc.
extern "C" void record(int32_t errorCmd, int32_t cmdState, const char* detail);
// The reports recorded since the last call, oldest first.
QList<Entry> take();
// Whether a report is waiting to be taken.
bool any();
} // namespace ErrorReports
