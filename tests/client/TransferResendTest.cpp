// A full block the controller did not take goes again as it was, a bounded number of times; a
// block it took never goes twice; an asynchronous transfer waits for room in the queue instead
// of spinning with the client locked.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "TransferTestSupport.h"

#include <QElapsedTimer>

#include <mutex>

namespace {

// The resend pauses and the queue's wait for room run at a quarter of their length here.
class TransferResendTest : public ClientFixture
{
    ScaledWaits waits{kTestWaitScale};
};

bool declarationAccepted(AsynchronousClient& client)
{
    std::lock_guard<std::mutex> lock(client.mutex);
    return client.isSetFileOk;
}

TEST_F(TransferResendTest, BlockRefusedForEverStopsTheTransferAtTheBound)
{
    connectClient(1);
    client->errCallback = &recordError;
    const QByteArray text = programOf(900);
    for (const int state : {1, 4}) { // not 3: a full memory is waited out (TransferFlowTest)
        ASSERT_EQ(client->uploadFile(2, 1, "O2", "G00\n"), 0);
        ASSERT_EQ(client->setTransFileType(2, 1, "O2", false), 0);
        sim->clearReceived();
        clearReportedError();
        sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, state, 0, -1));
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(client->append(text.constData()), ResultCode::TransferStalled) << state;
        EXPECT_LT(clock.elapsed(), 5000) << state;
        const std::vector<QByteArray> blocks = blockTexts(*sim, 2);
        EXPECT_EQ(int(blocks.size()), 1 + AsynchronousClient::kBlockResendLimit) << state;
        for (const QByteArray& b : blocks)
            EXPECT_EQ(b, text.left(400)) << state;
        const ReportedError r = reportedError();
        EXPECT_EQ(r.errorCmd, ErrorCmd::Append) << state;
        EXPECT_EQ(r.cmdState, state) << state;
        EXPECT_EQ(r.detail, "append: the controller kept refusing a full block; transfer stopped") << state;
        EXPECT_EQ(sim->programText(1, "O2"), QByteArray("G00\n")) << state;
        sim->clearScripts();
        EXPECT_EQ(client->append("G01"), 0) << "the client stays usable";
    }
}

// A stored block (state 2) leaves the failure flag as an earlier reply left it; the transfer must
// not take that old failure for this block's and send it again.
TEST_F(TransferResendTest, StoredBlockIsNeverSentTwiceAfterAnEarlierFailure)
{
    connectClient(1);
    ASSERT_EQ(client->setTransFileType(2, 1, "O3", false), 0);
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 1, 0, 1));
    ASSERT_EQ(client->append("G00"), 101);
    sim->clearReceived();
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 2, 0, 1));
    const QByteArray text = programOf(1000);
    EXPECT_EQ(client->append(text.constData()), 0);
    EXPECT_EQ(blockTexts(*sim, 2).size(), 3u);
    EXPECT_EQ(sim->programText(1, "O3"), text);
    sim->clearReceived();
    sim->scriptReply('d', 3, scriptOf(ReplyScript::Status, 1, 0, 1));
    ASSERT_EQ(client->overwrite("G00"), 101);
    sim->scriptReply('d', 3, scriptOf(ReplyScript::Status, 2, 0, 1));
    EXPECT_EQ(client->overwrite(text.constData()), 0);
    EXPECT_EQ(sim->programText(1, "O3"), text);
}

TEST_F(TransferResendTest, AsynchronousTransferWaitsForRoomInTheQueue)
{
    connectClient(0);
    ASSERT_EQ(client->setTransFileType(2, 1, "O4", false), 0);
    ASSERT_TRUE(waitUntil([&] { return declarationAccepted(*client); }, 2000));
    const QByteArray text = programOf(5000);
    // Two frames fill the queue: most blocks have to wait for the worker to send one.
    EXPECT_EQ(client->overwrite(text.constData()), 0);
    // The file end is no text block: like any command it finds the queue full (4) until the
    // worker has sent the last blocks.
    ASSERT_TRUE(waitUntil([&] { return client->fileEnd() != ResultCode::QueueFull; }, 5000));
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 4) == 1; }, 5000));
    EXPECT_EQ(sim->programText(1, "O4"), text);
    EXPECT_EQ(transferShapes(*sim).back(), "d4");
}

TEST_F(TransferResendTest, AsynchronousTransferEndsWhenTheLinkGoes)
{
    connectClient(0);
    ASSERT_EQ(client->setTransFileType(2, 1, "O5", false), 0);
    ASSERT_TRUE(waitUntil([&] { return declarationAccepted(*client); }, 2000));
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Close, 0, 0, 1));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(client->append(programOf(5000).constData()), ResultCode::NotConnected);
    EXPECT_LT(clock.elapsed(), 1000);
}

} // namespace
