#include "TargetCnc.h"

#include <QThread>

TargetCnc::TargetCnc()
{
    channelClients.append(new AsynchronousClient());
}

// Each client's destructor stops and joins its worker before its members go.
TargetCnc::~TargetCnc()
{
    for (AsynchronousClient* client : channelClients)
        delete client;
    channelClients.clear();
}

void TargetCnc::addChannels(int maxDncCh)
{
    for (int k = 1; k < maxDncCh; ++k)
        channelClients.append(new AsynchronousClient());
    channelCount = int32_t(channelClients.size());
}

bool channelIsAsync(int asyncMask, int channel)
{
    if (channel < 1 || channel > 31)
        return false;
    const int32_t bit = int32_t(uint32_t(1) << channel);
    return (int32_t(asyncMask) & bit) > 0;
}

void TargetCnc::applyCommModes(int asyncMask)
{
    mainClient.setSyncMode((asyncMask & 1) ? 0 : 1);
    for (int i = 0; i < channelClients.size(); ++i)
        channelClients[i]->setSyncMode(channelIsAsync(asyncMask, i + 1) ? 0 : 1);
}

void TargetCnc::setErrCallback(ErrCallbackFunc callback)
{
    mainClient.errCallback = callback;
    for (AsynchronousClient* client : channelClients)
        client->errCallback = callback;
}

bool TargetCnc::connectAll()
{
    if (!mainClient.tcpConnect(ip))
        return false;
    auxClient.tcpConnect(ip);
    for (AsynchronousClient* client : channelClients) {
        if (!client->tcpConnect(ip))
            return false;
    }
    return true;
}

bool TargetCnc::disconnectAll()
{
    bool ok = mainClient.tcpDisconnect();
    if (!ok)
        return false;
    for (AsynchronousClient* client : channelClients) {
        ok = client->tcpDisconnect();
        if (!ok)
            break;
    }
    return ok;
}

AsynchronousClient* TargetCnc::channelClient(int32_t channel) const
{
    if (channel < 1 || channel > channelCount)
        return nullptr;
    return channelClients.at(channel - 1);
}

char* TargetCnc::queryRunningProgram(int32_t channel)
{
    const QByteArray answer = auxClient.getRuningPrg(channel);
    std::lock_guard<std::mutex> lock(runningPrgMutex);
    QByteArray& mine = runningPrgBuf[QThread::currentThreadId()];
    mine = answer;
    return mine.data();
}
