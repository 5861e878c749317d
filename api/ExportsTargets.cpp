// Exports of the target registry and the connection.
#include "ExportFrame.h"

using namespace ExportFrame;

namespace {
// A reply wait below the gap that ends a serial frame could never see one; a minute is longer
// than any controller takes to answer.
constexpr CncLong kShortestReplyTimeoutMs = 100;
constexpr CncLong kLongestReplyTimeoutMs = 60000;
constexpr CncLong kLongestPollIntervalMs = 60000;

// 0 when value is 0 or within min..max and the target is known (then set is called), else 1.
template <class Set>
CncLong setTiming(int cncID, CncLong value, CncLong min, CncLong max, Set&& set)
{
    return onTarget<CncLong>(cncID, ResultCode::ArgumentOutOfRange, [&](TargetCnc& t) -> CncLong {
        if (value != 0 && (value < min || value > max))
            return ResultCode::ArgumentOutOfRange;
        set(t, int(value));
        return 0;
    });
}
} // namespace

extern "C" {

bool addTargetCnc(int cncID, int maxDncCh, const char* ip, int asyncMask)
{
    logLine("bool addTargetCnc(int, int, char*, int)", " cncID=", cncID, " maxDncCh=", maxDncCh,
            " ip=", ip ? static_cast<const char*>(ip) : "");
    return guarded(false, [&] {
        if (maxDncCh > TargetCnc::kMaxChannels)
            return false;
        auto target = std::make_unique<TargetCnc>();
        target->addChannels(maxDncCh);
        if (ip && !target->setAddress(QByteArray(ip)))
            return false;
        target->applyCommModes(asyncMask);
        return TargetRegistry::add(cncID, target);
    });
}

bool removeTargetCnc(int cncID)
{
    return guarded(false, [&] { return TargetRegistry::remove(cncID); });
}

bool connect(int cncID)
{
    return onTarget(cncID, false, [](TargetCnc& t) { return t.connectAll(); });
}

bool disconnect(int cncID)
{
    return onTarget(cncID, false, [](TargetCnc& t) { return t.disconnectAll(); });
}

bool getTcpConnectFlag(int cncID)
{
    return onTarget(cncID, false, [](TargetCnc& t) { return t.mainClient.getTcpConnectFlag(); });
}

bool setErrCallbackFunc(ErrCallbackFunc callback, int cncID)
{
    return onTarget(cncID, false, [&](TargetCnc& t) {
        t.setErrCallback(callback);
        return true;
    });
}

CncLong getErrorDeb(CncLong debugFlags, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) {
        c.setLogFlags(debugFlags);
        return 0;
    });
}

CncLong udpSetCncIp(const char* ip, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.udpSetCncIp(ip); });
}

CncLong setReplyTimeout(CncLong timeoutMs, int cncID)
{
    logLine("long int setReplyTimeout(long int, int)", " timeoutMs=", timeoutMs, " cncID=", cncID);
    return setTiming(cncID, timeoutMs, kShortestReplyTimeoutMs, kLongestReplyTimeoutMs,
                     [](TargetCnc& t, int ms) { t.setReplyWaitMs(ms); });
}

CncLong setPollInterval(CncLong intervalMs, int cncID)
{
    logLine("long int setPollInterval(long int, int)", " intervalMs=", intervalMs, " cncID=", cncID);
    return setTiming(cncID, intervalMs, 1, kLongestPollIntervalMs,
                     [](TargetCnc& t, int ms) { t.setPollIntervalMs(ms); });
}

} // extern "C"
