#include "AsynchronousClient.h"
#include "FtpTestSupport.h"

#include <QDir>

#include <atomic>
#include <memory>
#include <thread>

namespace {

class Uploads : public FtpTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(startHost(options));
        for (const char* dir : {"veko/usr/sys0002/program", "veko/usr/sys0010/plc", "veko/usr/sys0000/plc", "veko/usr/sys0001"})
            ASSERT_TRUE(QDir().mkpath(server.rootHome() + "/" + dir));
        ASSERT_TRUE(QDir().mkpath(server.ftpHome() + "/updata"));
        client.reset(new AsynchronousClient);
    }
    void TearDown() override { client.reset(); }

    // Connects the command link, which makes the simulator's address the client's lastIp.
    void connectLink() { ASSERT_TRUE(client->tcpConnect(sim.address().toLatin1())); }
    QByteArray address() const { return server.address().toLatin1(); }

    // Runs the event loop until the newest operator's list has ended or stopped.
    bool runNewest(int timeoutMs = 20000)
    {
        VTeleFileOpreator* op = client->teleFileOpreator;
        return op && runLoopUntil([op] { return !op->isListRunning(); }, timeoutMs);
    }

    FtpServerProcess::Options options;
    std::unique_ptr<AsynchronousClient> client;
};

TEST_F(Uploads, PlcFilesGoToFourDigitChannelDirectoriesOfTheGivenAddress)
{
    // No command link: the address given is the only one there is.
    EXPECT_EQ(client->ftpUploadFile(0, 10, localFile("P10.plc", "ten").toUtf8().constData(), address().constData()), 0);
    ASSERT_TRUE(runNewest());
    EXPECT_EQ(client->ftpUploadFile(0, 0, localFile("P0.plc", "zero").toUtf8().constData(), address().constData()), 0);
    ASSERT_TRUE(runNewest());
    EXPECT_EQ(rootFile("veko/usr/sys0010/plc/P10.plc"), QByteArray("ten"));
    EXPECT_EQ(rootFile("veko/usr/sys0000/plc/P0.plc"), QByteArray("zero"));
}

TEST_F(Uploads, PathListRules)
{
    // A type other than 0 or 1 with a path: refused, nothing started.
    EXPECT_EQ(client->ftpUploadFile(2, 1, localFile("a.nc", "a").toUtf8().constData(), address().constData()), 1);
    EXPECT_EQ(client->teleFileOpreator, nullptr);
    EXPECT_EQ(client->getFtpUploadFileProgress(), 0.0);

    // An empty line ends the list; a final line feed adds nothing.
    const QByteArray paths = localFile("a.nc", "a").toUtf8() + "\n\n" + localFile("b.nc", "b").toUtf8() + "\n";
    EXPECT_EQ(client->ftpUploadFile(1, 2, paths.constData(), address().constData()), 0);
    ASSERT_TRUE(runNewest());
    EXPECT_EQ(rootFile("veko/usr/sys0002/program/a.nc"), QByteArray("a"));
    EXPECT_FALSE(QFile::exists(server.rootHome() + "/veko/usr/sys0002/program/b.nc"));
    EXPECT_EQ(server.commands().filter("STOR").size(), 1);

    // No path at all: the type is not looked at, and the list only connects and logs in.
    EXPECT_EQ(client->ftpUploadFile(2, 1, "", address().constData()), 0);
    OperatorRecorder rec(client->teleFileOpreator);
    ASSERT_TRUE(runNewest());
    EXPECT_EQ(rec.finished, QList<int>{1});
    EXPECT_EQ(client->getFtpUploadFileProgress(), 0.0);
    EXPECT_EQ(server.commands().filter("USER root").size(), 2);
    EXPECT_EQ(server.commands().filter("STOR").size(), 1);
}

