#include "FtpTestSupport.h"

#include <QDir>
#include <QElapsedTimer>

namespace {

using Operator = FtpTest;

// Progress as polled: at most 99 while data flows, never falling inside one upload.
void expectRisingBelow100(const QList<double>& values)
{
    for (int i = 1; i < values.size(); ++i)
        EXPECT_GE(values[i], values[i - 1]) << "at " << i;
    for (double v : values)
        EXPECT_LE(v, 99.0);
}

TEST_F(Operator, TwoUploadsInOneListArriveWholeAndFinishOnce)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    ASSERT_TRUE(sim.startSyncService());
    const QByteArray big = patternBytes(6 << 20, 1);
    const QByteArray small = "G01 X10\nM30\n";
    QList<FtpCmd> list = loginList();
    list << FtpCmd::transfer(Put, localFile("a.nc", big), QStringLiteral("a.nc"))
         << FtpCmd::transfer(Put, localFile("b.nc", small), QStringLiteral("b.nc"));
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec, list);

    EXPECT_EQ(rootFile("a.nc"), big);
    EXPECT_EQ(rootFile("b.nc"), small);
    EXPECT_EQ(rec.finished, QList<int>{2});
    EXPECT_EQ(op.progress(), 100.0);
    const QStringList expectedStart{"Connecting to server...", "连接到服务器成功", "Logging...", "登录成功", "Uploading..."};
    EXPECT_EQ(rec.states.mid(0, 5), expectedStart);
    EXPECT_EQ(rec.stateCount(QStringLiteral("已经完成上传")), 2);
    EXPECT_EQ(rec.stateCount(QStringLiteral("Uploading...")), 2);

    // 0 .. at most 99 during the first upload, 100, 0 again when the second starts, then 100.
    const int firstHundred = rec.polled.indexOf(100.0);
    ASSERT_GT(firstHundred, 0);
    expectRisingBelow100(rec.polled.mid(0, firstHundred));
    EXPECT_GT(rec.polled[firstHundred - 1], 50.0);
    EXPECT_EQ(rec.polled.mid(firstHundred + 1, 1), QList<double>{0.0});
    EXPECT_EQ(rec.polled.last(), 100.0);

    // Percent signals rise to 100 for each upload.
    const int firstFull = rec.percents.indexOf(100);
    ASSERT_GE(firstFull, 0);
    for (int i = 1; i <= firstFull; ++i)
        EXPECT_GE(rec.percents[i], rec.percents[i - 1]);
    EXPECT_EQ(rec.percents.last(), 100);

    // Each upload told the controller, and the server saw the controller's settings.
    EXPECT_TRUE(waitUntil([&] { return sim.syncCount() == 2; }, 5000)); // counted on the simulator's thread
    EXPECT_TRUE(runLoopUntil([&] { return rec.stateCount(QStringLiteral("Upload to complete")) >= 1; }, 5000));
    EXPECT_TRUE(server.received(QStringLiteral("TYPE I")));
    EXPECT_TRUE(server.received(QStringLiteral("PORT 127,0,0,")));
    EXPECT_FALSE(server.received(QStringLiteral("PASV")));
    EXPECT_FALSE(server.received(QStringLiteral("EPSV")));
    EXPECT_TRUE(runLoopUntil([&] { return server.received(QStringLiteral("QUIT")); }, 5000));
    EXPECT_EQ(rec.stateCount(QStringLiteral("Closing...")), 1);
}

