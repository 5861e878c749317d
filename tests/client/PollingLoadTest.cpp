// The asynchronous client under load: a large registration polled while commands run,
// a link lost in the middle of polling, and application threads using the client while
// its worker polls (run under ThreadSanitizer as well).
#include "ClientTestSupport.h"

#include <vector>

namespace {
class PollingLoadTest : public ClientFixture
{
protected:
    // Registers count variables of channel 1 whose simulator values are 7 * index.
    std::vector<int32_t> registerMany(int count)
    {
        std::vector<int32_t> addresses;
        for (int i = 0; i < count; ++i) {
            addresses.push_back(1000000 + i);
            sim->setVariable(1000000 + i, 7 * i);
        }
        client->registerVars(addresses.data(), count);
        return addresses;
    }

    bool cacheHolds(const std::vector<int32_t>& addresses)
    {
        std::vector<int32_t> values(addresses.size());
        if (client->readVars(addresses.data(), int(addresses.size()), values.data()) != 0)
            return false;
        for (size_t i = 0; i < values.size(); ++i)
            if (values[i] != 7 * int32_t(i))
                return false;
        return true;
    }
};

TEST_F(PollingLoadTest, ThousandVariablesArePolledWhileCommandsRun)
{
    connectClient(0);
    const std::vector<int32_t> addresses = registerMany(1000);
    int queued = 0; // commands offered while the poll runs, each as soon as the queue has room
    EXPECT_TRUE(waitUntil([&] { return (queued += client->jogMotionV_MfoSet(1, queued) == 0) == 20; }, 5000));
    EXPECT_TRUE(waitUntil([&] { return cacheHolds(addresses); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return sim->requestCount('r', 3) == queued; }, 5000))
        << "every queued command was sent between the poll chunks";
    EXPECT_GE(framesWithCode(*sim, 'B').size(), 17u) << "1000 addresses take 17 chunks of at most 62";
}

TEST_F(PollingLoadTest, LinkLostMidPollGivesSevenAndReconnectResumes)
{
    connectClient(0);
    const std::vector<int32_t> addresses = registerMany(300);
    ASSERT_TRUE(waitUntil([&] { return cacheHolds(addresses); }, 5000));
    sim->dropConnections();
    EXPECT_TRUE(waitUntil([&] { return client->jogMotionV_Stop(1, 1) == 7; }, 3000));
    EXPECT_TRUE(waitUntil([&] { return !client->isRunning(); }, 3000)) << "the worker ends with the link";
    sim->setVariable(1000005, 35); // unchanged values prove nothing; change one
    sim->setVariable(1000006, -1);
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    int32_t value = 0;
    const int32_t changed = 1000006;
    EXPECT_TRUE(waitUntil([&] { return client->readVars(&changed, 1, &value) == 0 && value == -1; }, 5000));
    EXPECT_EQ(client->jogMotionV_Stop(1, 1), 0);
}

}
