// The FTP cells of the fault matrix, through the client's upload operations as an application
// calls them: a server killed in the middle of an upload, a server that refuses the upload, and a
// server that restarts between two uploads. None may pass for success (no progress of 100, no
// sync notification, no "upload complete"), and once the client is gone its sockets and files are
// closed. The server that stops answering, drops the data connection or is not there at all has
// its cells in FtpFailureTest.
#include "AsynchronousClient.h"
#include "FaultSupport.h"
#include "FtpTestSupport.h"

#include <QDir>

#include <memory>

namespace {

const char* const kFtp = "FTP upload";
const QString kUploaded = QStringLiteral("已经完成上传");

class FtpFaultMatrix : public FtpTest
{
protected:
    void SetUp() override
    {
        options.readLimit = 4 << 20;
        ASSERT_NO_FATAL_FAILURE(startHost(options));
        ASSERT_TRUE(sim.startSyncService());
    }

    // Runs the event loop until the newest operator's list has ended or stopped.
    bool runNewest(AsynchronousClient& client, int timeoutMs = 20000)
    {
        VTeleFileOpreator* op = client.teleFileOpreator;
        return op && runLoopUntil([op] { return !op->isListRunning(); }, timeoutMs);
    }
    QByteArray address() const { return server.address().toLatin1(); }

    FtpServerProcess::Options options;
};

TEST_F(FtpFaultMatrix, ServerKilledMidUpload)
{
    FaultCell cell("FTP server killed mid-upload", kFtp);
    auto client = std::make_unique<AsynchronousClient>();
    const QByteArray big = patternBytes(16 << 20, 21);
    const QByteArray path = localFile("big.bin", big).toUtf8();
    ASSERT_EQ(client->ftpUploadFileDes(path.constData(), "/", address().constData()), 0);
    OperatorRecorder rec(client->teleFileOpreator);
    ASSERT_TRUE(runLoopUntil([&] { return client->getFtpUploadFileProgress() >= 10.0; }, 10000));
    server.kill();
    Stopwatch clock;
    ASSERT_TRUE(runNewest(*client, 10000));
    const qint64 ms = clock.ms();
    EXPECT_LT(ms, 3000) << "the lost connection is seen at once";
    ASSERT_FALSE(rec.states.isEmpty());
    EXPECT_TRUE(rec.states.last().startsWith(QStringLiteral("上传出现错误："))) << qPrintable(rec.states.last());
    EXPECT_EQ(rec.stateCount(kUploaded), 0);
    EXPECT_TRUE(rec.finished.isEmpty());
    const double progress = client->getFtpUploadFileProgress();
    EXPECT_LT(progress, 100.0);
    runLoopUntil([] { return false; }, 300);
    EXPECT_EQ(sim.syncCount(), 0) << "no sync notification for an upload that failed";
    EXPECT_LT(rootFile("big.bin").size(), big.size()) << "the server holds less than all of it";
    cell.outcome("\"" + rec.states.last().left(40).toStdString() + "...\" " + std::to_string(ms) +
                 " ms after the kill, progress " + std::to_string(int(progress)) + " (< 100), no sync, no finish");
    client.reset();
    runLoopUntil([] { return false; }, 100); // what the client's end left to the loop
    cell.done();
}

// The server refuses every upload (its folder does not exist): the list stops with the server's
// words, nothing is written, the progress never claims the file.
TEST_F(FtpFaultMatrix, ServerRefusesTheUpload)
{
    FaultCell cell("refused for ever", kFtp);
    auto client = std::make_unique<AsynchronousClient>();
    const QByteArray path = localFile("O0005.nc", "O0005\nM30\n").toUtf8();
    std::string outcome;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(client->ftpUploadFile(1, 5, path.constData(), address().constData()), 0);
        OperatorRecorder rec(client->teleFileOpreator);
        Stopwatch clock;
        ASSERT_TRUE(runNewest(*client, 5000));
        EXPECT_LT(clock.ms(), 2000);
        ASSERT_FALSE(rec.states.isEmpty());
        EXPECT_TRUE(rec.states.last().startsWith(QStringLiteral("上传出现错误："))) << qPrintable(rec.states.last());
        EXPECT_EQ(rec.stateCount(kUploaded), 0);
        EXPECT_LT(client->getFtpUploadFileProgress(), 100.0);
        outcome = "\"" + rec.states.last().left(40).toStdString() + "...\" within " + std::to_string(clock.ms()) +
                  " ms, each time";
    }
    EXPECT_TRUE(server.received("STOR"));
    EXPECT_FALSE(QDir(server.rootHome() + "/veko").exists()) << "nothing written";
    EXPECT_EQ(sim.syncCount(), 0);
    cell.outcome(outcome + ", progress < 100, nothing written, no sync");
    client.reset();
    runLoopUntil([] { return false; }, 100);
    cell.done();
}

// The controller's FTP server restarts: an upload while it is down is refused at the connection,
// and the next one after the restart arrives whole through the same client.
TEST_F(FtpFaultMatrix, ServerRestartsBetweenUploads)
{
    FaultCell cell("controller restarts mid-session", kFtp);
    auto client = std::make_unique<AsynchronousClient>();
    const QByteArray first = patternBytes(200000, 22), second = patternBytes(300000, 23);
    ASSERT_EQ(client->ftpUploadFileDes(localFile("one.bin", first).toUtf8().constData(), "/", address().constData()), 0);
    ASSERT_TRUE(runNewest(*client));
    EXPECT_EQ(rootFile("one.bin"), first);
    const QString host = server.address();
    server.kill();
    ASSERT_EQ(client->ftpUploadFileDes(localFile("two.bin", second).toUtf8().constData(), "/", address().constData()), 0);
    OperatorRecorder down(client->teleFileOpreator);
    ASSERT_TRUE(runNewest(*client, 5000));
    ASSERT_FALSE(down.states.isEmpty());
    EXPECT_TRUE(down.states.last().startsWith(QStringLiteral("连接服务器出现错误："))) << qPrintable(down.states.last());
    EXPECT_EQ(client->getFtpUploadFileProgress(), 0.0);
    ASSERT_TRUE(server.start(options, server.hostNumber()));
    ASSERT_EQ(server.address(), host) << "the server came back on its address";
    ASSERT_EQ(client->ftpUploadFileDes(localFile("two.bin", second).toUtf8().constData(), "/", address().constData()), 0);
    ASSERT_TRUE(runNewest(*client));
    EXPECT_EQ(rootFile("two.bin"), second);
    EXPECT_EQ(client->getFtpUploadFileProgress(), 100.0);
    EXPECT_TRUE(waitUntil([&] { return sim.syncCount() == 2; }, 3000)) << "one notification per upload that arrived";
    cell.outcome("while down: \"" + down.states.last().left(30).toStdString() +
                 "...\", progress 0; after the restart the next upload arrives whole, progress 100");
    client.reset();
    runLoopUntil([] { return false; }, 100);
    cell.done();
}

} // namespace
