// The remote buffer's cells of the fault matrix: a stream whose declaration or third piece meets
// the fault. A stream in doubt stops in state 3 and says why; a refusing or busy controller keeps
// it waiting in state 4 or 1, paced, until the application closes it; the close is bounded and
// leaves no thread or descriptor behind; nothing the controller did not take is counted as gone.
#include "CommCodes.h"
#include "FaultSupport.h"
#include "RemoteBufferFixture.h"

#include <functional>
#include <string>

namespace {

class BufferFaultMatrix : public RemoteBufferFixture
{
    ScaledWaits waits{kTestWaitScale};

protected:
    struct StopCase
    {
        const char* fault;
        ReplyScript script;
        const char* text;
        int minMs, maxMs;
    };
    void runStopCell(const StopCase& c);
};

const char* const kBuffer = "remote buffer";
const char* const kLinkClosed = "Connection closed by the controller; stream stopped.";
const char* const kNoValidReply = "No valid reply from the controller; stream stopped.";
constexpr int kPieces = 10;
constexpr int kPiece = VRemoteBuffer::kPieceSize;
constexpr int kCloseMs = 800; // a close waits for one step of the worker: at most one reply wait
// The waits run scaled here (the text above keeps the real 500 ms: it is what users read).
int replyWaitMs() { return CommTiming::now().bufferReplyMs; }
// Long enough for the worker to take several steps had it anything left to send.
int quietMs() { return 6 * replyWaitMs(); }
// A window of twenty resend pauses: a paced worker asks at most once per pause.
int windowMs() { return 20 * CommTiming::now().bufferResendPauseMs; }

// True when cond became true within ms (for checks that something does NOT happen).
bool happensWithin(const std::function<bool()>& cond, int ms)
{
    return waitUntil(cond, ms);
}

std::string stateOf(VRemoteBuffer* b)
{
    return std::to_string(b->getBufState()) + " \"" + b->getBufStateInf() + "\"";
}

// Closes the buffer, checking that the close is bounded.
qint64 closeTimed(VRemoteBuffer*& b)
{
    Stopwatch clock;
    EXPECT_EQ(VRemoteBuffer::bufClose(b), 1);
    b = nullptr;
    EXPECT_LT(clock.ms(), kCloseMs);
    return clock.ms();
}

// The fault meets the third piece of a stream of ten.
void faultOnThirdPiece(SimulatedController& sim, const ReplyScript& fault)
{
    sim.scriptReply('d', 2, fault);
    sim.scriptReply('d', 2, scriptOf(ReplyScript::Status, 0, 0, 2));
}

// The stream stops at the third piece with the text of the case, sends nothing after it and
// counts nothing as gone; the controller holds the first two pieces and perhaps the third.
void BufferFaultMatrix::runStopCell(const StopCase& c)
{
    FaultCell cell(c.fault, kBuffer);
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    faultOnThirdPiece(*sim, c.script);
    const QByteArray text = programOf(kPieces * kPiece);
    ASSERT_EQ(buffer->bufWrite(text.constData()), 1);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 2) == 3; }, 2000));
    Stopwatch clock;
    ASSERT_TRUE(waitUntil([&] { return buffer->getBufState() == VRemoteBuffer::Closed; }, 2000)) << stateOf(buffer);
    const qint64 ms = clock.ms();
    EXPECT_GE(ms, c.minMs);
    EXPECT_LE(ms, c.maxMs);
    EXPECT_EQ(std::string(buffer->getBufStateInf()), c.text);
    EXPECT_EQ(buffer->bufWrite("G01"), 0);
    EXPECT_EQ(buffer->getBufValidCnt(), 0) << "the unsent pieces are not counted as gone";
    EXPECT_FALSE(happensWithin([&] { return sim->requestCount('d', 2) != 3; }, quietMs()))
        << "the third piece is neither sent again nor followed";
    const QByteArray held = sim->programText(1, "DNC");
    EXPECT_TRUE(held == text.left(2 * kPiece) || held == text.left(3 * kPiece)) << held.size();
    const qint64 closeMs = closeTimed(buffer);
    EXPECT_TRUE(waitUntil([&] { return sim->connectionCount() == 0; }, 2000));
    cell.outcome("state " + std::to_string(VRemoteBuffer::Closed) + " \"" + c.text + "\" " + std::to_string(ms) +
                 " ms after the third piece went, nothing sent after it, " + std::to_string(held.size() / kPiece) +
                 " pieces held, close " + std::to_string(closeMs) + " ms");
    cell.done();
}

