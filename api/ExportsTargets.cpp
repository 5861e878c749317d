// Exports of the target registry and the connection.
#include "ExportFrame.h"

using namespace ExportFrame;

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

} // extern "C"
