// The running-program text handed to one thread stays its own while other threads ask too.
#include "ApiTestSupport.h"

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using RunningProgramTest = ApiFixture;

TEST_F(RunningProgramTest, EachThreadKeepsItsOwnAnswerUntilItsNextCall)
{
    addAndConnect();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (CncLong channel = 1; channel <= 4; ++channel) {
        threads.emplace_back([&, channel] {
            const std::string expected = "O000" + std::to_string(channel);
            for (int i = 0; i < 150; ++i) {
                const char* text = getRuningPrg(channel, kCnc);
                std::this_thread::yield(); // let the others overwrite what they can
                if (!text || expected != text)
                    ++wrong;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
