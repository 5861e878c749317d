// Targets through the exports: registration and channel count, connect and disconnect, removal
// with busy workers, the error callback across a reconnection and the threads each mode makes.
#include "ApiTestSupport.h"

#include <QDir>
#include <QLoggingCategory>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {
using TargetRegistryTest = ApiFixture;

// Channels that exist give 7 before a connect, channels beyond the count 1.
CncLong bitCode(CncLong channel)
{
    CncLong value = 0;
    return getIBit(channel, 0, &value, ApiFixture::kCnc);
}

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

TEST_F(TargetRegistryTest, ChannelCountAndAddressAreThoseOfTheFirstRegistration)
{
    char local[] = "127.0.0.1";
    const std::pair<int, int> counts[] = {{0, 1}, {-5, 1}, {1, 1}, {3, 3}, {99, 99}};
    for (const auto& [asked, count] : counts) {
        ASSERT_TRUE(addTargetCnc(kCnc, asked, local, 0)) << asked;
        EXPECT_EQ(bitCode(count), 7) << asked;
        EXPECT_EQ(bitCode(count + 1), 1) << asked;
        EXPECT_TRUE(removeTargetCnc(kCnc));
    }
    EXPECT_FALSE(addTargetCnc(kCnc, 1 << 30, local, 0)) << "no attempt to build a client per channel";
    EXPECT_EQ(bitCode(1), 1) << "nothing registered";

    QByteArray ip = address();
    ASSERT_TRUE(addTargetCnc(kCnc, 3, ip.data(), 0));
    char other[] = "127.0.0.99";
    EXPECT_FALSE(addTargetCnc(kCnc, 8, other, 0));
    EXPECT_EQ(sim->connectionCount(), 0) << "adding opens nothing";
    EXPECT_EQ(bitCode(4), 1) << "the first channel count stays";
    EXPECT_TRUE(connect(kCnc)) << "to the first address";
    EXPECT_TRUE(removeTargetCnc(kCnc));

    EXPECT_TRUE(addTargetCnc(kCnc, 2, nullptr, 0)) << "null address is stored as empty";
    EXPECT_FALSE(connect(kCnc));
    EXPECT_TRUE(disconnect(kCnc)) << "disconnecting clients that never connected succeeds";
}

// Bit 0 of the mask makes the target-level client asynchronous, bit n channel n; bit 31, the
// sign, no channel. One worker thread per asynchronous client, none for a synchronous one.
TEST_F(TargetRegistryTest, AsyncMaskGivesAWorkerToEachClientItSelects)
{
    QByteArray ip = address();
    const int before = threadCount();
    const struct { int channels; int mask; int workers; } rows[] = {
        {8, 0, 0}, {4, 0b1011, 3}, {3, 0b101, 2}, {33, int(0xC0000000u), 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mask);
        ASSERT_TRUE(addTargetCnc(kCnc, row.channels, ip.data(), row.mask));
        EXPECT_EQ(threadCount(), before) << "adding a target starts nothing";
        ASSERT_TRUE(connect(kCnc));
        EXPECT_EQ(jogMotionV_Stop(row.channels, 1, kCnc), 0);
        CncLong addr[2] = {1000001, 1000002};
        EXPECT_EQ(registerVars(addr, 2, kCnc), 0) << "an asynchronous target-level client polls them";
        EXPECT_EQ(threadCount(), before + row.workers);
        EXPECT_TRUE(removeTargetCnc(kCnc)) << "without disconnecting first";
        EXPECT_TRUE(waitUntil([&] { return threadCount() == before; }, 3000)) << "the workers end with it";
    }
}

// Disconnect keeps the running-program client; the error callback outlives a reconnection.
TEST_F(TargetRegistryTest, ConnectOpensEveryClientAndDisconnectKeepsTheRunningProgramOne)
{
    addAndConnect();
    EXPECT_TRUE(waitUntil([&] { return sim->connectionCount() == 2 + kChannels; }, 2000));
    EXPECT_EQ(sim->variable(1110037), 1);
    ASSERT_TRUE(setErrCallbackFunc(recordError, kCnc));
    EXPECT_TRUE(disconnect(kCnc));
    EXPECT_STREQ(getRuningPrg(2, kCnc), "O0002") << "the running-program client stays open";
    EXPECT_TRUE(connect(kCnc)) << "reconnects";
    EXPECT_EQ(prgCycleStart(1, kCnc), 0);
    EXPECT_STRNE(getRuningPrg(1, kCnc), "O0001") << "a running program is reported";
    sim->scriptReply('f', 3, scriptOf(ReplyScript::Status, 3, 0, -1));
    EXPECT_EQ(reset(2, kCnc), 103);
    EXPECT_EQ(reportedError().calls, 1);
    EXPECT_EQ(reportedError().cmdState, 3);
    ASSERT_TRUE(setErrCallbackFunc(nullptr, kCnc)) << "null switches the callback off";
    EXPECT_EQ(reset(2, kCnc), 103);
    EXPECT_EQ(reportedError().calls, 1);
}

