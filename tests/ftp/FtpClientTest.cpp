// The FTP reply parser on streams in any pieces, and the FTP client against servers that go
// silent or hang up, which no real server test can stage at the greeting.
#include "FtpClient.h"
#include "FtpReplyParser.h"
#include "FtpTestSupport.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

namespace {

// Feeds the stream in pieces of `step` bytes; every reply as "code[text]", then "!" if malformed.
QByteArray parse(FtpReplyParser& parser, const QByteArray& stream, int step = 1 << 20)
{
    QByteArray out;
    for (int at = 0; at < stream.size(); at += step) {
        parser.feed(stream.mid(at, step));
        FtpReply reply;
        FtpReplyParser::Status status;
        while ((status = parser.next(&reply)) == FtpReplyParser::ReplyReady)
            out += reply.codeAndText().left(3) + '[' + reply.text + ']';
        if (status == FtpReplyParser::Malformed)
            return out + '!';
    }
    return out;
}

TEST(FtpReplyParser, RepliesInAnyPieces)
{
    const QByteArray stream = "220 Ready\r\n230-Welcome\r\n 230 indented text is text\r\n230-still text\r\n"
                              "231 another code is text too\r\n\r\n230 Logged in\r\n150 Opening (12 bytes)\n226\r\n";
    for (int step : {1, 2, 3, 7, 1000}) {
        FtpReplyParser parser;
        EXPECT_EQ(parse(parser, stream, step), "220[Ready]230[Welcome\n 230 indented text is text\n230-still text\n"
                                               "231 another code is text too\n\nLogged in]150[Opening (12 bytes)]226[]")
            << step;
    }
    FtpReply bare;
    bare.code = 226;
    EXPECT_EQ(bare.codeAndText(), "226 ");
}

TEST(FtpReplyParser, GarbageIsMalformedUntilReset)
{
    for (const char* bad : {"hello\r\n", "22 short\r\n", "220x\r\n", "620 no such class\r\n", "099 no such class\r\n", "\r\n",
                            "220-start\r\n"}) {
        FtpReplyParser parser;
        const QByteArray tooLong = QByteArray(bad).startsWith("220-") ? QByteArray(1000, 'b') + "\r\n" : QByteArray();
        QByteArray seen;
        for (int i = 0; i < 100 && !seen.endsWith('!'); ++i) // a multi-line reply without end is cut off
            seen = parse(parser, i ? tooLong : QByteArray(bad));
        EXPECT_EQ(seen, "!") << bad;
        EXPECT_EQ(parse(parser, "220 fine\r\n"), "!") << bad;
        parser.reset();
        EXPECT_EQ(parse(parser, "220 fine\r\n"), "220[fine]") << bad;
    }
    FtpReplyParser atLimit, whole;
    EXPECT_EQ(parse(atLimit, "220 " + QByteArray(FtpReplyParser::kMaxReplyBytes - 4, 'a')), ""); // still a line
    EXPECT_EQ(parse(atLimit, "a"), "!");
    EXPECT_EQ(parse(whole, "220 " + QByteArray(FtpReplyParser::kMaxReplyBytes, 'a') + "\r\n"), "!");
}

// A server that accepts, greets (or not) and hangs up at the first line it receives.
class FakeServer : public QObject
{
public:
    explicit FakeServer(const QByteArray& greeting)
    {
        m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this, greeting] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                s->write(greeting);
                QObject::connect(s, &QTcpSocket::readyRead, this, [s] { s->abort(); });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
};

// Every finished command as (id, error) and the client's error text then; whether done came.
struct Finished
{
    explicit Finished(FtpClient& ftp)
    {
        QObject::connect(&ftp, &FtpClient::commandFinished, &ftp, [&ftp, this](int id, bool error) {
            ids << std::make_pair(id, error);
            errors << ftp.errorString();
        });
        QObject::connect(&ftp, &FtpClient::done, &ftp, [this](bool error) { done << error; });
    }
    QList<std::pair<int, bool>> ids;
    QStringList errors;
    QList<bool> done;
};

TEST(FtpClientLimits, ASilentServerEndsTheConnectionStepAndWhatWasQueuedIsDropped)
{
    FakeServer silent{QByteArray()};
    FtpClient ftp;
    ftp.setStepTimeout(200);
    Finished fin(ftp);
    QElapsedTimer clock;
    clock.start();
    const int connectId = ftp.connectToHost(QStringLiteral("127.0.0.1"), silent.port());
    ftp.login(QStringLiteral("root"), QStringLiteral("470913"));
    ASSERT_TRUE(runLoopUntil([&] { return !fin.done.isEmpty(); }, 5000));
    EXPECT_GE(clock.elapsed(), 190);
    EXPECT_EQ(fin.ids, (QList<std::pair<int, bool>>{{connectId, true}}));
    EXPECT_EQ(fin.errors, QStringList{"No answer from the server within 200 ms"});
    EXPECT_EQ(fin.done, QList<bool>{true});
    EXPECT_EQ(ftp.currentCommand(), FtpClient::None);
}

TEST(FtpClientLimits, AServerThatHangsUpFailsTheCommandAndLaterOnesSayNotConnected)
{
    FakeServer rude{QByteArray("220 hello\r\n")};
    FtpClient ftp;
    Finished fin(ftp);
    const int connectId = ftp.connectToHost(QStringLiteral("127.0.0.1"), rude.port());
    const int loginId = ftp.login(QStringLiteral("root"), QStringLiteral("470913"));
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 2; }, 5000));
    const int mkdirId = ftp.mkdir(QStringLiteral("/x"));
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 3; }, 5000));
    const int closeId = ftp.close(); // closing what is closed is no error
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 4; }, 5000));
    EXPECT_EQ(fin.ids, (QList<std::pair<int, bool>>{{connectId, false}, {loginId, true}, {mkdirId, true}, {closeId, false}}));
    EXPECT_TRUE(fin.errors[1].startsWith("Connection closed by the server")) << qPrintable(fin.errors[1]);
    EXPECT_EQ(fin.errors[2], "Not connected");
}

} // namespace