TEST_F(Operator, LargeAndEmptyUploads)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    ASSERT_TRUE(sim.startSyncService());
    const QByteArray large = patternBytes(40 << 20, 2);
    {
        VTeleFileOpreator op;
        OperatorRecorder rec(&op);
        runList(op, rec, loginList() << FtpCmd::transfer(Put, localFile("large.bin", large), QStringLiteral("large.bin")));
        EXPECT_EQ(rootFile("large.bin"), large);
        EXPECT_EQ(rec.finished, QList<int>{2});
        ASSERT_GT(rec.percents.size(), 10);
        for (int i = 1; i < rec.percents.size(); ++i)
            ASSERT_GE(rec.percents[i], rec.percents[i - 1]);
        EXPECT_EQ(rec.percents.last(), 100);
        expectRisingBelow100(rec.polled.mid(0, rec.polled.size() - 1));
        EXPECT_EQ(rec.polled.last(), 100.0);
    }
    {
        // An empty file: a transfer of 0 bytes in all reports progress 0 once.
        VTeleFileOpreator op;
        OperatorRecorder rec(&op);
        runList(op, rec, loginList() << FtpCmd::transfer(Put, localFile("empty.nc", QByteArray()), QStringLiteral("empty.nc")));
        EXPECT_TRUE(QFile::exists(server.rootHome() + "/empty.nc"));
        EXPECT_EQ(rootFile("empty.nc"), QByteArray());
        EXPECT_EQ(rec.percents, QList<int>{0});
        EXPECT_EQ(rec.finished, QList<int>{2});
        EXPECT_EQ(op.progress(), 100.0);
    }
}

TEST_F(Operator, DirectoryMadeThenRefusedWhenItsParentIsMissing)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    {
        VTeleFileOpreator op;
        OperatorRecorder rec(&op);
        runList(op, rec, loginList() << FtpCmd::makeDir(QStringLiteral("/veko")));
        EXPECT_TRUE(QDir(server.rootHome() + "/veko").exists());
        EXPECT_EQ(op.progress(), 100.0);
        EXPECT_EQ(rec.finished, QList<int>{4});
        EXPECT_EQ(rec.stateCount(QStringLiteral("Mkdir...")), 1);
        EXPECT_EQ(rec.stateCount(QStringLiteral("已经创建成功")), 1);
    }
    {
        VTeleFileOpreator op;
        OperatorRecorder rec(&op);
        runList(op, rec, loginList() << FtpCmd::makeDir(QStringLiteral("/missing/child")));
        EXPECT_FALSE(QDir(server.rootHome() + "/missing").exists());
        EXPECT_TRUE(rec.finished.isEmpty());
        EXPECT_EQ(op.progress(), 0.0);
        ASSERT_FALSE(rec.states.isEmpty());
        EXPECT_TRUE(rec.states.last().startsWith(QStringLiteral("创建文件夹失败：")));
        EXPECT_TRUE(rec.states.last().contains(QStringLiteral("550"))) << qPrintable(rec.states.last());
    }
}

TEST_F(Operator, WrongPasswordStopsAfterTheLoginWithTheServersWords)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec, loginList("root", "470914") << FtpCmd::transfer(Put, localFile("a.nc", "x"), QStringLiteral("a.nc")));
    ASSERT_FALSE(rec.states.isEmpty());
    const QString last = rec.states.last();
    EXPECT_TRUE(last.startsWith(QStringLiteral("登录出现错误："))) << qPrintable(last);
    EXPECT_TRUE(last.contains(QStringLiteral("530"))) << qPrintable(last);
    EXPECT_FALSE(last.contains(QStringLiteral("%1")));
    EXPECT_TRUE(rec.finished.isEmpty());
    EXPECT_EQ(op.progress(), 0.0);
    EXPECT_FALSE(server.received(QStringLiteral("STOR")));
}

TEST_F(Operator, MissingLocalFileStopsTheListBeforeAnythingIsSent)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec,
            loginList() << FtpCmd::transfer(Put, localPath("absent.nc"), QStringLiteral("absent.nc"))
                        << FtpCmd::makeDir(QStringLiteral("/after")));
    EXPECT_EQ(rec.states.last(), QStringLiteral("上传终止，打开文件失败"));
    EXPECT_TRUE(rec.finished.isEmpty());
    EXPECT_FALSE(server.received(QStringLiteral("TYPE")));
    EXPECT_FALSE(server.received(QStringLiteral("STOR")));
    EXPECT_FALSE(server.received(QStringLiteral("MKD")));
}

