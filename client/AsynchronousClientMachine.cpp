// The running program: a command of the table that no export names as a row.
#include "AsynchronousClientLock.h"
#include "CommCodes.h"
#include "CommTiming.h"

using CommandTable::Msg;

namespace {
// An asynchronous client gives its worker this long to bring the answer in, looking this often.
constexpr int kRunningProgramWaitMs = 200;
constexpr int kRunningProgramLookMs = 5;
constexpr int32_t kRunningProgramKind = 4;
}

QByteArray AsynchronousClient::getRuningPrg(int32_t channel)
{
    ReportingLock lock(*this);
    const uint8_t channelByte = uint8_t(channel & 0xFF);
    if (channelByte < 1 || channelByte > 98)
        return QByteArray();
    if (retired) // as without a link: a removed target sends nothing more
        return QByteArray(1, char(ResultCode::NoValidReply));
    sendFrame.clear();
    const char name[2] = {char(channelByte), 0};
    const int32_t n = CmdGetRuningPrg(kRunningProgramKind, name);
    if (cmdQueue.size() <= kQueueLimit)
        cmdQueue.append(built(n));
    if (syncMode == 1) {
        takeNextFrame();
        if (!sendAndWait())
            return QByteArray(1, char(ResultCode::NoValidReply));
        if (replyErrorFlag)
            return QByteArray();
    } else {
        wakeWorker();
        for (int waited = 0; waited < kRunningProgramWaitMs && !(cmdQueue.isEmpty() && sendState == 1);
             waited += kRunningProgramLookMs) {
            lock.pause(kRunningProgramLookMs);
        }
    }
    // Bytes of the caller's own, not shared with the client's copy that the next reply replaces
    // on another thread.
    const auto it = cncStrings.find(kRunningProgramKind);
    return it != cncStrings.end() ? QByteArray(it->second.constData(), it->second.size()) : QByteArray("Unknown");
}

