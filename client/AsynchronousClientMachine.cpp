// Commands of the table that no export names as a row: the running program, the servo bus.
#include "AsynchronousClientLock.h"
#include "CommCodes.h"
#include "CommTiming.h"

using CommandTable::Msg;
using CommandTable::V3;

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

int32_t AsynchronousClient::busParameterInit() { return command({Msg::BusInit}, {}); }
int32_t AsynchronousClient::busAxisParameterWr(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) { return command({Msg::BusAxisParWr}, {a1, a2, a3, a4, a5}); }
int32_t AsynchronousClient::busAxisParameterRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t* value) { return command({Msg::BusAxisParRd}, {a1, a2, a3, a4}, {{V3, value}}); }
int32_t AsynchronousClient::busAxisParameterWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t* value) { return command({Msg::BusAxisParWrRd}, {a1, a2, a3, a4, a5}, {{V3, value}}); }
int32_t AsynchronousClient::busAxisParametersWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return command({Msg::BusAxisParsWrRd}, {a1, a2, a3, a4}); }
int32_t AsynchronousClient::busAxisParameterFileLS(int32_t a1, int32_t a2, int32_t a3) { return command({Msg::BusAxisParFile}, {a1, a2, a3}); }
int32_t AsynchronousClient::busAxesParameterFileLS(int32_t a1, int32_t a2) { return command({Msg::BusAxesParFile}, {a1, a2}); }
int32_t AsynchronousClient::busAxisMisCmdRun(int32_t a1, int32_t a2) { return command({Msg::BusAxisMisCmd}, {a1, a2}); }
int32_t AsynchronousClient::busGetSlvInfo(int32_t a1) { return command({Msg::BusSlaveInfo}, {a1}); }
int32_t AsynchronousClient::busGetSlvHardAxisList() { return command({Msg::BusSlaveAxes}, {}); }
int32_t AsynchronousClient::busGetSlvNum(int32_t* value) { return command({Msg::BusSlaveCount}, {}, {{V3, value}}); }
int32_t AsynchronousClient::busIsReady() { return command({Msg::BusIsReady}, {}); }
int32_t AsynchronousClient::busIsTimeOut() { return command({Msg::BusIsTimeOut}, {}); }