TEST_F(BufferFaultMatrix, BufferDropMidReply)
{
    runStopCell({"drop mid-reply", scriptOf(ReplyScript::CloseMidReply, 0, 0, 1), kLinkClosed, 0, 400});
}

TEST_F(BufferFaultMatrix, BufferReplyLaterThanTheWait)
{
    runStopCell({"reply whose end comes later than the wait", scriptOf(ReplyScript::Split, 0, replyWaitMs() + 200, 1), kNoValidReply, replyWaitMs() - 25, replyWaitMs() + 600});
}

TEST_F(BufferFaultMatrix, BufferTruncatedReply)
{
    runStopCell({"truncated reply", scriptOf(ReplyScript::Truncate, 0, 0, 1), kNoValidReply, replyWaitMs() - 25, replyWaitMs() + 600});
}

// An overwrite reply to an append says nothing about the append.
TEST_F(BufferFaultMatrix, BufferReplyOfAnotherKind)
{
    runStopCell({"reply of another kind", rawReply(tcpFrame(QByteArray("d\x03\x00", 3))), kNoValidReply, replyWaitMs() - 25, replyWaitMs() + 600});
}

// The controller takes the declaration in and closes the link: the stream never starts.
TEST_F(BufferFaultMatrix, BufferDropAfterTheRequest)
{
    FaultCell cell("drop after the request", kBuffer);
    sim->scriptReply('d', 1, scriptOf(ReplyScript::Close, 0, 0, 1));
    buffer = open(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 1) == 1; }, 2000));
    EXPECT_TRUE(waitUntil([&] { return std::string(buffer->getBufStateInf()) == kLinkClosed; }, 1000)) << stateOf(buffer);
    EXPECT_EQ(buffer->getBufState(), VRemoteBuffer::Closed);
    EXPECT_EQ(buffer->bufWrite("G01"), 0);
    EXPECT_EQ(sim->requestCount('d', 2), 0);
    const qint64 closeMs = closeTimed(buffer);
    cell.outcome("declaration taken, link closed: state " + std::to_string(VRemoteBuffer::Closed) + " \"" + kLinkClosed +
                 "\", writes refused, close " + std::to_string(closeMs) + " ms");
    cell.done();
}

// Refused for ever: the piece goes again and again as it was, paced, in state 4; nothing else goes,
// nothing of it is stored, writes are refused, and the close ends it.
TEST_F(BufferFaultMatrix, BufferRefusedForEver)
{
    FaultCell cell("refused for ever", kBuffer);
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 1, 0, -1));
    const QByteArray text = programOf(3 * kPiece);
    ASSERT_EQ(buffer->bufWrite(text.constData()), 1);
    ASSERT_TRUE(waitUntil([&] { return buffer->getBufState() == VRemoteBuffer::Refused; }, 1000)) << stateOf(buffer);
    const int first = sim->requestCount('d', 2);
    EXPECT_FALSE(happensWithin([&] { return sim->requestCount('d', 2) > first + 21; }, windowMs())) << "paced, not spinning";
    const int perSecond = sim->requestCount('d', 2) - first; // per window of twenty pauses
    EXPECT_GE(perSecond, 3) << "it keeps trying";
    EXPECT_EQ(buffer->getBufState(), VRemoteBuffer::Refused);
    EXPECT_EQ(std::string(buffer->getBufStateInf()), "parameters error.");
    for (const QByteArray& piece : blockTexts(*sim, 2))
        EXPECT_EQ(piece, text.left(kPiece)) << "only the refused piece, as it was";
    EXPECT_EQ(sim->programText(1, "DNC"), QByteArray(""));
    EXPECT_EQ(buffer->bufWrite("G01"), 0);
    EXPECT_EQ(buffer->getBufValidCnt(), 0);
    const qint64 closeMs = closeTimed(buffer);
    cell.outcome("state 4 \"parameters error.\", the piece resent " + std::to_string(perSecond) +
                 " times in twenty pauses, nothing stored, writes refused, close " + std::to_string(closeMs) + " ms");
    cell.done();
}

