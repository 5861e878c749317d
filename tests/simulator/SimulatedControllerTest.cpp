// The simulator on the wire, seen from a raw socket: reassembly of split requests, scripted
// failures, and its defence against bytes that never form a frame.
#include "TestSupport.h"

#include <QTcpSocket>

namespace {
const QByteArray kWatchdog("\0\0\0\0\x02\0\0p", 8);
const QByteArray kAlive("\0\0\0\0\x03\0\0p\x01", 9);

class SimulatedControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start());
        socket.connectToHost(sim.address(), 60000);
        ASSERT_TRUE(socket.waitForConnected(2000));
    }
    // Whatever arrives within ms.
    QByteArray readFor(int ms)
    {
        QByteArray got;
        while (socket.waitForReadyRead(ms))
            got += socket.readAll();
        return got;
    }
    SimulatedController sim;
    QTcpSocket socket;
};

TEST_F(SimulatedControllerTest, SplitRequestIsAnsweredOnce)
{
    socket.write(kWatchdog.left(3));
    socket.waitForBytesWritten(1000);
    EXPECT_TRUE(readFor(100).isEmpty());
    socket.write(kWatchdog.mid(3) + kWatchdog);
    EXPECT_EQ(readFor(200), kAlive + kAlive) << "two requests, two replies";
    EXPECT_EQ(sim.requestCount('p'), 2);
}

TEST_F(SimulatedControllerTest, ScriptedFailuresShapeTheReply)
{
    sim.scriptReply('p', -1, scriptOf(ReplyScript::Truncate, 1, 0, 1));
    socket.write(kWatchdog);
    EXPECT_EQ(readFor(200), kAlive.left(4));
    sim.scriptReply('p', -1, scriptOf(ReplyScript::BadChecksum, 1, 0, 1));
    socket.write(kWatchdog);
    QByteArray lying = kAlive;
    lying[4] = char(lying[4] + 1);
    EXPECT_EQ(readFor(200), lying) << "TCP frames have no check sum: the length lies";
    sim.scriptReply('p', -1, scriptOf(ReplyScript::Raw, 0, 0, 1));
    socket.write(kWatchdog);
    EXPECT_TRUE(readFor(200).isEmpty()) << "an empty raw reply is silence";
    sim.scriptReply('p', -1, scriptOf(ReplyScript::Close, 0, 0, 1));
    socket.write(kWatchdog);
    readFor(200);
    EXPECT_EQ(socket.state(), QAbstractSocket::UnconnectedState);
}

TEST_F(SimulatedControllerTest, ConnectionClosedMidReplySendsItsFirstHalf)
{
    sim.scriptReply('p', -1, scriptOf(ReplyScript::CloseMidReply, 1, 0, 1));
    socket.write(kWatchdog);
    EXPECT_EQ(readFor(200), kAlive.left(4));
    EXPECT_EQ(socket.state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(sim.requestCount('p'), 1);
}

QByteArray tcpFrame(const QByteArray& pdu)
{
    QByteArray f(7, '\0');
    f[4] = char((pdu.size() + 1) & 0xFF);
    f[5] = char((pdu.size() + 1) >> 8);
    return f + pdu;
}

// Each connection writes into the file it declared, whatever other connections declare meanwhile;
// one that declared nothing has no file, and its blocks are refused.
TEST_F(SimulatedControllerTest, TransferTargetIsKeptPerConnection)
{
    QTcpSocket other;
    other.connectToHost(sim.address(), 60000);
    ASSERT_TRUE(other.waitForConnected(2000));
    const auto exchange = [this](QTcpSocket& s, const QByteArray& pdu) {
        s.write(tcpFrame(pdu));
        QByteArray got;
        while (got.size() < 7 || got.size() < 6 + (uint8_t(got[4]) | uint8_t(got[5]) << 8))
            if (!s.waitForReadyRead(1000))
                break;
            else
                got += s.readAll();
        return got;
    };
    const QByteArray declareA = QByteArray("d\x01\x01\x03", 4) + "A1";
    const QByteArray declareB = QByteArray("d\x01\x02\x03", 4) + "B2";
    ASSERT_FALSE(exchange(socket, declareA).isEmpty());
    ASSERT_FALSE(exchange(other, declareB).isEmpty());
    ASSERT_FALSE(exchange(socket, QByteArray("d\x02", 2) + "first").isEmpty());
    ASSERT_FALSE(exchange(other, QByteArray("d\x02", 2) + "second").isEmpty());
    EXPECT_EQ(sim.programText(1, "A1"), QByteArray("first"));
    EXPECT_EQ(sim.programText(2, "B2"), QByteArray("second"));
    QTcpSocket undeclared;
    undeclared.connectToHost(sim.address(), 60000);
    ASSERT_TRUE(undeclared.waitForConnected(2000));
    const QByteArray refused = exchange(undeclared, QByteArray("d\x02", 2) + "+");
    ASSERT_EQ(refused.size(), 10);
    EXPECT_EQ(refused.at(9), char(1)) << "parameters error";
    EXPECT_EQ(sim.programText(1, "A1"), QByteArray("first"));
    EXPECT_EQ(sim.programText(2, "B2"), QByteArray("second"));
}

TEST_F(SimulatedControllerTest, BytesThatNeverFormAFrameDropTheConnection)
{
    QByteArray garbage(600, '\x7f');
    garbage[4] = char(0xff);
    garbage[5] = char(0x7f); // claims a frame longer than any buffer
    socket.write(garbage);
    readFor(300);
    EXPECT_EQ(socket.state(), QAbstractSocket::UnconnectedState);
}
TEST(SimulatedControllerAddressTest, AnAddressThatDoesNotParseIsRefusedRatherThanListenedOnEverywhere)
{
    // Port 0: should the check ever go, the wrong listening takes a free port and harms nobody.
    for (const char* address : {"localhost", "127.0.0.300", "any", "127.0.0.1 garbage"}) {
        SimulatedController sim;
        EXPECT_FALSE(sim.start(QString::fromLatin1(address), 0)) << address;
        EXPECT_TRUE(sim.address().isEmpty()) << address;
    }
}
}
