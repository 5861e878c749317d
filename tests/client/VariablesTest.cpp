// Variable batches split to fit the buffer, and bit words shared by the bits they hold.
#include "ClientTestSupport.h"
#include "CommCodes.h"

#include <set>

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

// Bits 0 and 31 share word 1032048, bit 32 is in 1032049: the poll asks each word once, and
// removing bit 0 also ends the refresh of bit 31.
TEST_F(VariablesTest, BitsShareTheirWords)
{
    connectClient(1);
    const int32_t bits[3] = {0, 31, 32};
    EXPECT_EQ(client->registerBits(1, AsynchronousClient::BitTypeFirst, bits, 2), 6) << "needs asynchronous mode";
    connectClient(0);
    sim->setVariable(1032048, int32_t(0x80000001u));
    sim->setVariable(1032049, 1);
    ASSERT_EQ(client->registerBits(1, AsynchronousClient::BitTypeFirst, bits, 3), 0);
    int32_t values[3] = {-1, -1, -1};
    EXPECT_TRUE(waitUntil([&] {
        client->readBits(1, AsynchronousClient::BitTypeFirst, bits, 3, values);
        return values[0] == 1 && values[1] == 1 && values[2] == 1;
    }, 3000));
    const std::vector<int32_t> asked = readRequestAddresses(framesWithCode(*sim, 'B').at(0));
    EXPECT_EQ(std::multiset<int32_t>(asked.begin(), asked.end()), (std::multiset<int32_t>{1032048, 1032049}));
    const int32_t unregistered = 200;
    int32_t value = -1;
    EXPECT_EQ(client->readBits(1, AsynchronousClient::BitTypeFirst, &unregistered, 1, &value), 111);
    EXPECT_EQ(value, -1) << "a word nobody polls has no value";
    ASSERT_EQ(client->removeBits(1, AsynchronousClient::BitTypeFirst, bits, 1), 0);
    EXPECT_EQ(client->readBits(1, AsynchronousClient::BitTypeFirst, &bits[1], 1, &value), 111);
    EXPECT_EQ(client->readBits(1, AsynchronousClient::BitTypeFirst, &bits[2], 1, &value), 0);
    EXPECT_EQ(client->registerBits(1, AsynchronousClient::BitType(7), bits, 1), 1);
    EXPECT_EQ(client->registerBits(0, AsynchronousClient::BitTypeFirst, bits, 1), 1);
}
} // namespace
