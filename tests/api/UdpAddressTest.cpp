// The address-setting datagram through the export, redirected to a loopback simulator: the
// product sends it to the broadcast address, tests never let it leave the machine.
#include "ApiTestSupport.h"
#include "UdpAddressSender.h"

#include <QElapsedTimer>
#include <QUdpSocket>

#include <unistd.h>

namespace {
// Distinct per test process, so parallel runs never share a port.
quint16 testPort(int offset)
{
    return quint16(41000 + (getpid() % 4000) * 4 + offset);
}

class UdpAddressTest : public ApiFixture
{
protected:
    void SetUp() override
    {
        ApiFixture::SetUp();
        QByteArray ip = address();
        ASSERT_TRUE(addTargetCnc(kCnc, 1, ip.data(), 0));
    }
    void TearDown() override
    {
        UdpAddressSender::clearRedirect();
        ApiFixture::TearDown();
    }
};

TEST_F(UdpAddressTest, DatagramCarriesLeadInAndTextOnly)
{
    const quint16 port = testPort(0);
    ASSERT_TRUE(sim->startAddressService(port));
    UdpAddressSender::redirectForTesting(QHostAddress(sim->address()), port);
    char text[] = "192.168.10.20";
    EXPECT_EQ(udpSetCncIp(text, kCnc), 0) << "needs no command connection";
    ASSERT_TRUE(waitUntil([&] { return !sim->receivedAddressTexts().isEmpty(); }, 2000));
    EXPECT_EQ(sim->receivedAddressTexts().front(), QByteArray("192.168.10.20"));
}

TEST_F(UdpAddressTest, UnansweredDatagramStillSucceedsAfterTheWait)
{
    UdpAddressSender::redirectForTesting(QHostAddress(sim->address()), testPort(1)); // nobody listens
    char text[] = "10.0.0.8";
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(udpSetCncIp(text, kCnc), 0);
    EXPECT_GE(clock.elapsed(), 550);
    EXPECT_LT(clock.elapsed(), 1500);
}

TEST_F(UdpAddressTest, PortHeldExclusivelyGivesTen)
{
    const quint16 port = testPort(2);
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, port, QUdpSocket::DontShareAddress));
    UdpAddressSender::redirectForTesting(QHostAddress(sim->address()), port);
    char text[] = "10.0.0.9";
    EXPECT_EQ(udpSetCncIp(text, kCnc), 10);
}

TEST_F(UdpAddressTest, MissingOrOversizedTextIsRefused)
{
    UdpAddressSender::redirectForTesting(QHostAddress(sim->address()), testPort(3));
    EXPECT_EQ(udpSetCncIp(nullptr, kCnc), 1);
    std::string huge(300, '1');
    EXPECT_EQ(udpSetCncIp(&huge[0], kCnc), 1);
}
}
