// A controller that restarts under a connected target: commands on a closed link give 7 at once,
// and the next `connect` makes every client of the target work again, whatever mode it runs in.
#include "ApiTestSupport.h"

namespace {

constexpr int kCnc = 41;

void expectEveryClientWorks(SimulatedController& sim, const char* phase)
{
    SCOPED_TRACE(phase);
    const int jogs = sim.requestCount('r', 2);
    for (CncLong channel : {1, 2})
        EXPECT_EQ(jogMotionV_Stop(channel, 1, kCnc), 0) << channel;
    CncLong address = 1000006, value = 66;
    EXPECT_EQ(writeVars(&address, 1, &value, kCnc), 0);
    EXPECT_TRUE(waitUntil([&] { return sim.requestCount('r', 2) == jogs + 2; }, 3000)) << "both channels' jogs arrived";
    EXPECT_TRUE(waitUntil([&] { return sim.variable(1000006) == 66; }, 3000)) << "the target-level client's write";
    EXPECT_STREQ(getRuningPrg(2, kCnc), "O0002");
    EXPECT_TRUE(getTcpConnectFlag(kCnc));
}

TEST(ReconnectTest, EveryClientWorksAfterTheControllerRestarts)
{
    // Synchronous throughout; then the target-level client and channel 2 asynchronous.
    for (int mask : {0, 0b101}) {
        SCOPED_TRACE(mask);
        SimulatedController sim;
        ASSERT_TRUE(startRestartable(sim));
        QByteArray ip = sim.address().toLatin1();
        ASSERT_TRUE(addTargetCnc(kCnc, 2, ip.data(), mask));
        ASSERT_TRUE(connect(kCnc));
        expectEveryClientWorks(sim, "before the restart");
        sim.stop();
        EXPECT_TRUE(waitUntil([] { return jogMotionV_Stop(1, 1, kCnc) == 7; }, 3000)) << "a closed link is no link";
        EXPECT_EQ(jogMotionV_Stop(1, 1, kCnc), 7) << "and stays none";
        ASSERT_TRUE(sim.start(QString::fromLatin1(ip)));
        EXPECT_TRUE(connect(kCnc));
        ASSERT_TRUE(waitUntil([&] { return sim.variable(1110037) == 1; }, 3000)) << "the link marker again";
        expectEveryClientWorks(sim, "after the restart");
        EXPECT_EQ(sim.connectionCount(), 4) << "main, aux and two channels, each connected once";
        EXPECT_TRUE(removeTargetCnc(kCnc));
    }
}

} // namespace
