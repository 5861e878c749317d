#include "UdpAddressSender.h"
#include "CommTiming.h"

#include "AddressDatagram.h"
#include "CommCodes.h"

#include <QUdpSocket>

#include <mutex>

namespace {

std::mutex redirectMutex;
QHostAddress redirectAddress;
quint16 redirectPort = 0;

void drain(QUdpSocket& socket)
{
    while (socket.hasPendingDatagrams())
        socket.readDatagram(nullptr, 0);
}
}

int32_t UdpAddressSender::send(const QByteArray& datagram)
{
    QHostAddress destination(QHostAddress::Broadcast);
    quint16 port = AddressDatagram::kPort;
    {
        std::lock_guard<std::mutex> lock(redirectMutex);
        if (redirectPort != 0) {
            destination = redirectAddress;
            port = redirectPort;
        }
    }
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress))
        return ResultCode::UdpPortNotBound;
    socket.writeDatagram(datagram, destination, port);
    drain(socket);
    if (!socket.hasPendingDatagrams())
        socket.waitForReadyRead(CommTiming::now().addressAnswerWaitMs);
    drain(socket);
    return ResultCode::Success;
}

void UdpAddressSender::redirectForTesting(const QHostAddress& destination, quint16 port)
{
    std::lock_guard<std::mutex> lock(redirectMutex);
    redirectAddress = destination;
    redirectPort = port;
}

void UdpAddressSender::clearRedirect()
{
    redirectForTesting(QHostAddress(), 0);
}