TEST_F(Operator, WithoutSyncServiceTheStateSaysSoAndTheListGoesOn)
{
    ASSERT_NO_FATAL_FAILURE(startHost()); // nothing listens on the sync port
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec,
            loginList() << FtpCmd::transfer(Put, localFile("a.nc", "a"), QStringLiteral("a.nc"))
                        << FtpCmd::transfer(Put, localFile("b.nc", "b"), QStringLiteral("b.nc")));
    EXPECT_EQ(rec.stateCount(QStringLiteral("Failed to connect to server")), 2);
    const int failed = rec.stateIndex(QStringLiteral("Failed to connect to server"));
    EXPECT_EQ(rec.stateIndex(QStringLiteral("已经完成上传")), failed - 1);
    EXPECT_EQ(rootFile("a.nc"), QByteArray("a"));
    EXPECT_EQ(rootFile("b.nc"), QByteArray("b"));
    EXPECT_EQ(rec.finished, QList<int>{2});
    EXPECT_EQ(op.progress(), 100.0);
}

TEST_F(Operator, DownloadFetchesTheFileWhole)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    const QByteArray content = patternBytes(3 << 20, 3);
    QFile remote(server.rootHome() + "/remote.bin");
    ASSERT_TRUE(remote.open(QIODevice::WriteOnly));
    remote.write(content);
    remote.close();
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec, loginList() << FtpCmd::transfer(Get, QStringLiteral("remote.bin"), localPath("fetched.bin")));
    EXPECT_EQ(readWholeFile(localPath("fetched.bin")), content);
    EXPECT_EQ(rec.finished, QList<int>{3});
    EXPECT_EQ(rec.stateCount(QStringLiteral("Downloading...")), 1);
    EXPECT_EQ(rec.stateCount(QStringLiteral("已经完成下载")), 1);
}

TEST_F(Operator, PathsThatDoNotFitTheirFieldsAreRefusedNotCut)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    const QString longName = QString(FtpCmd::kFieldSize, QLatin1Char('n'));
    const QString fits = QString(FtpCmd::kFieldSize - 1, QLatin1Char('n'));
    {
        // The longest path that fits: its terminating 0 byte is the field's last byte.
        const FtpCmd cmd = FtpCmd::transfer(Put, fits, fits);
        EXPECT_EQ(cmd.src[FtpCmd::kFieldSize - 1], '\0');
        EXPECT_EQ(cmd.des[FtpCmd::kFieldSize - 1], '\0');
        EXPECT_EQ(cmd.src[FtpCmd::kFieldSize - 2], 'n');
    }
    struct Case
    {
        FtpCmd cmd;
        QString text;
    };
    const QList<Case> cases{
        {FtpCmd::transfer(Put, localFile("a.nc", "a"), longName), QStringLiteral("上传终止，路径过长")},
        {FtpCmd::transfer(Put, longName, QStringLiteral("a.nc")), QStringLiteral("上传终止，路径过长")},
        {FtpCmd::transfer(Get, longName, localPath("x")), QStringLiteral("下载终止，路径过长")},
        {FtpCmd::makeDir(longName), QStringLiteral("创建终止，路径过长")},
        {FtpCmd::login("root", "470913" + QByteArray(14, '3')), QStringLiteral("登录终止，用户名或密码过长")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.text));
        VTeleFileOpreator op;
        OperatorRecorder rec(&op);
        runList(op, rec, loginList() << c.cmd);
        EXPECT_EQ(rec.states.last(), c.text);
        EXPECT_TRUE(rec.finished.isEmpty());
    }
    EXPECT_FALSE(server.received(QStringLiteral("STOR")));
    EXPECT_FALSE(server.received(QStringLiteral("RETR")));
    EXPECT_FALSE(server.received(QStringLiteral("MKD")));
    EXPECT_EQ(server.commands().filter(QStringLiteral("USER")).size(), 5); // the over-long one never went out

    // An address of 20 characters does not fit its 20-byte field.
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec, {FtpCmd::connectHost("127.000.000.100.0001")});
    EXPECT_EQ(rec.states, QStringList{QStringLiteral("连接终止，地址过长")});
}

TEST_F(Operator, EmptyOrUnknownListsEndWithoutHarm)
{
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec, {});
    EXPECT_EQ(rec.finished, QList<int>{-1});
    FtpCmd odd;
    odd.cmdType = 7;
    runList(op, rec, {odd});
    EXPECT_EQ(rec.finished, QList<int>{-1});
    EXPECT_FALSE(op.isListRunning());
}

} // namespace
