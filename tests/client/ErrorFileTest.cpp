// Current and historical error files: the variable handshake, the path, the pieces of 100 bytes
// and the status character in front of the file's bytes.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "FrameFields.h"

#include <QElapsedTimer>

namespace {

// Each request waits for the controller to prepare the file: at a quarter of that here.
class ErrorFileTest : public ClientFixture
{
    ScaledWaits waits{kTestWaitScale};
};

struct Request
{
    int32_t channel;
    int32_t kind;
    QByteArray path;
};

// What one exchange asked: the two variable writes and the path it opened.
Request requestOf(SimulatedController& sim)
{
    const std::vector<QByteArray> writes = framesWithCode(sim, 'D');
    const std::vector<QByteArray> opens = framesWith(sim, 'c', 1);
    EXPECT_EQ(writes.size(), 2u);
    EXPECT_EQ(opens.size(), 1u);
    if (writes.size() != 2 || opens.size() != 1)
        return {};
    EXPECT_EQ(int32At(writes[0], 9), ControllerFiles::kErrorFileChannelVar) << "the channel is written first";
    EXPECT_EQ(int32At(writes[1], 9), ControllerFiles::kErrorFileRequestVar);
    return {int32At(writes[0], 13), int32At(writes[1], 13), opens[0].mid(9)};
}

TEST_F(ErrorFileTest, SelectorNamesChannelAndKind)
{
    connectClient(1);
    struct Case { int32_t selector; int32_t channel; int32_t kind; const char* path; };
    const Case cases[] = {
        {21, 2, 2, "sys0002/error/hisError.error"},
        {0, 0, 1, "sys0000/error/curError.error"},
        {81, 8, 2, "sys0008/error/hisError.error"},
    };
    for (const Case& c : cases) {
        sim->clearReceived();
        const QByteArray content = "E100" + QByteArray::number(c.selector) + " axis overload\n";
        sim->files()->setErrorFile(c.channel, c.kind == 2, content);
        const char* text = client->getCncCurrentError(c.selector);
        ASSERT_NE(text, nullptr) << c.selector;
        EXPECT_EQ(QByteArray(text), "0" + content) << c.selector;
        const Request asked = requestOf(*sim);
        EXPECT_EQ(asked.channel, c.channel) << c.selector;
        EXPECT_EQ(asked.kind, c.kind) << c.selector;
        EXPECT_EQ(asked.path, QByteArray(c.path));
    }
}

TEST_F(ErrorFileTest, SelectorsOfNoChannelSendNothing)
{
    connectClient(1);
    sim->clearReceived();
    for (int32_t selector : {5, 90, 82, 12, -1, -10}) {
        const char* text = client->getCncCurrentError(selector);
        ASSERT_NE(text, nullptr) << selector;
        EXPECT_STREQ(text, "9Channel selection error") << selector;
    }
    EXPECT_TRUE(sim->receivedFrames().isEmpty());
}

// Pieces of 100 bytes; the first shorter one ends the reading. The bytes come back as sent.
TEST_F(ErrorFileTest, FileArrivesInPiecesOfHundredBytes)
{
    connectClient(1);
    struct Case { int size; size_t reads; };
    for (const Case c : {Case{250, 3}, Case{100, 2}, Case{0, 1}}) {
        sim->clearReceived();
        const QByteArray content = countingBytes(c.size);
        sim->files()->setErrorFile(3, false, content);
        const char* text = client->getCncCurrentError(30);
        ASSERT_NE(text, nullptr) << c.size;
        EXPECT_EQ(QByteArray(text), "0" + content) << c.size;
        EXPECT_EQ(client->errorFileText.size(), c.size + 1);
        EXPECT_EQ(framesWith(*sim, 'c', 2).size(), c.reads) << c.size;
        EXPECT_EQ(framesWith(*sim, 'c', 3).size(), 1u) << c.size;
    }
}

TEST_F(ErrorFileTest, MissingFileGivesStatusThreeAlone)
{
    connectClient(1);
    const char* text = client->getCncCurrentError(40);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "3");
    EXPECT_EQ(framesWith(*sim, 'c', 1).size(), 1u);
    EXPECT_TRUE(framesWith(*sim, 'c', 2).empty());
    EXPECT_TRUE(framesWith(*sim, 'c', 3).empty()) << "nothing was read, nothing to close";
}

TEST_F(ErrorFileTest, ControllerThatNeverGetsReadyTimesOut)
{
    connectClient(1);
    sim->files()->setErrorFile(1, false, "E1");
    sim->files()->holdErrorFileRequests(true);
    QElapsedTimer clock;
    clock.start();
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "8timeout get curErrorerror file");
    EXPECT_GE(clock.elapsed(), CommTiming::now().fileReadyPauseMs);
    EXPECT_TRUE(framesWithCode(*sim, 'c').empty());
}

