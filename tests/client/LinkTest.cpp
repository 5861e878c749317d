#include "ClientTestSupport.h"

#include <QElapsedTimer>

namespace {
using LinkTest = ClientFixture;

TEST_F(LinkTest, ConnectWritesLinkMarkerOnceAndDisconnectClearsIt)
{
    connectClient(1);
    EXPECT_EQ(sim->variable(1110037), 1);
    sim->clearReceived();
    EXPECT_TRUE(client->tcpConnect(sim->address().toLatin1())) << "already connected";
    EXPECT_TRUE(sim->receivedFrames().empty());
    EXPECT_EQ(client->lastIp, sim->address().toLatin1());
    EXPECT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(sim->variable(1110037), 0);
    EXPECT_FALSE(client->getTcpConnectFlag());
    EXPECT_EQ(client->jogMotionV_Run(1, 1, 1, 0, 0), 7);
}

TEST_F(LinkTest, ConnectToSilentAddressFailsQuickly)
{
    AsynchronousClient lonely;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(lonely.tcpConnect(QByteArray("127.1.2.3")));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_FALSE(lonely.getTcpConnectFlag());
}

}
