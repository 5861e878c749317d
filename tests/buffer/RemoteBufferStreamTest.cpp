// The remote buffer streaming to the simulator: long programs arrive byte for byte through busy
// phases, refused frames go again exactly as they were, the capacity figures and limits hold, and
// a buffer that cannot connect or is closed mid-stream says so and leaves nothing behind.
#include "FrameFields.h"
#include "TestSupport.h"
#include "TransferTestSupport.h"
#include "VRemoteBuffer.h"

#include <QElapsedTimer>

#include <memory>
#include <string>
#include <vector>

namespace {

// A simulator on its own loopback address and a remote buffer streaming to it, closed (if still
// open) before the simulator stops; the buffer's pauses (busy polls, resends) run at a quarter.
class RemoteBufferStreamTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(sim->start()); }
    void TearDown() override { EXPECT_TRUE(!buffer || VRemoteBuffer::bufClose(buffer) == 1); }

    // Opens a buffer and waits until its file is declared and its queue found empty (state 5).
    VRemoteBuffer* openDeclared(int32_t mode, int32_t channel = 1)
    {
        VRemoteBuffer* opened = VRemoteBuffer::bufOpen(sim->address().toLatin1().constData(), mode, channel);
        if (opened && !waitUntil([&] { return opened->getBufState() == VRemoteBuffer::Idle; }, 3000))
            ADD_FAILURE() << "never idle; state " << opened->getBufState() << " " << opened->getBufStateInf();
        return opened;
    }
    // Writes, retrying while the buffer is busy (a write is refused outside states 0 and 5).
    static bool writeWhenReady(VRemoteBuffer* buffer, const QByteArray& text, int timeoutMs = 5000)
    {
        return waitUntil([&] { return buffer->bufWrite(text.constData()) == 1; }, timeoutMs);
    }
    // Waits until the controller holds text in file name of the channel and the queue is empty.
    bool waitForStored(VRemoteBuffer* buffer, int32_t channel, const char* name, const QByteArray& text, int timeoutMs = 10000)
    {
        return waitUntil([&] { return buffer->getBufState() == VRemoteBuffer::Idle && sim->programText(channel, name) == text; },
                         timeoutMs);
    }

    ScaledWaits waits{kTestWaitScale};
    std::unique_ptr<SimulatedController> sim{new SimulatedController};
    VRemoteBuffer* buffer = nullptr; // closed by TearDown when a test leaves it open
};

using Shapes = std::vector<std::string>;

// The 480-byte pieces a write of text becomes.
std::vector<QByteArray> piecesOf(const QByteArray& text)
{
    std::vector<QByteArray> pieces;
    for (int at = 0; at < text.size(); at += VRemoteBuffer::kPieceSize)
        pieces.push_back(text.mid(at, VRemoteBuffer::kPieceSize));
    return pieces;
}

TEST_F(RemoteBufferStreamTest, LongDncStreamArrivesByteExactThroughBusyPhases)
{
    sim->setBusyPhases(400, 60); // every 400th piece: stored, then busy for 60 ms
    buffer = openDeclared(VRemoteBuffer::DncMode, 3);
    ASSERT_NE(buffer, nullptr);
    const QByteArray program = programOf(1024 * 1024);
    constexpr int kWrite = 200 * 1024; // within the 1000-frame queue
    std::vector<QByteArray> expectedPieces;
    for (int at = 0; at < program.size(); at += kWrite) {
        const QByteArray part = program.mid(at, kWrite);
        ASSERT_TRUE(writeWhenReady(buffer, part)) << at << " state " << buffer->getBufState();
        for (const QByteArray& p : piecesOf(part))
            expectedPieces.push_back(p);
    }
    ASSERT_TRUE(waitForStored(buffer, 3, "DNC", program, 60000)) << buffer->getBufState() << " " << buffer->getBufStateInf();
    EXPECT_EQ(blockTexts(*sim, 2), expectedPieces) << "each piece once, in order";
    EXPECT_GT(sim->requestCount('d', 5), 0) << "the busy phases were polled through";
    EXPECT_EQ(transferShapes(*sim).front(), "d1 3 1 DNC");
    EXPECT_EQ(sim->requestCount('d', 4), 0) << "a DNC stream has no file end";
    EXPECT_EQ(std::string(buffer->getBufStateInf()), "Command queue is empty.");
}

