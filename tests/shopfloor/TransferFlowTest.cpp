// Long transfers on the shop floor: slow replies, a full DNC memory waited out (or ended), text the
// controller cannot take, and a renewed link that asks for the transfer to start again.
#include "ApiTestSupport.h"
#include "CommCodes.h"
#include "CommTiming.h"
#include "TestSupport.h"
#include "TransferTestSupport.h"

#include <QElapsedTimer>

#include <future>
#include <string>

namespace {

using TransferFlowTest = ApiFixture;
constexpr int kPiece = 480;

std::string stateOf(AcmRemoteBuffer* b) { return std::to_string(getBufState(b)) + " \"" + getBufStateInf(b) + "\""; }

AcmRemoteBuffer* openIdle(SimulatedController& sim, int channel = 1)
{
    QByteArray ip = sim.address().toLatin1();
    AcmRemoteBuffer* b = bufOpen(ip.data(), 1, channel);
    EXPECT_TRUE(waitUntil([&] { return getBufState(b) == 5; }, 3000)) << stateOf(b);
    return b;
}

// Replies to a piece and to a state poll come late; the stream waits for them and goes on.
TEST_F(TransferFlowTest, BufferWaitsForLateReplies)
{
    ScaledWaits waits{0.1}; // the delays keep their share of the stall limit: 0.7, 2 and 5 of 10 s
    const int stallMs = CommTiming::now().bufferStallLimitMs;
    int channel = 0;
    for (const int delayMs : {stallMs * 7 / 100, stallMs / 5, stallMs / 2}) {
        sim->setBusyPhases(2, 50); // every second piece leaves the controller busy: the buffer polls
        AcmRemoteBuffer* b = openIdle(*sim, ++channel);
        sim->scriptReply('d', 2, scriptOf(ReplyScript::Delay, 0, delayMs, 1));
        sim->scriptReply('d', 5, scriptOf(ReplyScript::Delay, 0, delayMs, 1));
        QByteArray text = programOf(4 * kPiece);
        ASSERT_EQ(bufWrite(b, text.data()), 1);
        EXPECT_TRUE(waitUntil([&] { return getBufState(b) == 5; }, 2 * delayMs + 3000)) << delayMs << " " << stateOf(b);
        EXPECT_EQ(sim->programText(channel, "DNC"), text) << delayMs;
        EXPECT_EQ(sim->requestCount('d', 2), 4) << delayMs << ": each piece sent once";
        EXPECT_GE(sim->requestCount('d', 5), 1) << delayMs;
        EXPECT_EQ(bufClose(b), 1);
        sim->clearReceived();
    }
}

TEST_F(TransferFlowTest, BufferStopsWhenTheControllerStaysSilent)
{
    ScaledWaits waits{0.1};
    const int stallMs = CommTiming::now().bufferStallLimitMs;
    AcmRemoteBuffer* b = openIdle(*sim);
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Silence, 0, 0, 1)); // the later rule serves first
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 0, 0, 1));
    QByteArray text = programOf(5 * kPiece);
    ASSERT_EQ(bufWrite(b, text.data()), 1);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 2) == 2; }, 2000));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return getBufState(b) == 3; }, stallMs + 2000)) << stateOf(b);
    EXPECT_GE(clock.elapsed(), stallMs * 9 / 10);
    EXPECT_LE(clock.elapsed(), stallMs + 1000);
    EXPECT_STREQ(getBufStateInf(b), "No reply from the controller within 10 s; stream stopped.");
    EXPECT_TRUE(waitUntil([&] { return sim->connectionCount() == 0; }, 2000)) << "the stream's link is closed";
    EXPECT_EQ(sim->requestCount('d', 2), 2) << "nothing sent after the silent piece";
    EXPECT_EQ(bufClose(b), 1);
}

// A DNC memory of three blocks that the running machine frees one block per 20 ms takes a program
// twenty times its size, byte for byte.
TEST_F(TransferFlowTest, FullMemoryIsWaitedOut)
{
    ScaledWaits waits{kTestWaitScale};
    addAndConnect();
    sim->setDncCapacity(3 * AsynchronousClient::kTextBlockSize, 20);
    QByteArray text = programOf(20 * 3 * AsynchronousClient::kTextBlockSize - 7); // the last block is short
    EXPECT_EQ(uploadFile(1, 1, const_cast<char*>("O100"), text.data(), kCnc), 0);
    EXPECT_EQ(sim->programText(1, "O100"), text);
}

