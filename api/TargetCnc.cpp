#include "TargetCnc.h"

#include "ControllerAddress.h"
#include "SerialLine.h"
#include "SideBySide.h"

#include <algorithm>
#include <vector>

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

bool TargetCnc::setAddress(const QByteArray& address)
{
    const ControllerAddress parsed = ControllerAddress::parse(address, 0);
    if (!parsed.valid)
        return false;
    ip = address;
    if (parsed.serial) {
        const auto line = std::make_shared<SerialLine>(parsed.line);
        for (AsynchronousClient* client : allClients())
            client->useLink(SerialLine::user(line), parsed.line.frameMode);
    }
    return true;
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
    mainClient.setErrCallback(callback);
    for (AsynchronousClient* client : channelClients)
        client->setErrCallback(callback);
}

void TargetCnc::setReplyWaitMs(int ms)
{
    for (AsynchronousClient* client : allClients())
        client->setReplyWaitMs(ms);
}

void TargetCnc::setPollIntervalMs(int ms)
{
    for (AsynchronousClient* client : allClients())
        client->setPollIntervalMs(ms);
}

// The links open one after the other, in the order a controller has always seen them, and the
// first target or channel client that cannot connect ends the round as before. Each client's
// link marker, whose reply a synchronous client waits for, goes on a thread of its own as soon
// as that link is up: a controller that accepts but never answers costs one wait, not one per
// client. The markers are joined before the call returns.
bool TargetCnc::connectAll()
{
    std::lock_guard<std::mutex> turn(linkLock);
    SideBySide markers;
    const auto open = [&](AsynchronousClient* client) {
        const AsynchronousClient::LinkOpening opening = client->openLink(ip);
        if (opening == AsynchronousClient::LinkOpening::Opened)
            markers.start([client] { client->writeLinkMarker(1); });
        return opening != AsynchronousClient::LinkOpening::Failed;
    };
    if (!open(&mainClient))
        return false;
    open(&auxClient);
    for (AsynchronousClient* client : channelClients) {
        if (!open(client))
            return false;
    }
    return true;
}

// The target client and the channel clients disconnect side by side (a synchronous one writes
// the link marker and waits for its reply). Each thread writes only its own result slot, read
// after the join.
bool TargetCnc::disconnectAll()
{
    std::lock_guard<std::mutex> turn(linkLock);
    std::vector<AsynchronousClient*> clients{&mainClient};
    clients.insert(clients.end(), channelClients.begin(), channelClients.end());
    std::vector<char> closed(clients.size(), 0);
    {
        SideBySide closing;
        for (size_t i = 0; i < clients.size(); ++i)
            closing.start([&clients, &closed, i] { closed[i] = clients[i]->tcpDisconnect() ? 1 : 0; });
    }
    return std::all_of(closed.begin(), closed.end(), [](char ok) { return ok != 0; });
}

AsynchronousClient* TargetCnc::channelClient(int32_t channel) const
{
    if (channel < 1 || channel > channelCount)
        return nullptr;
    return channelClients.at(channel - 1);
}

std::vector<AsynchronousClient*> TargetCnc::allClients()
{
    std::vector<AsynchronousClient*> clients{&mainClient, &auxClient};
    clients.insert(clients.end(), channelClients.begin(), channelClients.end());
    return clients;
}

void TargetCnc::retire()
{
    const std::vector<AsynchronousClient*> clients = allClients();
    for (AsynchronousClient* client : clients)
        client->retire();
    for (AsynchronousClient* client : clients)
        client->joinWorker();
}
