#include "ClientTestSupport.h"

#include <QElapsedTimer>

namespace {
using SyncClientTest = ClientFixture;

// The link marker is written once per link and cleared by the disconnect; without a link every
// call gives 7 and writes no output; an address where nothing answers fails within the connect wait.
TEST_F(SyncClientTest, LinkMarkerAndNoLink)
{
    connectClient(1);
    EXPECT_EQ(sim->variable(1110037), 1);
    sim->clearReceived();
    EXPECT_TRUE(client->tcpConnect(sim->address().toLatin1())) << "already connected";
    EXPECT_TRUE(sim->receivedFrames().empty());
    EXPECT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(sim->variable(1110037), 0);
    EXPECT_FALSE(client->getTcpConnectFlag());
    int32_t value = 123;
    EXPECT_EQ(client->command({Msg::JogVRun}, {1, 1, 1, 0, 0}), 7);
    EXPECT_EQ(client->command({Msg::AxisMotion}, {1, 1}, {{V3, &value}}), 7);
    EXPECT_EQ(client->readVars(&value, 1, &value), 7);
    EXPECT_EQ(client->command({Msg::Watchdog, {Collapse}}, {}), 7);
    EXPECT_EQ(value, 123);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(client->tcpConnect(QByteArray("127.1.2.3")));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_FALSE(client->getTcpConnectFlag());
}

}
