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
    EXPECT_EQ(client->jogMotionV_Run(1, 1, 1, 0, 0), 7);
    EXPECT_EQ(client->getAxisMotionStatus(1, 1, &value), 7);
    EXPECT_EQ(client->readVars(&value, 1, &value), 7);
    EXPECT_EQ(client->CheckTcpWdt(), 7);
    EXPECT_EQ(value, 123);
    EXPECT_TRUE(client->tcpDisconnect());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(client->tcpConnect(QByteArray("127.1.2.3")));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_FALSE(client->getTcpConnectFlag());
}

// The boundaries of each check (the export table holds the rest); nothing is sent.
TEST_F(SyncClientTest, ArgumentChecksRejectWithoutSending)
{
    connectClient(1);
    sim->clearReceived();
    int32_t words[40] = {};
    int32_t out = 77;
    struct Case { const char* what; std::function<int32_t()> call; };
    const Case cases[] = {
        {"reset channel 0", [&] { return client->reset(0); }},
        {"reset channel 100", [&] { return client->reset(100); }},
        {"setCncObits 33", [&] { return client->setCncObits(1, words, words, 33, 0); }},
        {"setPlcObits negative", [&] { return client->setPlcObits(1, words, words, -1); }},
        {"getIbits negative", [&] { return client->getIbits(1, words, -5, &out, &out); }},
        {"getAxesCoord negative", [&] { return client->getAxesCoord(1, 0, 0, 0, -1, &out); }},
        {"readVars oversize", [&] { return client->readVars(words, 100001, &out); }},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.call(), 1) << c.what;
    EXPECT_EQ(out, 77);
    EXPECT_TRUE(client->getRuningPrg(0).isEmpty());
    EXPECT_TRUE(client->getRuningPrg(99).isEmpty());
    EXPECT_TRUE(sim->receivedFrames().empty());
    EXPECT_EQ(client->setCncObits(1, words, words, 32, 0), 0) << "32 words still fit";
    // Null outputs are skipped.
    EXPECT_EQ(client->alarmRead(1, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(client->homeAxesIsEnd(1, 0, 3, nullptr, nullptr), 0);
    EXPECT_EQ(client->getAxesCoord(1, 0, 0, 0, 0, nullptr), 0);
}

}
