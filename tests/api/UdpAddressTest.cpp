// The address-setting datagram when nobody answers or its port is taken (its text and refusals
// are rows of ExportTableTest); redirected to loopback, never the broadcast address.
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
}
