#pragma once
#include "AsyncCommModule.h"
#include "CommCodes.h"
#include "LogCategory.h"
#include "TargetCnc.h"
#include "TargetRegistry.h"

#include <QDebug>

// The common course of every target-addressed export: find the target, pick the client,
// call it, and never let an exception reach the C caller. The call holds a lease on the target
// throughout, so a removal on another thread never frees what the call uses.
namespace ExportFrame {

template <class R, class Body>
R guarded(R failValue, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failValue;
    }
}

template <class R, class Body>
R onTarget(int cncID, R noTarget, Body&& body) noexcept
{
    return guarded(noTarget, [&]() -> R {
        const TargetRegistry::Lease target = TargetRegistry::find(cncID);
        return target ? R(body(*target)) : noTarget;
    });
}

template <class Body>
CncLong onMain(int cncID, Body&& body) noexcept
{
    return onTarget<CncLong>(cncID, ResultCode::ArgumentOutOfRange, [&](TargetCnc& t) { return body(t.mainClient); });
}

template <class Body>
CncLong onChannel(int cncID, CncLong channel, Body&& body) noexcept
{
    return onTarget<CncLong>(cncID, ResultCode::ArgumentOutOfRange, [&](TargetCnc& t) -> CncLong {
        AsynchronousClient* client = t.channelClient(channel);
        return client ? CncLong(body(*client)) : CncLong(ResultCode::ArgumentOutOfRange);
    });
}

// One debug message of items joined by the stream's single spaces; nothing is formatted while
// the library's log category is off.
template <class... Items>
void logLine(const Items&... items) noexcept
{
    guarded(0, [&] {
        if (acmLog().isDebugEnabled()) {
            QDebug line = QMessageLogger(nullptr, 0, nullptr, acmLog().categoryName()).debug();
            (line << ... << items);
        }
        return 0;
    });
}

} // namespace ExportFrame