// A removal sends nothing that was queued: each asynchronous channel finishes the jog it is
// sending, and the jogs queued behind them stay unsent however long channel 2's slow reply holds
// the removal. A file write inside the target client ends at its next piece (101), the removal
// waiting for it; the running-program text handed out before stays valid.
TEST_F(TargetRegistryTest, RemovalSendsNothingQueuedAndEndsTheCallsInside)
{
    constexpr int kPieces = 10;
    for (int channel : {2, 3}) {
        ReplyScript late = scriptOf(ReplyScript::Delay, 0, channel == 2 ? 700 : 100, -1);
        late.channel = channel;
        sim->scriptReply('r', 2, late);
    }
    sim->scriptReply(0x83, 2, scriptOf(ReplyScript::Delay, 1, 50, -1));
    addAndConnect(0b1100); // channels 2 and 3 asynchronous
    const char* program = getRuningPrg(2, kCnc);
    std::atomic<CncLong> written{-1};
    std::thread writer([&] { written = writeCncFile(1, "F", std::string(kPieces * 200 - 1, 'x').c_str(), kCnc); });
    for (CncLong channel : {2, 3})
        ASSERT_EQ(jogMotionV_Stop(channel, 1, kCnc), 0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 2) == 2 && sim->requestCount(0x83, 2) > 0; }, 3000));
    for (CncLong channel : {2, 3})
        ASSERT_EQ(jogMotionV_Stop(channel, 2, kCnc), 0) << "queued";
    EXPECT_TRUE(removeTargetCnc(kCnc));
    EXPECT_EQ(sim->requestCount('r', 2), 2) << "nothing queued was sent";
    EXPECT_STREQ(program, "O0002");
    writer.join();
    EXPECT_EQ(written.load(), 101);
    EXPECT_LT(sim->requestCount(0x83, 2), kPieces);
}

// A controller given by host name is reached without any lookup thread or warning.
TEST(HostNameTest, ControllerGivenByHostNameIsReachedWithoutWarnings)
{
    SimulatedController local;
    if (!local.start(QStringLiteral("127.0.0.1")))
        GTEST_SKIP() << "127.0.0.1:60000 is taken on this machine";
    const int before = threadCount();
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    LogCapture warnings;
    char host[] = "localhost";
    ASSERT_TRUE(addTargetCnc(8, 1, host, 0));
    EXPECT_TRUE(connect(8));
    EXPECT_EQ(jogMotionV_Stop(1, 1, 8), 0);
    EXPECT_EQ(threadCount(), before);
    EXPECT_TRUE(removeTargetCnc(8));
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(warnings.lines(), std::vector<std::string>{});
}

// A controller that restarts under a connected target: commands on a closed link give 7 at once,
// and the next `connect` makes every client of the target work again, whatever mode it runs in.
constexpr int kRestarted = 41;

void expectEveryClientWorks(SimulatedController& sim, const char* phase)
{
    SCOPED_TRACE(phase);
    const int jogs = sim.requestCount('r', 2);
    for (CncLong channel : {1, 2})
        EXPECT_EQ(jogMotionV_Stop(channel, 1, kRestarted), 0) << channel;
    CncLong address = 1000006, value = 66;
    EXPECT_EQ(writeVars(&address, 1, &value, kRestarted), 0);
    EXPECT_TRUE(waitUntil([&] { return sim.requestCount('r', 2) == jogs + 2; }, 3000)) << "both channels' jogs arrived";
    EXPECT_TRUE(waitUntil([&] { return sim.variable(1000006) == 66; }, 3000)) << "the target-level client's write";
    EXPECT_STREQ(getRuningPrg(2, kRestarted), "O0002");
    EXPECT_TRUE(getTcpConnectFlag(kRestarted));
}

TEST(ReconnectTest, EveryClientWorksAfterTheControllerRestarts)
{
    // Synchronous throughout; then the target-level client and channel 2 asynchronous.
    for (int mask : {0, 0b101}) {
        SCOPED_TRACE(mask);
        SimulatedController sim;
        ASSERT_TRUE(startRestartable(sim));
        QByteArray ip = sim.address().toLatin1();
        ASSERT_TRUE(addTargetCnc(kRestarted, 2, ip.data(), mask));
        ASSERT_TRUE(connect(kRestarted));
        expectEveryClientWorks(sim, "before the restart");
        sim.stop();
        EXPECT_TRUE(waitUntil([] { return jogMotionV_Stop(1, 1, kRestarted) == 7; }, 3000)) << "a closed link is no link";
        EXPECT_EQ(jogMotionV_Stop(1, 1, kRestarted), 7) << "and stays none";
        ASSERT_TRUE(sim.start(QString::fromLatin1(ip)));
        EXPECT_TRUE(connect(kRestarted));
        ASSERT_TRUE(waitUntil([&] { return sim.variable(1110037) == 1; }, 3000)) << "the link marker again";
        expectEveryClientWorks(sim, "after the restart");
        EXPECT_EQ(sim.connectionCount(), 4) << "main, aux and two channels, each connected once";
        EXPECT_TRUE(removeTargetCnc(kRestarted));
    }
}

} // namespace
