// What an asynchronous client sends, in which order, and what it drops.
#include "ClientTestSupport.h"
#include "CommCodes.h"

#include <algorithm>
#include <set>

namespace {

// A reply wait runs at a quarter of its length here.
class AsyncQueueTest : public ClientFixture
{
protected:
    ScaledWaits waits{kTestWaitScale};
    // An asynchronous client, not connected yet, with count addresses registered whose
    // simulator values are their addresses + 7.
    std::vector<int32_t> registerUnconnected(int count, int32_t first, int step)
    {
        client.reset(new AsynchronousClient);
        client->setSyncMode(0);
        std::vector<int32_t> addresses;
        for (int i = 0; i < count; ++i) {
            addresses.push_back(first + step * i);
            sim->setVariable(addresses.back(), addresses.back() + 7);
        }
        EXPECT_EQ(client->registerVars(addresses.data(), count), 0);
        return addresses;
    }
    // Whether every registered address comes to give its own value.
    bool polled(const std::vector<int32_t>& addresses)
    {
        std::vector<int32_t> values(addresses.size()), expected(addresses);
        for (int32_t& v : expected)
            v += 7;
        return waitUntil([&] {
            client->readVars(addresses.data(), int(addresses.size()), values.data());
            return values == expected;
        }, 6000);
    }
};

int writesOf(SimulatedController& sim, int32_t address)
{
    int n = 0;
    for (const QByteArray& f : framesWithCode(sim, 'D'))
        for (int at = 9; at + 8 <= f.size(); at += 8)
            n += QByteArray::fromRawData(f.constData() + at, 4) == QByteArray(reinterpret_cast<const char*>(&address), 4);
    return n;
}

std::vector<std::string> jogOrder(SimulatedController& sim)
{
    std::vector<std::string> order;
    for (const QByteArray& f : framesWithCode(sim, 'r'))
        order.push_back("r" + std::to_string(uint8_t(f[8])));
    return order;
}

// Behind the one in flight the queue takes two frames, sent in order; a third is refused (4).
TEST_F(AsyncQueueTest, FullQueueRefusesAndQueuedFramesGoInOrder)
{
    sim->scriptReply('r', 1, scriptOf(ReplyScript::Delay, 0, 300, 1));
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') == 1; }, 2000)) << "the link marker went out";
    EXPECT_EQ(client->command({Msg::JogVRun}, {1, 1, 1, 0, 0}), 0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 1) == 1; }, 2000)) << "first command is in flight";
    EXPECT_EQ(client->command({Msg::JogVStop}, {1, 1}), 0);
    EXPECT_EQ(client->command({Msg::JogVMfo}, {1, 10}), 0);
    EXPECT_EQ(client->command({Msg::PrgStop}, {1}), 4);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 3) == 1; }, 3000));
    EXPECT_EQ(jogOrder(*sim), (std::vector<std::string>{"r1", "r2", "r3"}));
    EXPECT_EQ(sim->requestCount('t', 2), 0);
}

// Commands queued for a link that is gone, by the application's disconnect or the controller's,
// are not sent on the next one: only the jog already on the wire went, and what is queued on the
// new link goes.
TEST_F(AsyncQueueTest, CommandsQueuedForALostLinkAreNotSentOnTheNextOne)
{
    for (const bool controllerDrops : {false, true}) {
        sim->clearReceived();
        sim->scriptReply('r', 1, scriptOf(ReplyScript::Silence, 0, 0, 1));
        connectClient(0);
        ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') == 1; }, 2000)) << "the link marker went out";
        ASSERT_EQ(client->command({Msg::JogVRun}, {1, 1, 1000, 0, 0}), 0);
        ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 1) == 1; }, 2000)) << "the first jog is in flight";
        ASSERT_EQ(client->command({Msg::JogVRun}, {1, 2, 1000, 0, 0}), 0) << "queued behind it";
        if (controllerDrops) {
            sim->dropConnections();
        } else {
            EXPECT_TRUE(client->tcpDisconnect());
            EXPECT_EQ(client->command({Msg::JogVRun}, {1, 3, 1000, 0, 0}), 7);
        }
        ASSERT_TRUE(waitUntil([&] { return !client->isRunning(); }, 3000)) << "the worker saw the link go";
        ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
        ASSERT_TRUE(waitUntil([&] { return client->command({Msg::JogVStop}, {1, 1}) == 0; }, 2000));
        ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 2) == 1; }, 2000));
        EXPECT_EQ(jogOrder(*sim), (std::vector<std::string>{"r1", "r2"})) << controllerDrops;
    }
}

