// A controller that restarts under a connected target: the next `connect` makes every client
// of the target work again, whatever mode it runs in.
#include "ApiTestSupport.h"
#include "CommCodes.h"
#include "SimulatorProcess.h"

#include <thread>

namespace {

constexpr int kCnc = 41;

void expectEveryClientWorks(const char* phase)
{
    for (CncLong channel : {1, 2})
        EXPECT_EQ(jogMotionV_Stop(channel, 1, kCnc), 0) << phase << ", channel " << channel;
    CncLong address = 1000005, value = -1;
    EXPECT_EQ(readVars(&address, 1, &value, kCnc), 0) << phase;
    EXPECT_EQ(CheckTcpWdt(kCnc), 0) << phase;
    const char* name = getRuningPrg(1, kCnc);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "O0001") << phase;
    EXPECT_TRUE(getTcpConnectFlag(kCnc)) << phase;
}

TEST(ReconnectTest, SynchronousTargetWorksAfterTheControllerRestarts)
{
    SimulatorProcess controller;
    ASSERT_TRUE(controller.start([](const QStringList&) { return QStringList(); }, 1, 160));
    QByteArray ip = controller.addressBytes();
    ASSERT_TRUE(addTargetCnc(kCnc, 2, ip.data(), 0));
    ASSERT_TRUE(connect(kCnc));
    expectEveryClientWorks("before the restart");

    controller.kill();
    EXPECT_EQ(jogMotionV_Stop(1, 1, kCnc), ResultCode::NotConnected) << "a closed link is no link";
    EXPECT_EQ(jogMotionV_Stop(1, 1, kCnc), ResultCode::NotConnected) << "and stays none";
    EXPECT_FALSE(getTcpConnectFlag(kCnc));
    ASSERT_TRUE(controller.restart());
    EXPECT_TRUE(connect(kCnc));
    expectEveryClientWorks("after the restart");

    EXPECT_TRUE(disconnect(kCnc));
    EXPECT_TRUE(removeTargetCnc(kCnc));
}

TEST(ReconnectTest, AsynchronousClientsWorkAfterTheControllerRestarts)
{
    // An address outside the range simulators pick by themselves, so that no parallel test
    // process takes it while this controller restarts.
    SimulatedController sim;
    ASSERT_TRUE(startRestartable(sim));
    QByteArray ip = sim.address().toLatin1();
    // The target-level client and channel 2 asynchronous, channel 1 synchronous.
    ASSERT_TRUE(addTargetCnc(kCnc, 2, ip.data(), 0b101));
    ASSERT_TRUE(connect(kCnc));
    ASSERT_TRUE(waitUntil([&] { return sim.variable(1110037) == 1; }, 2000));

    sim.stop();
    ASSERT_TRUE(sim.start(QString::fromLatin1(ip)));
    EXPECT_TRUE(connect(kCnc));
    ASSERT_TRUE(waitUntil([&] { return sim.variable(1110037) == 1; }, 3000)) << "the link marker again";
    for (CncLong channel : {1, 2})
        EXPECT_EQ(jogMotionV_Stop(channel, 7, kCnc), 0) << channel;
    CncLong address = 1000006, value = 66;
    EXPECT_EQ(writeVars(&address, 1, &value, kCnc), 0);
    EXPECT_TRUE(waitUntil([&] { return sim.requestCount('r', 2) == 2; }, 3000)) << "both channels' jogs arrived";
    EXPECT_TRUE(waitUntil([&] { return sim.variable(1000006) == 66; }, 3000)) << "the asynchronous main client's write";
    EXPECT_STREQ(getRuningPrg(2, kCnc), "O0002");
    EXPECT_EQ(sim.connectionCount(), 4) << "main, aux and two channels, each connected once";

    EXPECT_TRUE(disconnect(kCnc));
    EXPECT_TRUE(removeTargetCnc(kCnc));
}

} // namespace
