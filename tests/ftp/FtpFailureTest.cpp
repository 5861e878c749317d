#include "FtpClient.h"
#include "FtpTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

namespace {

using Failure = FtpTest;

TEST_F(Failure, ServerThatStopsAnsweringEndsTheUploadWithinTheStepLimit)
{
    ASSERT_NO_FATAL_FAILURE(startHost({QStringLiteral("STOR")}));
    VTeleFileOpreator op;
    op.setStepTimeout(800);
    OperatorRecorder rec(&op);
    QElapsedTimer clock;
    clock.start();
    runList(op, rec, loginList() << FtpCmd::transfer(Put, localFile("a.nc", "abc"), QStringLiteral("a.nc")), 10000);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_GE(clock.elapsed(), 800);
    ASSERT_FALSE(rec.states.isEmpty());
    EXPECT_EQ(rec.states.last(), QStringLiteral("上传出现错误：No answer from the server within 800 ms"));
    EXPECT_TRUE(rec.finished.isEmpty());
    EXPECT_LT(op.progress(), 100.0);
    EXPECT_EQ(rec.stateCount(QStringLiteral("已经完成上传")), 0);
}

TEST_F(Failure, DataConnectionDroppedByTheServerIsNeverSuccess)
{
    FtpServerProcess::Options dropping;
    dropping.dropDataAfter = 1 << 20;
    ASSERT_NO_FATAL_FAILURE(startHost(dropping));
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec, loginList() << FtpCmd::transfer(Put, localFile("big.bin", patternBytes(32 << 20, 10)),
                                                     QStringLiteral("big.bin")));
    ASSERT_FALSE(rec.states.isEmpty());
    EXPECT_TRUE(rec.states.last().startsWith(QStringLiteral("上传出现错误：Upload failed: the data connection ended"))) << qPrintable(rec.states.last());
    EXPECT_EQ(rec.stateCount(QStringLiteral("已经完成上传")), 0);
    EXPECT_TRUE(rec.finished.isEmpty());
    EXPECT_LT(op.progress(), 100.0);
}

TEST_F(Failure, NoFtpServerAtAll)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    server.kill(); // the address stays ours, with nothing on port 21
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec, loginList() << FtpCmd::transfer(Put, localFile("a.nc", "a"), QStringLiteral("a.nc")));
    ASSERT_FALSE(rec.states.isEmpty());
    EXPECT_TRUE(rec.states.last().startsWith(QStringLiteral("连接服务器出现错误：Connecting to ")))
        << qPrintable(rec.states.last());
    EXPECT_TRUE(rec.states.last().contains(QStringLiteral("refused"))) << qPrintable(rec.states.last());
    EXPECT_TRUE(rec.finished.isEmpty());
    EXPECT_EQ(op.progress(), 0.0);
}

TEST_F(Failure, LineBreakInAPathCannotSmuggleACommand)
{
    ASSERT_NO_FATAL_FAILURE(startHost());
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec,
            loginList() << FtpCmd::transfer(Put, localFile("a.nc", "a"), QStringLiteral("a.nc\r\nMKD /smuggled")));
    EXPECT_TRUE(rec.states.last().startsWith(QStringLiteral("上传出现错误：A line break"))) << qPrintable(rec.states.last());
    EXPECT_FALSE(server.received(QStringLiteral("STOR")));
    EXPECT_FALSE(server.received(QStringLiteral("MKD")));
    EXPECT_FALSE(QDir(server.rootHome() + "/smuggled").exists());
}

TEST_F(Failure, MultiLineGreetingIsReadToItsEnd)
{
    FtpServerProcess::Options banner;
    banner.longBanner = true;
    ASSERT_NO_FATAL_FAILURE(startHost(banner));
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    runList(op, rec, loginList() << FtpCmd::makeDir(QStringLiteral("/greeted")));
    EXPECT_EQ(rec.finished, QList<int>{4});
    EXPECT_TRUE(QDir(server.rootHome() + "/greeted").exists());
}

// A server that accepts and then does what `onCommand` says with each line it receives.
class FakeServer : public QObject
{
public:
    explicit FakeServer(const QByteArray& greeting) : m_greeting(greeting)
    {
        m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                if (!m_greeting.isEmpty())
                    s->write(m_greeting);
                QObject::connect(s, &QTcpSocket::readyRead, this, [s] { s->abort(); });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
    QByteArray m_greeting;
};

struct Finished
{
    QList<std::pair<int, bool>> ids;
    QString lastError;
};

void record(FtpClient& ftp, Finished& out)
{
    QObject::connect(&ftp, &FtpClient::commandFinished, &ftp, [&ftp, &out](int id, bool error) {
        out.ids << std::make_pair(id, error);
        out.lastError = ftp.errorString();
    });
}

TEST(FtpClientLimits, SilentServerEndsTheConnectionStepAndDropsWhatWasQueued)
{
    FakeServer silent{QByteArray()};
    FtpClient ftp;
    ftp.setStepTimeout(500);
    Finished fin;
    record(ftp, fin);
    bool done = false;
    QObject::connect(&ftp, &FtpClient::done, &ftp, [&](bool error) { done = error; });
    QElapsedTimer clock;
    clock.start();
    const int connectId = ftp.connectToHost(QStringLiteral("127.0.0.1"), silent.port());
    const int loginId = ftp.login(QStringLiteral("root"), QStringLiteral("470913"));
    EXPECT_NE(connectId, loginId);
    EXPECT_TRUE(runLoopUntil([&] { return !fin.ids.isEmpty(); }, 5000));
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(fin.lastError, QStringLiteral("No answer from the server within 500 ms"));
    runLoopUntil([] { return false; }, 700);
    EXPECT_EQ(fin.ids, (QList<std::pair<int, bool>>{{connectId, true}}));
    EXPECT_TRUE(done);
    EXPECT_EQ(ftp.currentCommand(), FtpClient::None);
}

TEST(FtpClientLimits, ServerThatHangsUpFailsTheCommandAndLaterOnesSayNotConnected)
{
    FakeServer rude{QByteArray("220 hello\r\n")};
    FtpClient ftp;
    Finished fin;
    record(ftp, fin);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), rude.port());
    const int loginId = ftp.login(QStringLiteral("root"), QStringLiteral("470913"));
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 2; }, 5000));
    EXPECT_EQ(fin.ids[0].second, false);
    EXPECT_EQ(fin.ids[1], std::make_pair(loginId, true));
    EXPECT_TRUE(fin.lastError.startsWith(QStringLiteral("Connection closed by the server"))) << qPrintable(fin.lastError);

    const int mkdirId = ftp.mkdir(QStringLiteral("/x"));
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 3; }, 5000));
    EXPECT_EQ(fin.ids[2], std::make_pair(mkdirId, true));
    EXPECT_EQ(fin.lastError, QStringLiteral("Not connected"));
    const int closeId = ftp.close(); // closing what is closed is no error
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 4; }, 5000));
    EXPECT_EQ(fin.ids[3], std::make_pair(closeId, false));
}

} // namespace
