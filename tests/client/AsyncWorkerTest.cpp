#include "ClientTestSupport.h"

#include <QElapsedTimer>

#include <algorithm>
#include <thread>

namespace {
using AsyncClientTest = ClientFixture;

int indexOfCode(const std::vector<QByteArray>& frames, uint8_t code, uint8_t sub)
{
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].size() > 8 && uint8_t(frames[i][7]) == code && uint8_t(frames[i][8]) == sub)
            return int(i);
    return -1;
}

TEST_F(AsyncClientTest, FullQueueRefusesAndQueuedFramesGoInOrder)
{
    sim->scriptReply('r', 1, scriptOf(ReplyScript::Delay, 0, 600, 1));
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->variable(1110037) == 1; }, 2000));
    EXPECT_EQ(client->jogMotionV_Run(1, 1, 1, 0, 0), 0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 1) == 1; }, 2000)) << "first command is in flight";
    EXPECT_EQ(client->jogMotionV_Stop(1, 1), 0);
    EXPECT_EQ(client->jogMotionV_MfoSet(1, 10), 0);
    EXPECT_EQ(client->prgStop(1), 4) << "a third frame does not fit behind two";
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('r', 3) == 1; }, 3000));
    const QList<QByteArray> list = sim->receivedFrames();
    const std::vector<QByteArray> frames(list.begin(), list.end());
    const int run = indexOfCode(frames, 'r', 1), stop = indexOfCode(frames, 'r', 2), mfo = indexOfCode(frames, 'r', 3);
    EXPECT_LT(run, stop);
    EXPECT_LT(stop, mfo);
    EXPECT_EQ(sim->requestCount('t', 2), 0);
}

TEST_F(AsyncClientTest, PollWalksRegisteredVariablesInChunks)
{
    client.reset(new AsynchronousClient);
    client->setSyncMode(0);
    std::vector<int32_t> addrs;
    for (int i = 129; i >= 0; --i) // registered out of order, polled in ascending order
        addrs.push_back(1000000 + 3 * i);
    client->registerVars(addrs.data(), int(addrs.size()));
    sim->setVariable(1000000 + 3 * 100, 4242);
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    ASSERT_TRUE(waitUntil([&] { return framesWithCode(*sim, 'B').size() >= 4; }, 3000));
    const std::vector<QByteArray> polls = framesWithCode(*sim, 'B');
    std::vector<int32_t> seen;
    const size_t expectedSizes[] = {62, 62, 6};
    for (size_t k = 0; k < 3; ++k) {
        const std::vector<int32_t> chunk = readRequestAddresses(polls[k]);
        EXPECT_EQ(chunk.size(), expectedSizes[k]) << "chunk " << k;
        seen.insert(seen.end(), chunk.begin(), chunk.end());
    }
    std::vector<int32_t> ascending = addrs;
    std::sort(ascending.begin(), ascending.end());
    EXPECT_EQ(seen, ascending);
    EXPECT_EQ(readRequestAddresses(polls[3]).front(), 1000000) << "a new cycle starts at the lowest address";
    int32_t value = 0;
    const int32_t probe = 1000300;
    EXPECT_TRUE(waitUntil([&] { return client->readVars(&probe, 1, &value) == 0 && value == 4242; }, 2000));
}

TEST_F(AsyncClientTest, IdleWorkerDoesNotSpin)
{
    connectClient(0);
    ASSERT_TRUE(waitUntil([&] { return sim->variable(1110037) == 1; }, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double before = processCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(processCpuMs() - before, 50.0);
}

}