// Stuck on "memory full" for good: a disconnect, or a close of the buffer, from another thread ends it.
TEST_F(TransferFlowTest, DisconnectOrCloseEndsAFullMemoryWait)
{
    addAndConnect();
    sim->setDncCapacity(AsynchronousClient::kTextBlockSize);
    QByteArray text = programOf(2000);
    auto upload = std::async(std::launch::async, [&] { return uploadFile(1, 1, const_cast<char*>("O101"), text.data(), kCnc); });
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 2) >= 3; }, 3000));
    QElapsedTimer clock;
    clock.start();
    disconnect(kCnc);
    const bool ended = upload.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    if (!ended)
        sim->setDncCapacity(-1); // lets a transfer the disconnect did not end finish
    EXPECT_TRUE(ended);
    EXPECT_EQ(upload.get(), ResultCode::NotConnected);
    EXPECT_LT(clock.elapsed(), 1000);

    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 3, 0, -1));
    AcmRemoteBuffer* b = openIdle(*sim);
    ASSERT_EQ(bufWrite(b, text.data()), 1);
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 2) >= 3; }, 3000)) << stateOf(b);
    clock.restart();
    EXPECT_EQ(bufClose(b), 1);
    EXPECT_LT(clock.elapsed(), 700);
}

// A byte with the top bit set, wherever it is: the whole text is refused before anything is sent,
// and the report names the byte and its offset.
TEST_F(TransferFlowTest, TextWithAnEightBitByteIsRefusedWhole)
{
    addAndConnect();
    ASSERT_TRUE(setErrCallbackFunc(&recordError, kCnc));
    ASSERT_EQ(setTransFileType(2, 1, const_cast<char*>("O102"), kCnc), 0);
    const struct { const char* call; int at; int32_t errorCmd; } rows[] = {
        {"overwrite", 450, ErrorCmd::Overwrite}, {"append", 0, ErrorCmd::Append},
        {"uploadFile", 400, ErrorCmd::Overwrite}, {"uploadFile", 150, ErrorCmd::Overwrite},
    };
    for (const auto& r : rows) {
        sim->clearReceived();
        clearReportedError();
        QByteArray text = programOf(r.at) + "\xC3\xA4" + programOf(300);
        const std::string call = r.call;
        EXPECT_EQ(call == "overwrite" ? overwrite(text.data(), 1, kCnc)
                  : call == "append" ? append(text.data(), 1, kCnc)
                                     : uploadFile(2, 1, const_cast<char*>("O103"), text.data(), kCnc), 1) << r.call;
        EXPECT_EQ(sim->requestCount('d'), 0) << r.call << ": nothing sent";
        EXPECT_EQ(reportedError().errorCmd, r.errorCmd) << r.call;
        EXPECT_EQ(reportedError().detail, call + ": byte 0xc3 at offset " + std::to_string(r.at) + " has its top bit set; nothing was sent");
    }
    EXPECT_EQ(sim->programText(1, "O102"), QByteArray("")) << "the declared file is as it was";
    AcmRemoteBuffer* b = openIdle(*sim);
    char text[] = "G0 X1 (Fr\xC3\xA4se)\nG0 X2\n";
    EXPECT_EQ(bufWrite(b, text), 0);
    EXPECT_EQ(getBufValidCnt(b), 1000 * kPiece) << "nothing queued";
    EXPECT_EQ(bufClose(b), 1);
}

// After a failed wait the link is renewed and the controller has forgotten the declaration.
TEST_F(TransferFlowTest, TextOnARenewedLinkAsksForANewStart)
{
    ScaledWaits waits{kTestWaitScale};
    addAndConnect();
    ASSERT_EQ(setTransFileType(2, 1, const_cast<char*>("O104"), kCnc), 0);
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Silence, 0, 0, 1));
    ASSERT_EQ(append(const_cast<char*>("G01\n"), 1, kCnc), ResultCode::NoValidReply);
    const int sent = sim->requestCount('d', 2);
    EXPECT_EQ(append(const_cast<char*>("G02\n"), 1, kCnc), ResultCode::RestartTransfer);
    EXPECT_EQ(overwrite(const_cast<char*>("G02\n"), 1, kCnc), ResultCode::RestartTransfer);
    EXPECT_EQ(sim->requestCount('d', 2), sent) << "nothing sent";
    ASSERT_EQ(setTransFileType(2, 1, const_cast<char*>("O104"), kCnc), 0);
    EXPECT_EQ(append(const_cast<char*>("G03\n"), 1, kCnc), 0);
    EXPECT_EQ(sim->programText(1, "O104").right(4), QByteArray("G03\n"));
}

} // namespace