// A write batch is queued whole or not at all: nothing of a refused batch is ever sent.
TEST_F(AsyncQueueTest, WriteBatchIsQueuedWholeOrNotAtAll)
{
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') == 1; }, 2000)) << "the link marker went out";
    std::vector<int32_t> addresses(100), values(100);
    for (int i = 0; i < 100; ++i) {
        addresses[size_t(i)] = 1000200 + i;
        values[size_t(i)] = 7000 + i;
    }
    EXPECT_EQ(client->writeVars(addresses.data(), 63, values.data()), 4) << "three slices";
    EXPECT_EQ(client->writeVars(addresses.data(), 100, values.data()), 4);
    EXPECT_EQ(client->writeVars(addresses.data(), 62, values.data()), 0) << "two slices fit";
    ASSERT_TRUE(waitUntil([&] { return sim->variable(1000261) == 7061; }, 2000));
    for (int i = 0; i < 62; ++i)
        EXPECT_EQ(writesOf(*sim, 1000200 + i), 1) << i;
    EXPECT_EQ(sim->variable(1000262), 0);
    EXPECT_EQ(sim->requestCount('D'), 3);
}

// Every address of a refused registration is refused, its neighbours are all polled.
TEST_F(AsyncQueueTest, RegistrationThatNoPollCouldCarryIsRefused)
{
    const std::vector<int32_t> addresses = registerUnconnected(100, 1000000, 1);
    const int32_t invalid[] = {1000100, 1170000};
    EXPECT_EQ(client->registerVars(invalid, 2), 1);
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    const int32_t bits[] = {3};
    EXPECT_EQ(client->registerBits(17, AsynchronousClient::BitType(0), bits, 1), 1)
        << "channel 17's bit words lie beyond every variable area";
    EXPECT_EQ(client->registerBits(16, AsynchronousClient::BitType(0), bits, 1), 0);
    EXPECT_TRUE(polled(addresses));
}

// Registered out of order, polled in ascending chunks of 62; queued commands go between poll
// cycles, and a new cycle starts again at the lowest address.
TEST_F(AsyncQueueTest, PollWalksRegisteredVariablesInChunks)
{
    std::vector<int32_t> addrs = registerUnconnected(130, 1000000 + 3 * 129, -3);
    sim->scriptReply('B', -1, scriptOf(ReplyScript::Delay, 0x7FFF, 100, 1)); // hold the first chunk
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('B') == 1; }, 2000));
    EXPECT_EQ(client->command({Msg::JogVStop}, {1, 1}), 0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('B') >= 4; }, 3000));
    std::vector<QByteArray> frames;
    for (const QByteArray& f : sim->receivedFrames())
        if (f[7] == 'B' || f[7] == 'r')
            frames.push_back(f);
    std::vector<int32_t> seen;
    for (size_t k = 0; k < 3; ++k) {
        const std::vector<int32_t> chunk = readRequestAddresses(frames[k]);
        EXPECT_EQ(chunk.size(), k < 2 ? 62u : 6u) << "chunk " << k;
        seen.insert(seen.end(), chunk.begin(), chunk.end());
    }
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::set<int32_t>(seen.begin(), seen.end()), std::set<int32_t>(addrs.begin(), addrs.end()));
    EXPECT_EQ(frames[3][7], 'r') << "the queued command goes between poll cycles";
    EXPECT_EQ(readRequestAddresses(frames[4]).front(), 1000000) << "a new cycle starts at the lowest address";
    EXPECT_TRUE(polled(addrs));
}

// Polls answered after their wait: no value is given, none under another address, until a
// reply comes in time.
TEST_F(AsyncQueueTest, PollingALateControllerStoresNothingUnderAnotherAddress)
{
    const int lateMs = CommTiming::now().commandReplyBudgetMs + 150;
    std::vector<int32_t> addresses = registerUnconnected(124, 1000300, 1);
    sim->scriptReply('B', -1, scriptOf(ReplyScript::Delay, 0, lateMs, -1));
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    // Two polls answered late, and a third sent while their replies land.
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('B') >= 3; }, 10 * lateMs));
    std::vector<int32_t> values(124, -1);
    ASSERT_EQ(client->readVars(addresses.data(), 124, values.data()), 111);
    EXPECT_EQ(values, std::vector<int32_t>(124, -1));
    sim->clearScripts();
    EXPECT_TRUE(polled(addresses));
}

// An idle worker waits without spinning: the process spends little CPU while a second,
// synchronous client waits out a reply the controller holds back.
TEST_F(AsyncQueueTest, IdleWorkerDoesNotSpin)
{
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->variable(1110037) == 1; }, 2000));
    AsynchronousClient other;
    ASSERT_TRUE(other.tcpConnect(sim->address().toLatin1()));
    sim->scriptReply('r', 2, scriptOf(ReplyScript::Delay, 0, 300, 1));
    const double before = processCpuMs();
    EXPECT_EQ(other.command({Msg::JogVStop}, {1, 1}), 0);
    EXPECT_LT(processCpuMs() - before, 50.0);
}

} // namespace
