// Current and historical error files: the variable handshake, the path, the pieces of 100 bytes
// and the status character in front of the file's bytes. Each request waits for the controller
// to prepare the file: at a quarter of that here.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "FrameFields.h"

#include <QElapsedTimer>

namespace {

class ErrorFileTest : public ClientFixture
{
protected:
    ScaledWaits waits{kTestWaitScale};
    const char* last = nullptr; // the last text given, which stays valid until the next one
    QByteArray errorFile(int32_t selector)
    {
        const char* text = client->getCncCurrentError(selector);
        last = text ? text : last;
        return text ? QByteArray(text) : QByteArray("null");
    }
};

// Selector channel * 10 (+ 1 for the history): the channel and kind written, in that order, the
// path opened, pieces of 100 until a shorter one, and a close.
TEST_F(ErrorFileTest, SelectorNamesChannelAndKind)
{
    connectClient(1);
    const struct { int32_t selector, channel, kind; const char* path; int size; size_t reads; } rows[] = {
        {21, 2, 2, "sys0002/error/hisError.error", 250, 3},
        {0, 0, 1, "sys0000/error/curError.error", 100, 2},
        {81, 8, 2, "sys0008/error/hisError.error", 0, 1},
    };
    for (const auto& r : rows) {
        sim->clearReceived();
        const QByteArray content = countingBytes(r.size);
        sim->files()->setErrorFile(r.channel, r.kind == 2, content);
        EXPECT_EQ(errorFile(r.selector), "0" + content) << r.selector;
        const std::vector<QByteArray> writes = framesWithCode(*sim, 'D');
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[0].mid(9, 8), le32(ControllerFiles::kErrorFileChannelVar) + le32(r.channel)) << r.selector;
        EXPECT_EQ(writes[1].mid(9, 8), le32(ControllerFiles::kErrorFileRequestVar) + le32(r.kind)) << r.selector;
        EXPECT_EQ(framesWith(*sim, 'c', 1).at(0).mid(9), QByteArray(r.path));
        EXPECT_EQ(framesWith(*sim, 'c', 2).size(), r.reads) << r.selector;
        EXPECT_EQ(framesWith(*sim, 'c', 3).size(), 1u) << r.selector;
    }
    sim->clearReceived();
    for (int32_t selector : {5, 90, 82, 12, -1, -10})
        EXPECT_EQ(errorFile(selector), "9Channel selection error") << selector;
    EXPECT_TRUE(sim->receivedFrames().isEmpty());
}

// What the caller gets when the controller misbehaves, and what was asked: opens, pieces, closes.
TEST_F(ErrorFileTest, ControllerFailures)
{
    connectClient(1);
    // A count byte of 50 that the frame's size belies.
    const auto wrongCount = [](int bytes, int times = -1) { return rawReply(tcpFrame(QByteArray("c\x02\x32", 3) + QByteArray(bytes, 'w')), times); };
    const struct { const char* what; std::function<void()> setup; QByteArray expected; size_t opens, reads, closes; } rows[] = {
        {"missing file", [&] { sim->files()->removeErrorFile(1, false); }, "3", 1, 0, 0},
        {"never ready", [&] { sim->files()->holdErrorFileRequests(true); }, "8timeout get curErrorerror file", 0, 0, 0},
        // A read-back that brought no value is no "ready"; a refused variable write no answer.
        {"empty read-back", [&] { sim->scriptReply('B', -1, rawReply(tcpFrame(QByteArray("B\x00", 2)))); },
         "8timeout get curErrorerror file", 0, 0, 0},
        {"refused write", [&] { sim->scriptReply('D', -1, rawReply(tcpFrame(QByteArray("\xC4", 1)))); }, "null", 0, 0, 0},
        // After a good piece a failing one goes again, so often, short as it is; the status tells,
        // the close goes.
        {"short failing piece", [&] {
             sim->scriptReply('c', 2, wrongCount(10));
             sim->scriptReply('c', 2, scriptOf(ReplyScript::Status, 0, 0, 1));
         }, "3" + countingBytes(100), 1, 1 + AsynchronousClient::kErrorFileReadAttempts, 1},
        // The first piece too: asked again, and the opened file closed however it ends.
        {"first piece keeps failing", [&] { sim->scriptReply('c', 2, wrongCount(10)); }, "3", 1,
         AsynchronousClient::kErrorFileReadAttempts, 1},
        {"first piece fails once", [&] { sim->scriptReply('c', 2, wrongCount(10, 1)); }, "0" + countingBytes(250), 1, 4, 1},
        // A failed wait gives null; the exchange after it starts clean: its refused open sends no close.
        {"silent piece", [&] {
             sim->scriptReply('c', 2, scriptOf(ReplyScript::Silence, 0, 0, 1));
             sim->scriptReply('c', 2, scriptOf(ReplyScript::Status, 0, 0, 1));
         }, "null", 1, 2, 0},
        {"missing file after a failed wait", [&] { sim->files()->removeErrorFile(1, false); }, "3", 1, 0, 0},
        {"whole file after a failed wait", [] {}, "0" + countingBytes(250), 1, 3, 1},
    };
    for (const auto& r : rows) {
        sim->clearReceived();
        sim->clearScripts();
        sim->files()->holdErrorFileRequests(false);
        sim->files()->setErrorFile(1, false, countingBytes(250));
        r.setup();
        const QByteArray earlier = last ? QByteArray(last) : QByteArray();
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(errorFile(10), r.expected) << r.what;
        if (r.expected == "null") {
            EXPECT_EQ(QByteArray(last), earlier) << r.what << ": the earlier text stays valid";
        }
        EXPECT_LT(clock.elapsed(), 1500) << r.what;
        if (r.expected.startsWith('8')) { // asked again and again for the file's preparation
            EXPECT_GE(clock.elapsed(), CommTiming::now().fileReadyPauseMs) << r.what;
        }
        EXPECT_EQ(framesWith(*sim, 'c', 1).size(), r.opens) << r.what;
        EXPECT_EQ(framesWith(*sim, 'c', 2).size(), r.reads) << r.what;
        EXPECT_EQ(framesWith(*sim, 'c', 3).size(), r.closes) << r.what;
    }
    // A file that never ends is refused after so many bytes, and closed.
    sim->clearReceived();
    sim->scriptReply('c', 2, rawReply(tcpFrame(QByteArray("c\x02\x64", 3) + QByteArray(100, 'f')), -1));
    EXPECT_EQ(errorFile(10).left(1), "3");
    EXPECT_EQ(framesWith(*sim, 'c', 2).size(), size_t(AsynchronousClient::kMostErrorFileBytes / 100 + 1));
    EXPECT_EQ(framesWith(*sim, 'c', 3).size(), 1u);

    ASSERT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(errorFile(10), "7SocketDisconnected");
    // An asynchronous client cannot wait for the pieces: the open finds the queue full of the two
    // variable writes, and the call comes back at once with the queue's code.
    connectClient(0);
    EXPECT_EQ(errorFile(10), "4");
}

} // namespace