// The request must be seen taken and then done: a read-back that brought no value is no "ready",
// and a refused variable write gets no answer that counts.
TEST_F(ErrorFileTest, HandshakeThatFailsOpensNothing)
{
    connectClient(1);
    sim->files()->setErrorFile(1, false, "E1");
    sim->scriptReply('B', -1, rawReply(tcpFrame(QByteArray("B\x00", 2))));
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "8timeout get curErrorerror file");
    sim->scriptReply('D', -1, rawReply(tcpFrame(QByteArray("\xC4", 1))));
    EXPECT_EQ(client->getCncCurrentError(10), nullptr);
    EXPECT_TRUE(framesWithCode(*sim, 'c').empty());
}

TEST_F(ErrorFileTest, NoLinkGivesStatusSeven)
{
    connectClient(1);
    ASSERT_TRUE(client->tcpDisconnect());
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "7SocketDisconnected");
}

// A failed wait gives null and leaves the earlier text alone; the exchange after it starts clean:
// its refused open sends no close.
TEST_F(ErrorFileTest, FailedWaitGivesNullAndLeavesNothingBehind)
{
    connectClient(1);
    const QByteArray content = countingBytes(250);
    sim->files()->setErrorFile(1, false, content);
    const char* earlier = client->getCncCurrentError(10);
    ASSERT_NE(earlier, nullptr);
    sim->scriptReply('c', 2, scriptOf(ReplyScript::Silence, 0, 0, 1));
    sim->scriptReply('c', 2, scriptOf(ReplyScript::Status, 0, 0, 1)); // newest first: one good piece
    EXPECT_EQ(client->getCncCurrentError(10), nullptr);
    EXPECT_EQ(QByteArray(earlier), "0" + content) << "the earlier text stays valid";

    sim->files()->removeErrorFile(1, false);
    sim->clearReceived();
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "3");
    EXPECT_TRUE(framesWith(*sim, 'c', 3).empty()) << "flags of the failed exchange must not send a close";

    sim->files()->setErrorFile(1, false, content);
    text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(QByteArray(text), "0" + content);
}

// After a good piece, a failing one is sent again, but only so often; the status tells of the
// failure even though the close succeeds.
TEST_F(ErrorFileTest, PieceThatKeepsFailingIsGivenUp)
{
    connectClient(1);
    sim->files()->setErrorFile(1, false, countingBytes(250));
    // 110 bytes whose count byte says 50: never a short reply, always a wrong count.
    const QByteArray wrongCount = tcpFrame(QByteArray("c\x02\x32", 3) + QByteArray(100, 'w'));
    sim->scriptReply('c', 2, rawReply(wrongCount, -1));
    sim->scriptReply('c', 2, scriptOf(ReplyScript::Status, 0, 0, 1));
    QElapsedTimer clock;
    clock.start();
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(QByteArray(text), "3" + countingBytes(100));
    EXPECT_EQ(framesWith(*sim, 'c', 2).size(), size_t(1 + AsynchronousClient::kErrorFileReadAttempts));
    EXPECT_EQ(framesWith(*sim, 'c', 3).size(), 1u) << "the file is closed all the same";
}

TEST_F(ErrorFileTest, ShortFailingPieceIsNoSuccess)
{
    connectClient(1);
    sim->files()->setErrorFile(1, false, countingBytes(250));
    const QByteArray wrongCount = tcpFrame(QByteArray("c\x02\x32", 3) + QByteArray(10, 'w'));
    sim->scriptReply('c', 2, rawReply(wrongCount, 1));
    sim->scriptReply('c', 2, scriptOf(ReplyScript::Status, 0, 0, 1));
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(QByteArray(text), "3" + countingBytes(100));
    EXPECT_EQ(framesWith(*sim, 'c', 2).size(), 2u) << "a short reply ends the reading";
    EXPECT_EQ(framesWith(*sim, 'c', 3).size(), 1u);
}

TEST_F(ErrorFileTest, FileThatNeverEndsIsRefused)
{
    connectClient(1);
    sim->files()->setErrorFile(1, false, "E1");
    const QByteArray fullPiece = tcpFrame(QByteArray("c\x02\x64", 3) + QByteArray(100, 'f'));
    sim->scriptReply('c', 2, rawReply(fullPiece, -1));
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[0], '3');
    const size_t pieces = framesWith(*sim, 'c', 2).size();
    EXPECT_EQ(pieces, size_t(AsynchronousClient::kMostErrorFileBytes / 100 + 1));
    EXPECT_EQ(framesWith(*sim, 'c', 3).size(), 1u);
}

// An asynchronous client cannot wait for the pieces: the open finds the queue full of the two
// variable writes, and the call comes back at once with the queue's code.
TEST_F(ErrorFileTest, AsynchronousClientGivesQueueFull)
{
    connectClient(0);
    sim->files()->setErrorFile(1, false, "E1");
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "4");
}

}
