// Threads the library makes: none for a synchronous client, one worker for an asynchronous one.
// And a controller given by host name is reached without any lookup thread of its own.
#include "ApiTestSupport.h"

#include <QDir>

#include <mutex>
#include <string>
#include <vector>

namespace {

using ThreadCountTest = ApiFixture;
constexpr int kOther = 8;

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

TEST_F(ThreadCountTest, SynchronousClientsHaveNoThreadAndAsynchronousOnesOneEach)
{
    const int before = threadCount();
    QByteArray ip = address();
    ASSERT_TRUE(addTargetCnc(kCnc, 8, ip.data(), 0));
    EXPECT_EQ(threadCount(), before) << "adding a target starts nothing";
    ASSERT_TRUE(connect(kCnc));
    EXPECT_EQ(jogMotionV_Stop(8, 1, kCnc), 0);
    EXPECT_EQ(threadCount(), before) << "eight synchronous channels, main and aux connected: no thread";

    // The target-level client and channels 1 and 3 asynchronous.
    ASSERT_TRUE(addTargetCnc(kOther, 4, ip.data(), 0b1011));
    EXPECT_EQ(threadCount(), before);
    ASSERT_TRUE(connect(kOther));
    EXPECT_EQ(threadCount(), before + 3) << "one worker per asynchronous client";
    EXPECT_TRUE(disconnect(kOther));
    EXPECT_TRUE(waitUntil([&] { return threadCount() == before; }, 3000)) << "the workers end with their links";
    EXPECT_TRUE(removeTargetCnc(kOther));
}

std::mutex warningsMutex;
std::vector<std::string> warnings;

void recordWarning(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg)
        return;
    std::lock_guard<std::mutex> lock(warningsMutex);
    warnings.push_back(text.toStdString());
}

TEST(HostNameTest, ControllerGivenByHostNameIsReachedWithoutWarnings)
{
    SimulatedController local;
    if (!local.start(QStringLiteral("127.0.0.1")))
        GTEST_SKIP() << "127.0.0.1:60000 is taken on this machine";
    const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
    char host[] = "localhost";
    ASSERT_TRUE(addTargetCnc(kOther, 1, host, 0));
    EXPECT_TRUE(connect(kOther));
    EXPECT_EQ(jogMotionV_Stop(1, 1, kOther), 0);
    EXPECT_TRUE(disconnect(kOther));
    EXPECT_TRUE(removeTargetCnc(kOther));
    qInstallMessageHandler(previous);
    std::lock_guard<std::mutex> lock(warningsMutex);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

} // namespace