TEST_F(Uploads, SingleFileUpdateAndDirectory)
{
    ASSERT_NO_FATAL_FAILURE(connectLink());
    // The destination is a prefix: no separator goes between it and the file name.
    EXPECT_EQ(client->ftpUploadFileDes(localFile("prog.nc", "prog").toUtf8().constData(), "/veko/usr/sys0001/program", nullptr), 0);
    ASSERT_TRUE(runNewest());
    EXPECT_EQ(rootFile("veko/usr/sys0001/programprog.nc"), QByteArray("prog"));

    const QByteArray package = patternBytes(300000, 6);
    EXPECT_EQ(client->ftpUpdateSystem(localFile("update.bin", package).toUtf8().constData(), ""), 0);
    ASSERT_TRUE(runNewest());
    EXPECT_EQ(readWholeFile(server.ftpHome() + "/updata/update.bin"), package);
    EXPECT_TRUE(server.received("USER ftp"));
    EXPECT_EQ(client->getFtpUploadFileProgress(), 100.0);

    EXPECT_EQ(client->ftpMkdir("/veko/usr/sys0003", ""), 0);
    ASSERT_TRUE(runNewest());
    EXPECT_TRUE(QDir(server.rootHome() + "/veko/usr/sys0003").exists());
    EXPECT_EQ(client->getFtpUploadFileProgress(), 100.0);
}

TEST_F(Uploads, LocalPathsOutsideAsciiAreOpenedAsGiven)
{
    // The caller's bytes name the local file; the remote name goes out byte for byte.
    const QByteArray local = localFile(QStringLiteral("程序.nc"), "chinese").toUtf8();
    EXPECT_EQ(client->ftpUploadFileDes(local.constData(), "/veko/usr/sys0001/", address().constData()), 0);
    ASSERT_TRUE(runNewest());
    EXPECT_EQ(rootFile(QStringLiteral("veko/usr/sys0001/程序.nc")), QByteArray("chinese"));
    EXPECT_EQ(client->getFtpUploadFileProgress(), 100.0);
}

TEST_F(Uploads, BadArgumentsStopTheListWithAReason)
{
    struct Case
    {
        std::function<int32_t()> call;
        QString state;
    };
    const QByteArray longPrefix(FtpCmd::kFieldSize, 'd');
    const QByteArray local = localFile("a.nc", "a").toUtf8();
    const QList<Case> cases{
        {[&] { return client->ftpUploadFileDes(local.constData(), longPrefix.constData(), address().constData()); },
         QStringLiteral("上传终止，路径过长")},
        {[&] { return client->ftpUpdateSystem(nullptr, address().constData()); }, QStringLiteral("上传终止，打开文件失败")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.state));
        EXPECT_EQ(c.call(), 0);
        OperatorRecorder rec(client->teleFileOpreator);
        ASSERT_TRUE(runNewest());
        ASSERT_FALSE(rec.states.isEmpty());
        EXPECT_EQ(rec.states.last(), c.state);
        EXPECT_EQ(client->getFtpUploadFileProgress(), 0.0);
    }
    EXPECT_FALSE(server.received("STOR"));

    // An address that does not fit its field stops the list at once (the operator's own
    // tests see the text), before anything goes out.
    EXPECT_EQ(client->ftpMkdir("/x", "127.000.000.100.0001"), 0);
    EXPECT_FALSE(client->teleFileOpreator->isListRunning());
    EXPECT_EQ(client->getFtpUploadFileProgress(), 0.0);
}

// A thread that runs no event loop, as a C or Python program's: the list runs on the client's
// own FTP thread while the caller only polls, and that thread ends with the client.
TEST_F(Uploads, FromAThreadWithoutAnEventLoopTheListAdvancesByItself)
{
    const QByteArray big = patternBytes(3 << 20, 11);
    const QByteArray path = localFile("plain.bin", big).toUtf8();
    auto done = [this] { return client->getFtpUploadFileProgress() == 100.0; };
    std::thread caller([&] {
        EXPECT_EQ(client->ftpMkdir("/plain", address().constData()), 0);
        EXPECT_TRUE(waitUntil(done, 10000));
        EXPECT_EQ(client->ftpUploadFileDes(path.constData(), "/plain/", address().constData()), 0);
        EXPECT_TRUE(waitUntil(done, 20000));
    });
    caller.join(); // this thread's loop never ran
    EXPECT_EQ(rootFile("plain/plain.bin"), big);
}