// Busy for ever: the piece was stored with "busy", and the transfer state never turns ready. The
// buffer polls, paced, sends no further piece, and the close ends it.
TEST_F(BufferFaultMatrix, BufferBusyForEver)
{
    FaultCell cell("remote buffer busy for ever", kBuffer);
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    sim->scriptReply('d', 5, scriptOf(ReplyScript::Status, 1, 0, -1));
    faultOnThirdPiece(*sim, scriptOf(ReplyScript::Status, 2, 0, 1));
    const QByteArray text = programOf(kPieces * kPiece);
    ASSERT_EQ(buffer->bufWrite(text.constData()), 1);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 5) > 0; }, 1000));
    const int first = sim->requestCount('d', 5);
    EXPECT_FALSE(happensWithin([&] { return sim->requestCount('d', 5) > first + 21; }, windowMs())) << "one query per pause at most";
    const int perSecond = sim->requestCount('d', 5) - first; // per window of twenty pauses
    EXPECT_GE(perSecond, 3) << "it keeps polling";
    EXPECT_EQ(buffer->getBufState(), VRemoteBuffer::Busy);
    EXPECT_EQ(sim->requestCount('d', 2), 3) << "no piece while busy";
    EXPECT_EQ(sim->programText(1, "DNC"), text.left(3 * kPiece));
    EXPECT_EQ(buffer->bufWrite("G01"), 0);
    const qint64 closeMs = closeTimed(buffer);
    cell.outcome("state 1, " + std::to_string(perSecond) + " transfer-state queries in twenty pauses, no further piece, "
                 "3 pieces held, writes refused, close " + std::to_string(closeMs) + " ms");
    cell.done();
}

// The controller restarts in the middle of a stream: the stream stops for good (a fresh connection
// would not carry the controller's transfer on), and a new buffer streams whole to the restarted one.
TEST_F(BufferFaultMatrix, BufferControllerRestartsMidStream)
{
    FaultCell cell("controller restarts mid-session", kBuffer);
    ASSERT_TRUE(startRestartable(*sim));
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    const QString address = sim->address();
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Delay, 0, replyWaitMs() / 3, -1));
    const QByteArray text = programOf(kPieces * kPiece);
    ASSERT_EQ(buffer->bufWrite(text.constData()), 1);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 2) == 3; }, 2000));
    sim->stop();
    Stopwatch clock;
    ASSERT_TRUE(waitUntil([&] { return buffer->getBufState() == VRemoteBuffer::Closed; }, 1000)) << stateOf(buffer);
    const qint64 ms = clock.ms();
    EXPECT_EQ(std::string(buffer->getBufStateInf()), kLinkClosed);
    ASSERT_TRUE(sim->start(address));
    EXPECT_FALSE(happensWithin([&] { return sim->connectionCount() != 0; }, quietMs())) << "no reconnection of its own";
    EXPECT_EQ(buffer->getBufState(), VRemoteBuffer::Closed);
    closeTimed(buffer);
    buffer = openDeclared(VRemoteBuffer::DncMode);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(buffer->bufWrite(text.constData()), 1);
    EXPECT_TRUE(waitForStored(buffer, 1, "DNC", text));
    closeTimed(buffer);
    cell.outcome("state 3 \"" + std::string(kLinkClosed) + "\" " + std::to_string(ms) +
                 " ms after the stop, no reconnection; a new buffer streams whole to the restarted controller");
    cell.done();
}

} // namespace
