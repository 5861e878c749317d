#include "AsynchronousClientLock.h"
#include "CommTiming.h"
#include "LogCategory.h"
#include "CommCodes.h"

#include "AddressDatagram.h"
#include "CommLog.h"
#include "ControllerAddress.h"
#include "UdpAddressSender.h"

#include <QDebug>

namespace {
constexpr quint16 kCommandPort = 60000;
constexpr int32_t kLinkMarkerVar = 1110037;
constexpr int32_t kProbeVar = 1020300;
}

bool AsynchronousClient::tcpConnect(const QByteArray& ip)
{
    const LinkOpening opening = openLink(ip);
    if (opening == LinkOpening::Opened)
        writeLinkMarker(1);
    return opening != LinkOpening::Failed;
}

void AsynchronousClient::writeLinkMarker(int32_t value)
{
    writeVars(&kLinkMarkerVar, 1, &value);
}

AsynchronousClient::LinkOpening AsynchronousClient::openLink(const QByteArray& ip)
{
    if (retired)
        return LinkOpening::Failed;
    // An asynchronous worker told to stop may still be closing the socket.
    if (!isConnected && isRunning())
        waitForEndingWorker();
    // A live link is left alone; one that the peer closed or reset, for instance across a
    // controller restart, is opened again.
    if (transport->isOpen() && transport->checkLink() && (syncMode == 1 || isRunning()))
        return LinkOpening::AlreadyUp;
    if (isRunning()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            isConnected = false;
        }
        wakeWorker();
        waitForEndingWorker();
    }
    {
        // Commands queued for a link that is gone are not sent on the new one: a jog asked for
        // before a controller restart must not move an axis after it. A file declared on the
        // old connection is not open on the new one either: text needs a new declaration.
        std::lock_guard<std::mutex> lock(mutex);
        cmdQueue.clear();
        isSetFileOk = false;
        polledAddresses.clear(); // values read on an earlier link may be stale on this one
    }
    const ControllerAddress address = ControllerAddress::parse(ip, kCommandPort);
    const QByteArray& host = address.host;
    const bool ok = address.valid && transport->open(host, address.port, CommTiming::now().connectWaitMs);
    isConnected = ok;
    if (ok && syncMode == 0)
        startWorker();
    qCDebug(acmLog).noquote() << "tcpConnect" << " ip =" << QString::fromLatin1(host) << " isConnected = "
                       << (ok ? "true" : "false");
    if (!ok)
        return LinkOpening::Failed;
    std::lock_guard<std::mutex> lock(mutex); // the FTP operations read it under the lock
    lastIp = host;
    return LinkOpening::Opened;
}

bool AsynchronousClient::tcpDisconnect()
{
    // A transfer waiting for DNC memory on another thread ends at its next wake-up; the lock
    // is not taken here, so the count goes up even while that transfer sends a block.
    ++disconnectCalls;
    transferWake.notify_all();
    transport->cutLongWaits(); // before the lock, which a synchronous request holds while it waits
    if (!transport->isOpen())
        return true;
    if (syncMode == 0) {
        {
            // Commands queued before the disconnect must not reach the controller on a later
            // connection: they are dropped here, and commands from now on find no link.
            std::lock_guard<std::mutex> lock(mutex);
            isConnected = false;
            cmdQueue.clear();
        }
        wakeWorker();
        return true;
    }
    if (logFlags & LogFlag::Progress)
        qCDebug(acmLog).noquote() << "tcpDisconnect" << " isConnected = " << (isConnected ? "true" : "false");
    // The marker and the close in one hold of the client: a command of another thread then
    // either ends its round trip before or finds no link (7), never has the link closed
    // between its look at the link and its request (which read as a lost reply, 111).
    ReportingLock lock(*this);
    const int32_t marker = 0;
    writeVarsLocked(&kLinkMarkerVar, 1, &marker, true);
    if (transport->close(CommTiming::now().connectWaitMs))
        isConnected = false;
    return true;
}

bool AsynchronousClient::getTcpConnectFlag()
{
    int32_t value = 0;
    const int32_t result = readVars(&kProbeVar, 1, &value);
    // An asynchronous read sends nothing: its 111 says only that no poll read the probe, not
    // that the link is down.
    if (syncMode == 0)
        return result != ResultCode::NotConnected;
    return result != ResultCode::NotConnected && result != ResultCode::NoValidReply;
}

void AsynchronousClient::setSyncMode(int32_t mode)
{
    if (mode == syncMode)
        return;
    tcpDisconnect();
    {
        std::lock_guard<std::mutex> lock(mutex);
        syncMode = mode;
        threadStop = (mode != 0);
    }
    wakeWorker();
}

void AsynchronousClient::setLogFlags(int32_t flags)
{
    logFlags = flags;
    CommLog::setEnabled(flags != 0);
}

// Holds the mutex for the whole exchange, so it waits for and blocks synchronous commands.
int32_t AsynchronousClient::udpSetCncIp(const char* text)
{
    const QByteArray datagram = AddressDatagram::build(text);
    if (datagram.isEmpty())
        return ResultCode::ArgumentOutOfRange;
    std::lock_guard<std::mutex> lock(mutex);
    return UdpAddressSender::send(datagram);
}
