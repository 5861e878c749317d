// Oscilloscope sampling: what to sample, the transfer on or off, and the sampled points.
#include "AsynchronousClientLock.h"
#include "CommCodes.h"
#include "LogCategory.h"

#include <QDebug>

#include <algorithm>

using CommandTable::Msg;

namespace {
const char* const kGetOscPointSig = "long int AsynchronousClient::getOscPoint(long int, long int*, long int)";
}

int32_t AsynchronousClient::setOscAxis(int32_t tmpChn, int32_t tmpAxis, int32_t tmpType)
{
    qCDebug(acmLog).noquote() << "setOscAxis" << "tmpChn==" << tmpChn << "tmpAxis==" << tmpAxis << "tmpType==" << tmpType;
    return command({Msg::OscAxis, {0, {}, "setOscAxis(long int, long int, long int)"}}, {tmpChn, tmpAxis, tmpType});
}

int32_t AsynchronousClient::setOscTransEn(int32_t enable)
{
    return command({Msg::OscTransfer, {0, {}, "setOscTransEn(long int)"}}, {enable});
}

// Only the received points are written, and no more than count of them even when the controller
// sends more than were asked for; the entries of points after them keep what they held. A count
// the request cannot carry has always given 111 here, like a request that got no reply.
int32_t AsynchronousClient::getOscPoint(int32_t first, int32_t* points, int32_t count)
{
    ReportingLock lock(*this);
    if (!socketConnected()) {
        logDisconnected(kGetOscPointSig);
        return ResultCode::NotConnected;
    }
    if (!points)
        return ResultCode::ArgumentOutOfRange;
    replyList.clear();
    const Exchange done = transact(Msg::OscPoints, {first, count}, false);
    if (!done.replied)
        return ResultCode::NoValidReply;
    const int received = std::min(int(replyList.size()), std::max(count, 0));
    std::copy(replyList.cbegin(), replyList.cbegin() + received, points);
    return received == 0 ? ResultCode::NoOscPoint : done.result;
}
