#pragma once
#include <QByteArray>
#include <QHostAddress>

#include <cstdint>

// Sends the address-setting datagram from the shared local port and drains the answers,
// which nobody examines. The product sends to the IPv4 broadcast address; tests redirect
// it to a loopback address (and port) so nothing leaves the machine.
class UdpAddressSender
{
public:
    // 0 once sent (answered or not), 10 when the local port cannot be bound.
    static int32_t send(const QByteArray& datagram);

    // Not exported: only code linked into the library (tests) can reach it.
    static void redirectForTesting(const QHostAddress& destination, quint16 port);
    static void clearRedirect();
};
