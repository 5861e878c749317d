// Variable batches, the value cache and the bit words built on it.
#include "ClientTestSupport.h"
#include "CommCodes.h"

#include <numeric>

namespace {
using VariablesTest = ClientFixture;

std::vector<size_t> batchSizes(SimulatedController& sim, uint8_t code)
{
    std::vector<size_t> sizes;
    for (const QByteArray& f : framesWithCode(sim, code))
        sizes.push_back(f.size() > 8 ? size_t(uint8_t(f[8])) : 0);
    return sizes;
}

TEST_F(VariablesTest, LargeReadsAndWritesAreSplitToFitTheBuffer)
{
    connectClient(1);
    std::vector<int32_t> addresses(130), values(130), back(130);
    for (int i = 0; i < 130; ++i) {
        addresses[i] = 3000000 + (129 - i); // the caller's order comes back, whatever it is
        values[i] = i * 11 - 500;
    }
    sim->clearReceived();
    ASSERT_EQ(client->writeVars(addresses.data(), 70, values.data()), 0);
    EXPECT_EQ(batchSizes(*sim, 'D'), (std::vector<size_t>{31, 31, 8}));
    ASSERT_EQ(client->writeVars(addresses.data() + 70, 60, values.data() + 70), 0);
    sim->clearReceived();
    ASSERT_EQ(client->readVars(addresses.data(), 130, back.data()), 0);
    EXPECT_EQ(batchSizes(*sim, 'B'), (std::vector<size_t>{64, 64, 2}));
    EXPECT_EQ(back, values);
}

TEST_F(VariablesTest, BitsShareTheirWordsInTheCache)
{
    connectClient(1);
    const int32_t bits[2] = {0, 31};
    EXPECT_EQ(client->registerBits(1, AsynchronousClient::BitTypeFirst, bits, 2), 6) << "needs asynchronous mode";
    connectClient(0);
    sim->setVariable(1032048, int32_t(0x80000001u));
    sim->setVariable(1032049, 1);
    const int32_t more[3] = {0, 31, 32};
    ASSERT_EQ(client->registerBits(1, AsynchronousClient::BitTypeFirst, more, 3), 0);
    EXPECT_EQ(client->valueCache.size(), 2u) << "bits 0 and 31 share word 1032048, bit 32 is in 1032049";
    int32_t values[3] = {-1, -1, -1};
    EXPECT_TRUE(waitUntil([&] {
        client->readBits(1, AsynchronousClient::BitTypeFirst, more, 3, values);
        return values[0] == 1 && values[1] == 1 && values[2] == 1;
    }, 3000));
    const int32_t unregistered = 200;
    int32_t value = -1;
    EXPECT_EQ(client->readBits(1, AsynchronousClient::BitTypeFirst, &unregistered, 1, &value),
              ResultCode::NoValidReply);
    EXPECT_EQ(value, -1) << "a word nobody polls has no value";
    ASSERT_EQ(client->removeBits(1, AsynchronousClient::BitTypeFirst, bits, 1), 0);
    EXPECT_EQ(client->valueCache.count(1032048), 0u) << "removing bit 0 also ends the refresh of bit 31";
    EXPECT_EQ(client->registerBits(1, AsynchronousClient::BitType(7), bits, 1), 1);
    EXPECT_EQ(client->registerBits(0, AsynchronousClient::BitTypeFirst, bits, 1), 1);
}

TEST_F(VariablesTest, PollSendsChunksThenQueuedCommandsThenStartsOver)
{
    connectClient(0);
    std::vector<int32_t> addresses(100);
    std::iota(addresses.begin(), addresses.end(), 1000000);
    sim->scriptReply('B', -1, scriptOf(ReplyScript::Delay, 0x7FFF, 100, 1)); // hold the first chunk
    client->registerVars(addresses.data(), 100);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('B') == 1; }, 2000));
    EXPECT_EQ(client->jogMotionV_Stop(1, 1), 0);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('B') >= 3; }, 3000));
    const QList<QByteArray> frames = sim->receivedFrames();
    std::vector<std::string> order;
    for (const QByteArray& f : frames) {
        if (f.size() > 8 && f[7] == 'B')
            order.push_back("B" + std::to_string(uint8_t(f[8])));
        else if (f.size() > 8 && f[7] == 'r')
            order.push_back("r");
    }
    ASSERT_GE(order.size(), 4u);
    EXPECT_EQ(order[0], "B62");
    EXPECT_EQ(order[1], "B38");
    EXPECT_EQ(order[2], "r") << "queued commands go between poll cycles";
    EXPECT_EQ(order[3], "B62") << "and the poll starts again at the lowest address";
}
}