class SlowUploads : public Uploads
{
protected:
    void SetUp() override
    {
        options.readLimit = 8 << 20;
        Uploads::SetUp();
    }
};

TEST_F(SlowUploads, OnlyTheNewestIsPolledAndFinishedOnesAreFreed)
{
    const QByteArray big = patternBytes(12 << 20, 7);
    EXPECT_EQ(client->ftpUploadFileDes(localFile("big.bin", big).toUtf8().constData(), "/", address().constData()), 0);
    const QPointer<VTeleFileOpreator> first = client->teleFileOpreator;
    ASSERT_TRUE(runLoopUntil([&] { return first->progress() > 5.0; }, 5000));

    // A second operation while the first still uploads: both run, the second is polled.
    EXPECT_EQ(client->ftpMkdir("/made", address().constData()), 0);
    const QPointer<VTeleFileOpreator> second = client->teleFileOpreator;
    EXPECT_NE(first.data(), second.data());
    EXPECT_EQ(client->ftpOperators.olderCount(), 1);
    ASSERT_TRUE(runLoopUntil([&] { return !second->isListRunning(); }, 5000));
    EXPECT_EQ(client->getFtpUploadFileProgress(), 100.0);
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isListRunning());
    EXPECT_LT(first->progress(), 100.0);

    ASSERT_TRUE(runLoopUntil([&] { return !first->isListRunning(); }, 20000));
    EXPECT_EQ(rootFile("big.bin"), big);
    EXPECT_EQ(client->ftpMkdir("/again", address().constData()), 0);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());
    EXPECT_EQ(client->ftpOperators.olderCount(), 0);
    ASSERT_TRUE(runNewest());
}

TEST_F(SlowUploads, ProgressMayBePolledFromAnotherThreadWhileOperationsReplaceEachOther)
{
    const QString path = localFile("big.bin", patternBytes(4 << 20, 8));
    std::atomic<bool> stop{false};
    std::atomic<bool> outOfRange{false};
    std::atomic<int> polls{0};
    std::thread poller([&] {
        while (!stop) {
            const double p = client->getFtpUploadFileProgress();
            if (p < 0.0 || p > 100.0)
                outOfRange = true;
            ++polls;
        }
    });
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(client->ftpUploadFileDes(path.toUtf8().constData(), QByteArray("/" + QByteArray::number(i)).constData(),
                                           address().constData()), 0);
        runLoopUntil([] { return false; }, 150);
    }
    ASSERT_TRUE(runNewest());
    stop = true;
    poller.join();
    EXPECT_FALSE(outOfRange);
    EXPECT_GT(polls.load(), 0);
    EXPECT_EQ(client->getFtpUploadFileProgress(), 100.0);
}

TEST_F(SlowUploads, ClientDestroyedDuringAnUploadFreesItsOperators)
{
    const QString path = localFile("big.bin", patternBytes(16 << 20, 9));
    EXPECT_EQ(client->ftpUploadFileDes(path.toUtf8().constData(), "/", address().constData()), 0);
    const QPointer<VTeleFileOpreator> first = client->teleFileOpreator;
    EXPECT_EQ(client->ftpUploadFileDes(path.toUtf8().constData(), "/second", address().constData()), 0);
    const QPointer<VTeleFileOpreator> second = client->teleFileOpreator;
    ASSERT_TRUE(runLoopUntil([&] { return second->progress() > 1.0; }, 5000));
    client.reset();
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());
    runLoopUntil([] { return false; }, 200); // nothing of theirs may run on
}

} // namespace