TEST_F(RemoteBufferStreamTest, MdiStreamEndsEveryWriteAndKeepsToItsBudget)
{
    sim->setBusyPhases(30, 20);
    buffer = openDeclared(VRemoteBuffer::MdiMode, 2);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->getBufValidCnt(), VRemoteBuffer::kMdiByteBudget);
    const QByteArray program = programOf(100000);
    for (int at = 0; at < program.size(); at += 20000)
        ASSERT_TRUE(writeWhenReady(buffer, program.mid(at, 20000)));
    ASSERT_TRUE(waitForStored(buffer, 2, "MDI", program));
    EXPECT_EQ(sim->requestCount('d', 4), 5) << "one file end per write";
    EXPECT_EQ(transferShapes(*sim).front(), "d1 2 5 MDI");
    EXPECT_EQ(buffer->getBufValidCnt(), 2400);
    // A write beyond the room left is refused whole; one that fills it is taken, then nothing
    // until bufClear.
    EXPECT_EQ(buffer->bufWrite(programOf(2401).constData()), 0);
    const QByteArray more = programOf(2400);
    ASSERT_TRUE(writeWhenReady(buffer, more));
    ASSERT_TRUE(waitForStored(buffer, 2, "MDI", program + more));
    EXPECT_EQ(buffer->getBufValidCnt(), 0);
    EXPECT_EQ(buffer->bufWrite("G"), 0);
    EXPECT_EQ(buffer->bufClear(), 1);
    EXPECT_EQ(buffer->getBufValidCnt(), VRemoteBuffer::kMdiByteBudget);
    ASSERT_TRUE(writeWhenReady(buffer, "G02"));
    ASSERT_TRUE(waitForStored(buffer, 2, "MDI", "G02")) << "the clear declared the file again and emptied it";
    ASSERT_TRUE(writeWhenReady(buffer, ""));
    EXPECT_TRUE(waitUntil([&] { return sim->requestCount('d', 4) == 8; }, 2000)) << "an empty write still ends the file";
}

TEST_F(RemoteBufferStreamTest, FreeCapacityCountsQueuedFramesAndBoundsEveryWrite)
{
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->getBufValidCnt(), 1000 * 480);
    // The first piece's reply comes late, so the other ten wait in the queue meanwhile; a write
    // one byte beyond the room left is refused whole.
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Delay, 0, 1000, 1));
    const QByteArray text = programOf(11 * 480);
    ASSERT_EQ(buffer->bufWrite(text.constData()), 1);
    EXPECT_TRUE(waitUntil([&] { return buffer->getBufValidCnt() == 475200; }, 250)) << buffer->getBufValidCnt();
    EXPECT_EQ(buffer->bufWrite(programOf(475201).constData()), 0);
    ASSERT_TRUE(waitForStored(buffer, 1, "DNC", text));
    EXPECT_EQ(buffer->getBufValidCnt(), 480000);
    // The last piece awaits its reply (memory full): an empty write does not make the buffer idle.
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Delay, 3, 1000, 1));
    ASSERT_EQ(buffer->bufWrite("G01"), 1);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 2) == 12; }, 2000));
    EXPECT_EQ(buffer->bufWrite(""), 1);
    EXPECT_NE(buffer->getBufState(), VRemoteBuffer::Idle);
    ASSERT_TRUE(waitForStored(buffer, 1, "DNC", text + "G01")) << "sent again after the refusal";
}

