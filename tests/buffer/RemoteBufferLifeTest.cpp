// Opening and closing remote buffers, and streams that end early: the application always learns
// of it, and nothing that was not sent is counted as gone.
#include "RemoteBufferFixture.h"

#include <QElapsedTimer>

#include <string>

namespace {

using RemoteBufferLifeTest = RemoteBufferFixture;

TEST_F(RemoteBufferLifeTest, OpenRefusesBadArguments)
{
    const QByteArray ip = sim->address().toLatin1();
    EXPECT_EQ(VRemoteBuffer::bufOpen(nullptr, 1, 1), nullptr);
    for (int32_t mode : {2, -1})
        EXPECT_EQ(VRemoteBuffer::bufOpen(ip.constData(), mode, 1), nullptr) << mode;
    for (int32_t channel : {0, 100, -1})
        EXPECT_EQ(VRemoteBuffer::bufOpen(ip.constData(), 1, channel), nullptr) << channel;
    EXPECT_EQ(VRemoteBuffer::bufClose(nullptr), 0);
    EXPECT_EQ(sim->connectionCount(), 0) << "nothing was started";
}

TEST_F(RemoteBufferLifeTest, NoControllerLeavesTheBufferClosed)
{
    // No test listens on this address: a released one could be taken by a parallel test process.
    const QByteArray ip("127.0.0.254");
    buffer = VRemoteBuffer::bufOpen(ip.constData(), VRemoteBuffer::DncMode, 1);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->getBufState(), VRemoteBuffer::Closed);
    EXPECT_EQ(buffer->bufWrite("G01"), 0);
    ASSERT_TRUE(waitUntil([&] { return std::string(buffer->getBufStateInf()) == "Connection to the controller failed."; }, 2000));
    EXPECT_EQ(buffer->getBufState(), VRemoteBuffer::Closed);
    EXPECT_EQ(buffer->bufWrite("G01"), 0);
    EXPECT_EQ(buffer->bufClear(), 0);
    EXPECT_EQ(buffer->getBufValidCnt(), 0);
}

// Closed at once, once connected (while declaring), while waiting for a reply that does not come,
// while idle and while polling a busy controller: the close is bounded and the worker's
// connection goes.
TEST_F(RemoteBufferLifeTest, CloseEndsTheWorkerWhateverItIsDoing)
{
    ScaledWaits waits(kTestWaitScale);
    const QByteArray ip = sim->address().toLatin1();
    for (int i = 0; i < 10; ++i) {
        VRemoteBuffer* b = VRemoteBuffer::bufOpen(ip.constData(), i % 2, 1 + i % 99);
        ASSERT_NE(b, nullptr);
        if (i % 3 == 1) {
            ASSERT_TRUE(waitUntil([&] { return sim->connectionCount() > 0; }, 2000));
        }
        EXPECT_EQ(VRemoteBuffer::bufClose(b), 1);
        ASSERT_TRUE(waitUntil([&] { return sim->connectionCount() == 0; }, 2000));
    }
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Silence, 0, 0, -1));
    sim->scriptReply('d', 5, scriptOf(ReplyScript::Status, 1, 0, -1));
    for (int i = 0; i < 4; ++i) {
        VRemoteBuffer* b = openDeclared(VRemoteBuffer::DncMode);
        ASSERT_NE(b, nullptr);
        const int before = sim->requestCount('d', i == 3 ? 5 : 2);
        if (i == 3) // the piece is stored "busy": the worker polls the transfer state
            sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 2, 0, 1));
        ASSERT_EQ(i == 2 || b->bufWrite("G01"), 1);
        ASSERT_TRUE(i == 2 || waitUntil([&] { return sim->requestCount('d', i == 3 ? 5 : 2) > before; }, 1000));
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(VRemoteBuffer::bufClose(b), 1);
        EXPECT_LT(clock.elapsed(), 800);
    }
    EXPECT_TRUE(waitUntil([&] { return sim->connectionCount() == 0; }, 2000)) << "every worker closed its connection";
}

} // namespace
