// Exports of the target registry and the connection.
#include "ControllerAddress.h"
#include "ExportFrame.h"

using namespace ExportFrame;

extern "C" {

bool addTargetCnc(int cncID, int maxDncCh, const char* ip, int asyncMask)
{
    logLine("bool addTargetCnc(int, int, char*, int)", " cncID=", cncID, " maxDncCh=", maxDncCh,
            " ip=", ip ? static_cast<const char*>(ip) : "");
    return guarded(false, [&] {
        if (TargetRegistry::targetMap.count(cncID) || maxDncCh > TargetCnc::kMaxChannels)
            return false;
        if (ip && !ControllerAddress::parse(QByteArray(ip), 0).valid)
            return false;
        auto* target = new TargetCnc();
        target->ip = ip ? QByteArray(ip) : QByteArray();
        target->addChannels(maxDncCh);
        target->applyCommModes(asyncMask);
        TargetRegistry::targetMap[cncID] = target;
        return true;
    });
}

bool removeTargetCnc(int cncID)
{
    return guarded(false, [&] {
        const auto it = TargetRegistry::targetMap.find(cncID);
        if (it == TargetRegistry::targetMap.end())
            return false;
        TargetCnc* target = it->second;
        TargetRegistry::targetMap.erase(it);
        delete target;
        return true;
    });
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

CncLong CheckTcpWdt(int cncID)
{
    return onMain(cncID, [](AsynchronousClient& c) { return c.CheckTcpWdt(); });
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

} // extern "C"
