// Oscilloscope sampling: what to sample, the transfer on or off, and the sampled points.
#include "AsynchronousClient.h"
#include "LogCategory.h"
#include "CommCodes.h"

#include <QDebug>

#include <algorithm>

namespace {
const char* const kSetOscAxisSig = "long int AsynchronousClient::setOscAxis(long int, long int, long int)";
const char* const kSetOscTransEnSig = "long int AsynchronousClient::setOscTransEn(long int)";
const char* const kGetOscPointSig = "long int AsynchronousClient::getOscPoint(long int, long int*, long int)";
}

int32_t AsynchronousClient::setOscAxis(int32_t tmpChn, int32_t tmpAxis, int32_t tmpType)
{
    return runCommand(kSetOscAxisSig, [&] {
        qCDebug(acmLog).noquote() << "setOscAxis" << "tmpChn==" << tmpChn << "tmpAxis==" << tmpAxis << "tmpType==" << tmpType;
        return CmdSetOscAxis(tmpChn, tmpAxis, tmpType);
    });
}

int32_t AsynchronousClient::setOscTransEn(int32_t enable)
{
    return runCommand(kSetOscTransEnSig, [&] { return CmdSetOscTransEn(enable); });
}

// Only the received points are written, and no more than count of them even when the controller
// sends more than were asked for; the entries of points after them keep what they held.
int32_t AsynchronousClient::getOscPoint(int32_t first, int32_t* points, int32_t count)
{
    try {
        std::lock_guard<std::mutex> lock(mutex);
        if (!socketConnected()) {
            logDisconnected(kGetOscPointSig);
            return ResultCode::NotConnected;
        }
        if (!points)
            return ResultCode::ArgumentOutOfRange;
        oscPoints.clear();
        const Exchange done = queueAndExchange(CmdGetOscPoint(first, count), false);
        if (!done.replied)
            return ResultCode::NoValidReply;
        const int received = int(std::min<qsizetype>(oscPoints.size(), std::max(count, 0)));
        std::copy(oscPoints.cbegin(), oscPoints.cbegin() + received, points);
        return received == 0 ? ResultCode::NoOscPoint : done.result;
    } catch (...) {
        qCDebug(acmLog).noquote() << kGetOscPointSig << "exception";
        return ResultCode::NoValidReply;
    }
}
