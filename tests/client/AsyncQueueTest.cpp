// What an asynchronous client sends, and what it drops: commands queued before a disconnect,
// write batches that do not fit the queue, addresses no poll request may carry, and replies
// that come after their wait.
#include "ClientTestSupport.h"
#include "CommCodes.h"

#include <thread>

namespace {

using AsyncQueueTest = ClientFixture;

int writesOf(SimulatedController& sim, int32_t address)
{
    int n = 0;
    for (const QByteArray& f : framesWithCode(sim, 'D'))
        for (int at = 9; at + 8 <= f.size(); at += 8)
            n += QByteArray::fromRawData(f.constData() + at, 4) ==
                 QByteArray(reinterpret_cast<const char*>(&address), 4);
    return n;
}

TEST_F(AsyncQueueTest, DisconnectDropsWhatIsQueuedAndLaterCommandsFindNoLink)
{
    sim->scriptReply('r', 1, scriptOf(ReplyScript::Delay, 0, 400, 1));
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->variable(1110037) == 1; }, 2000));
    ASSERT_EQ(client->jogMotionV_Run(1, 1, 1000, 0, 0), 0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 1) == 1; }, 2000)) << "the first jog is in flight";
    ASSERT_EQ(client->jogMotionV_Run(1, 2, 1000, 0, 0), 0) << "queued behind it";
    EXPECT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(client->jogMotionV_Run(1, 3, 1000, 0, 0), ResultCode::NotConnected);
    ASSERT_TRUE(waitUntil([&] { return !client->isRunning(); }, 3000));
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') >= 2; }, 2000)) << "the new link marker";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sim->requestCount('r', 1), 1) << "only the jog that was on the wire before the disconnect";
}

TEST_F(AsyncQueueTest, CommandsQueuedForALostLinkAreNotSentOnTheNextOne)
{
    sim->scriptReply('r', 1, scriptOf(ReplyScript::Silence, 0, 0, 1));
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->variable(1110037) == 1; }, 2000));
    ASSERT_EQ(client->jogMotionV_Run(1, 1, 1000, 0, 0), 0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 1) == 1; }, 2000)) << "the first jog is in flight";
    ASSERT_EQ(client->jogMotionV_Run(1, 2, 1000, 0, 0), 0) << "queued behind it";
    sim->dropConnections(); // the controller goes away with the second jog still queued
    ASSERT_TRUE(waitUntil([&] { return !client->isRunning(); }, 3000)) << "the worker saw the link go";
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') >= 2; }, 2000)) << "the new link marker";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sim->requestCount('r', 1), 1) << "the queued jog died with its link";
}

TEST_F(AsyncQueueTest, WriteOfAnAddressNoRequestMayCarryIsRefusedNotQueued)
{
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') == 1; }, 2000)) << "the link marker went out";
    const int32_t addresses[] = {1000080, 1170000};
    const int32_t values[] = {8, 9};
    EXPECT_EQ(client->writeVars(addresses, 2, values), ResultCode::ArgumentOutOfRange);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(sim->requestCount('D'), 1);
    EXPECT_EQ(sim->variable(1000080), 0);
}

TEST_F(AsyncQueueTest, WriteBatchIsQueuedWholeOrNotAtAll)
{
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') == 1; }, 2000)) << "the link marker went out";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<int32_t> addresses(100), values(100);
    for (int i = 0; i < 100; ++i) {
        addresses[size_t(i)] = 1000200 + i;
        values[size_t(i)] = 7000 + i;
    }
    EXPECT_EQ(client->writeVars(addresses.data(), 63, values.data()), ResultCode::QueueFull) << "three slices";
    EXPECT_EQ(client->writeVars(addresses.data(), 100, values.data()), ResultCode::QueueFull);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(sim->requestCount('D'), 1) << "nothing of the refused batch was sent";
    EXPECT_EQ(client->writeVars(addresses.data(), 62, values.data()), ResultCode::Success) << "two slices fit";
    ASSERT_TRUE(waitUntil([&] { return sim->variable(1000261) == 7061; }, 2000));
    for (int i = 0; i < 62; ++i)
        EXPECT_EQ(writesOf(*sim, 1000200 + i), 1) << i;
    EXPECT_EQ(sim->variable(1000262), 0);
}

TEST_F(AsyncQueueTest, RegistrationThatNoPollCouldCarryIsRefused)
{
    client.reset(new AsynchronousClient);
    client->setSyncMode(0);
    std::vector<int32_t> addresses;
    for (int i = 0; i < 100; ++i)
        addresses.push_back(1000000 + i);
    ASSERT_EQ(client->registerVars(addresses.data(), int(addresses.size())), 0);
    const int32_t invalid[] = {1000100, 1170000};
    EXPECT_EQ(client->registerVars(invalid, 2), ResultCode::ArgumentOutOfRange);
    for (int i = 0; i < 100; ++i)
        sim->setVariable(1000000 + i, 500 + i);
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    const int32_t bits[] = {3};
    EXPECT_EQ(client->registerBits(17, AsynchronousClient::BitType(0), bits, 1), ResultCode::ArgumentOutOfRange)
        << "channel 17's bit words lie beyond every variable area";
    EXPECT_EQ(client->registerBits(16, AsynchronousClient::BitType(0), bits, 1), 0);
    std::vector<int32_t> values(100, -1);
    ASSERT_TRUE(waitUntil([&] {
        client->readVars(addresses.data(), 100, values.data());
        return values[0] == 500 && values[99] == 599;
    }, 3000)) << "every neighbour of the refused addresses is polled";
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(values[size_t(i)], 500 + i);
}

TEST_F(AsyncQueueTest, PollingALateControllerStoresNothingUnderAnotherAddress)
{
    ScaledWaits waits(kTestWaitScale);
    const int lateMs = CommTiming::now().commandReplyBudgetMs + 150;
    client.reset(new AsynchronousClient);
    client->setSyncMode(0);
    std::vector<int32_t> addresses;
    for (int i = 0; i < 124; ++i) {
        addresses.push_back(1000300 + i);
        sim->setVariable(1000300 + i, 900 + i);
    }
    ASSERT_EQ(client->registerVars(addresses.data(), 124), 0);
    sim->scriptReply('B', -1, scriptOf(ReplyScript::Delay, 0, lateMs, -1));
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    // Two polls answered late, and a third sent while their replies land.
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('B') >= 3; }, 10 * lateMs));
    std::vector<int32_t> values(124, -1);
    ASSERT_EQ(client->readVars(addresses.data(), 124, values.data()), ResultCode::NoValidReply);
    for (int i = 0; i < 124; ++i)
        EXPECT_EQ(values[size_t(i)], -1) << "no reply came in time, so there is no value to give: " << i;
    sim->clearScripts();
    ASSERT_TRUE(waitUntil([&] {
        client->readVars(addresses.data(), 124, values.data());
        return values[0] == 900 && values[123] == 1023;
    }, 6000));
    for (int i = 0; i < 124; ++i)
        EXPECT_EQ(values[size_t(i)], 900 + i) << i;
}

} // namespace