TEST_F(RemoteBufferStreamTest, RefusedPieceGoesAgainExactlyAsItWas)
{
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    const struct
    {
        ReplyScript script;
        std::string text;
    } refusals[] = {
        {scriptOf(ReplyScript::Status, 1, 0, -1), "parameters error."},
        {scriptOf(ReplyScript::Status, 3, 0, -1), "DNC内存已满，此笔数据追加失败"},
        {scriptOf(ReplyScript::Status, 100, 0, -1), "CNC系统执行错误报警"},
        {scriptOf(ReplyScript::Status, 9, 0, -1), "AppendTxt:unknow state. state=9"},
        {rawReply(QByteArray("\x00\x00\x00\x00\x03\x00\x00\xE4\x02", 9), -1), "Error reply from the controller."},
    };
    QByteArray stored;
    for (const auto& r : refusals) {
        sim->clearReceived();
        sim->scriptReply('d', 2, r.script);
        const QByteArray text = programOf(1000).mid(int(stored.size() % 7));
        ASSERT_EQ(buffer->bufWrite(text.constData()), 1) << r.text;
        ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 2) >= 3; }, 2000)) << r.text;
        EXPECT_EQ(buffer->getBufState(), VRemoteBuffer::Refused) << r.text;
        EXPECT_EQ(std::string(buffer->getBufStateInf()), r.text);
        EXPECT_EQ(buffer->bufWrite("G01"), 0) << "no writes while a frame is refused";
        sim->clearScripts();
        stored += text;
        ASSERT_TRUE(waitForStored(buffer, 1, "DNC", stored)) << r.text;
        const std::vector<QByteArray> sent = blockTexts(*sim, 2);
        const std::vector<QByteArray> pieces = piecesOf(text);
        ASSERT_GE(sent.size(), 4u) << r.text;
        for (size_t i = 0; i + 2 < sent.size(); ++i)
            EXPECT_EQ(sent[i], pieces[0]) << r.text << " send " << i;
        EXPECT_EQ(sent[sent.size() - 2], pieces[1]) << r.text;
        EXPECT_EQ(sent.back(), pieces[2]) << r.text;
    }
}

// The controller stores the first piece but sends an error reply ahead of its real one: the real
// one answers it, so no piece goes twice and the stream ends idle with its whole room.
TEST_F(RemoteBufferStreamTest, RealReplyBehindAnErrorReplyAnswersThePiece)
{
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    ReplyScript s = scriptOf(ReplyScript::Before, 0, 60, 1); // later than a resend's pause
    s.raw = QByteArray("\x00\x00\x00\x00\x03\x00\x00\xE4\x02", 9);
    sim->scriptReply('d', 2, s);
    const QByteArray text = programOf(3 * 480);
    ASSERT_EQ(buffer->bufWrite(text.constData()), 1);
    ASSERT_TRUE(waitForStored(buffer, 1, "DNC", text)) << sim->programText(1, "DNC").size();
    EXPECT_EQ(blockTexts(*sim, 2), piecesOf(text));
    EXPECT_EQ(buffer->getBufValidCnt(), 1000 * 480);
}

TEST_F(RemoteBufferStreamTest, BusyReplyPollsTheTransferStateInsteadOfSendingAgain)
{
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    // The clear's empty overwrite is answered "stored, busy"; the controller stays busy a while.
    sim->scriptReply('d', 3, scriptOf(ReplyScript::Status, 2, 0, 1));
    sim->scriptReply('d', 5, scriptOf(ReplyScript::Status, 1, 0, 3));
    sim->clearReceived();
    ASSERT_EQ(buffer->bufClear(), 1);
    ASSERT_TRUE(waitUntil([&] { return buffer->getBufState() == VRemoteBuffer::Busy; }, 2000));
    EXPECT_EQ(std::string(buffer->getBufStateInf()), "Cnc Busy");
    EXPECT_EQ(buffer->bufWrite("G01"), 0);
    EXPECT_EQ(buffer->getBufValidCnt(), 0);
    ASSERT_TRUE(waitUntil([&] { return buffer->getBufState() == VRemoteBuffer::Idle; }, 2000));
    ASSERT_TRUE(writeWhenReady(buffer, "G02"));
    ASSERT_TRUE(waitForStored(buffer, 1, "DNC", "G02"));
    EXPECT_EQ(transferShapes(*sim), Shapes({"d1 1 1 DNC", "d3 0", "d5", "d5", "d5", "d5", "d2 3"}));
}

using RemoteBufferLifeTest = RemoteBufferStreamTest;

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
