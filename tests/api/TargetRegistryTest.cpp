#include "ApiTestSupport.h"

#include <QElapsedTimer>

#include <atomic>
#include <thread>

namespace {
using TargetRegistryTest = ApiFixture;

TEST_F(TargetRegistryTest, DuplicateAddKeepsTheFirstTargetAndOpensNothing)
{
    QByteArray ip = address();
    ASSERT_TRUE(addTargetCnc(kCnc, 3, ip.data(), 0));
    char other[] = "127.0.0.99";
    EXPECT_FALSE(addTargetCnc(kCnc, 8, other, 0));
    EXPECT_EQ(target().channelCount, 3);
    EXPECT_EQ(target().ip, ip);
    EXPECT_EQ(sim->connectionCount(), 0);
    CncLong value = 0;
    EXPECT_EQ(getIBit(3, 0, &value, kCnc), 7) << "channel 3 exists but is not connected";
    EXPECT_EQ(getIBit(4, 0, &value, kCnc), 1);
}

TEST_F(TargetRegistryTest, ChannelCountBelowOneGivesOneChannel)
{
    char ip[] = "127.0.0.1";
    for (int maxDncCh : {0, -5, 1}) {
        ASSERT_TRUE(addTargetCnc(kCnc, maxDncCh, ip, 0));
        EXPECT_EQ(target().channelCount, 1);
        EXPECT_EQ(target().channelClients.size(), 1);
        EXPECT_TRUE(removeTargetCnc(kCnc));
    }
    EXPECT_TRUE(addTargetCnc(kCnc, 2, nullptr, 0)) << "null address is stored as empty";
    EXPECT_TRUE(target().ip.isEmpty());
    EXPECT_FALSE(connect(kCnc));
}

TEST_F(TargetRegistryTest, AsyncMaskSelectsClientModes)
{
    char ip[] = "127.0.0.1";
    ASSERT_TRUE(addTargetCnc(kCnc, 3, ip, 0b101));
    EXPECT_EQ(target().mainClient.syncMode, 0);
    EXPECT_EQ(target().auxClient.syncMode, 1);
    EXPECT_EQ(target().channelClients[0]->syncMode, 1);
    EXPECT_EQ(target().channelClients[1]->syncMode, 0);
    EXPECT_EQ(target().channelClients[2]->syncMode, 1);
    ASSERT_TRUE(removeTargetCnc(kCnc));

    ASSERT_TRUE(addTargetCnc(kCnc, 33, ip, int(0xC0000000u)));
    EXPECT_EQ(target().channelClients[29]->syncMode, 0) << "bit 30 selects channel 30";
    EXPECT_EQ(target().channelClients[30]->syncMode, 1) << "bit 31 is the sign";
    EXPECT_EQ(target().channelClients[31]->syncMode, 1) << "no bit for channel 32";
    EXPECT_FALSE(channelIsAsync(-1, 40));
}

TEST_F(TargetRegistryTest, ConnectStopsAtMainClientFailure)
{
    char ip[] = "127.1.2.3"; // nothing listens there
    ASSERT_TRUE(addTargetCnc(kCnc, 2, ip, 0));
    EXPECT_FALSE(connect(kCnc));
    EXPECT_FALSE(target().auxClient.isConnected);
    EXPECT_FALSE(target().channelClients[0]->isConnected);
    EXPECT_TRUE(disconnect(kCnc)) << "disconnecting clients that never connected succeeds";
}

TEST_F(TargetRegistryTest, ConnectOpensEveryClientAndDisconnectKeepsAux)
{
    addAndConnect();
    EXPECT_TRUE(waitUntil([&] { return sim->connectionCount() == 2 + kChannels; }, 2000));
    EXPECT_EQ(sim->variable(1110037), 1);
    EXPECT_TRUE(getTcpConnectFlag(kCnc));
    EXPECT_TRUE(disconnect(kCnc));
    EXPECT_FALSE(getTcpConnectFlag(kCnc));
    EXPECT_TRUE(target().auxClient.isConnected) << "the running-program client stays open";
    EXPECT_TRUE(connect(kCnc)) << "reconnects";
}

TEST_F(TargetRegistryTest, RemovingATargetWithRunningWorkersJoinsThem)
{
    addAndConnect(0b11); // main and channel 1 asynchronous
    CncLong addr[2] = {1000001, 1000002};
    EXPECT_EQ(registerVars(addr, 2, kCnc), 0);
    EXPECT_TRUE(waitUntil([&] { return target().mainClient.isRunning(); }, 1000));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(removeTargetCnc(kCnc)) << "without disconnecting first";
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(TargetRegistry::find(kCnc), nullptr);
}

TEST_F(TargetRegistryTest, ErrorCallbackOutlivesReconnection)
{
    addAndConnect();
    ASSERT_TRUE(setErrCallbackFunc(recordError, kCnc));
    EXPECT_EQ(target().auxClient.errCallback.load(), nullptr);
    ASSERT_TRUE(disconnect(kCnc));
    ASSERT_TRUE(connect(kCnc));
    sim->scriptReply('f', 3, scriptOf(ReplyScript::Status, 3, 0, 1));
    EXPECT_EQ(reset(2, kCnc), 103);
    EXPECT_EQ(reportedError().calls, 1);
    EXPECT_EQ(reportedError().cmdState, 3);
    ASSERT_TRUE(setErrCallbackFunc(nullptr, kCnc)) << "null switches the callback off";
    sim->scriptReply('f', 3, scriptOf(ReplyScript::Status, 3, 0, 1));
    EXPECT_EQ(reset(2, kCnc), 103);
    EXPECT_EQ(reportedError().calls, 1);
}

TEST_F(TargetRegistryTest, RunningProgramTextIsKeptByTheTarget)
{
    addAndConnect();
    char* first = getRuningPrg(1, kCnc);
    ASSERT_NE(first, nullptr);
    const std::string firstText = first;
    EXPECT_FALSE(firstText.empty());
    EXPECT_EQ(prgCycleStart(1, kCnc), 0);
    char* second = getRuningPrg(1, kCnc);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(std::string(second), firstText) << "a running program is reported";
}

TEST_F(TargetRegistryTest, DebugFlagsGoToTheMainClientOnly)
{
    addAndConnect();
    EXPECT_EQ(getErrorDeb(3, kCnc), 0);
    EXPECT_EQ(target().mainClient.logFlags, 3);
    EXPECT_EQ(target().channelClients[0]->logFlags, 0);
    EXPECT_EQ(getErrorDeb(0, kCnc), 0);
}
}

namespace {
using TargetLimitsTest = ApiFixture;

TEST_F(TargetLimitsTest, MoreChannelsThanTheControllerHasAreRefused)
{
    char ip[] = "127.0.0.1";
    EXPECT_FALSE(addTargetCnc(kCnc, 100, ip, 0));
    EXPECT_FALSE(addTargetCnc(kCnc, 1 << 30, ip, 0)) << "no attempt to build a client per channel";
    EXPECT_EQ(TargetRegistry::find(kCnc), nullptr);
    ASSERT_TRUE(addTargetCnc(kCnc, TargetCnc::kMaxChannels, ip, 0));
    EXPECT_EQ(target().channelCount, TargetCnc::kMaxChannels);
}
}
