// A controller that answers late, with the wrong kind of reply, or with frames that never
// complete: one request's reply is never handed to another request, and a frame is judged
// only once it is whole.
#include "ClientTestSupport.h"
#include "CommCodes.h"

#include <QElapsedTimer>

namespace {

using ControllerFaultTest = ClientFixture;
constexpr int kLateMs = 1950; // just past the three reply waits

ReplyScript rawReply(const QByteArray& bytes, ReplyScript::Kind kind = ReplyScript::Raw, int delayMs = 0)
{
    ReplyScript s = scriptOf(kind, 0, delayMs, 1);
    s.raw = bytes;
    return s;
}

// TCP frame around a PDU.
QByteArray tcpFrame(const QByteArray& pdu)
{
    QByteArray f(7, '\0');
    f[4] = char((pdu.size() + 1) & 0xFF);
    f[5] = char((pdu.size() + 1) >> 8);
    return f + pdu;
}

QByteArray le32(int32_t v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((uint32_t(v) >> (8 * i)) & 0xFF);
    return b;
}

TEST_F(ControllerFaultTest, LateReplyIsNeverTakenForTheNextRequest)
{
    connectClient(1);
    const int32_t first = 1000031, second = 1000032;
    sim->setVariable(first, 111111);
    sim->setVariable(second, 222222);
    // The newest script serves first: the first read is answered too late, the second a little
    // late, so the first one's reply lands while the second one waits.
    sim->scriptReply('B', -1, scriptOf(ReplyScript::Delay, 0, 300, 1));
    sim->scriptReply('B', -1, scriptOf(ReplyScript::Delay, 0, kLateMs, 1));
    int32_t value = 0;
    EXPECT_EQ(client->readVars(&first, 1, &value), ResultCode::NoValidReply);
    EXPECT_EQ(client->readVars(&second, 1, &value), ResultCode::Success);
    EXPECT_EQ(value, 222222);
    // Same for a bit read, whose replies carry no address at all.
    ASSERT_EQ(client->setXBit(1, 0, 5, 1, 0), 0);
    sim->scriptReply('u', 1, scriptOf(ReplyScript::Delay, 0, 300, 1));
    sim->scriptReply('u', 1, scriptOf(ReplyScript::Delay, 0, kLateMs, 1));
    EXPECT_EQ(client->getXBit(1, 0, 5, &value), ResultCode::NoValidReply);
    EXPECT_EQ(client->getXBit(1, 0, 6, &value), ResultCode::Success);
    EXPECT_EQ(value, 0) << "bit 6 is clear; the late reply was about bit 5";
}

TEST_F(ControllerFaultTest, ControllerAnsweringEveryRequestLateNeverCrossesAnswers)
{
    connectClient(1);
    const int32_t addresses[] = {1000041, 1000042, 1000043};
    for (int32_t a : addresses)
        sim->setVariable(a, a - 1000000);
    sim->scriptReply('B', -1, scriptOf(ReplyScript::Delay, 0, kLateMs, -1));
    for (int32_t a : addresses) {
        int32_t value = -1;
        EXPECT_EQ(client->readVars(&a, 1, &value), ResultCode::NoValidReply) << a;
        EXPECT_EQ(value, -1) << "no output from a request that got no answer";
    }
    sim->clearScripts();
    for (int32_t a : addresses) {
        int32_t value = -1;
        EXPECT_EQ(client->readVars(&a, 1, &value), ResultCode::Success) << a;
        EXPECT_EQ(value, a - 1000000);
    }
}

TEST_F(ControllerFaultTest, ReplyOfAnotherKindIsNoAnswer)
{
    connectClient(1);
    const QByteArray writeAck = tcpFrame(QByteArray("D"));
    sim->scriptReply('r', 1, rawReply(writeAck));
    EXPECT_EQ(client->jogMotionV_Run(1, 1, 1, 0, 0), ResultCode::NoValidReply) << "a jog answered by a write ack";
    sim->scriptReply('p', -1, rawReply(tcpFrame(QByteArray("r\x01\x00", 3))));
    EXPECT_EQ(client->CheckTcpWdt(), ResultCode::NoValidReply) << "the watchdog answered by a jog reply";
    EXPECT_EQ(client->CheckTcpWdt(), ResultCode::Success) << "and a real watchdog reply still counts";
}

TEST_F(ControllerFaultTest, ReadReplyWithAnotherCountIsAFailure)
{
    connectClient(1);
    const int32_t address = 1000050;
    sim->setVariable(address, 77);
    const QByteArray twoValues = tcpFrame(QByteArray("B\x02", 2) + le32(5) + le32(6));
    const QByteArray noValue = tcpFrame(QByteArray("B\x00", 2));
    for (const QByteArray& reply : {twoValues, noValue}) {
        sim->scriptReply('B', -1, rawReply(reply));
        int32_t value = -1;
        EXPECT_EQ(client->readVars(&address, 1, &value), ResultCode::ReplyFailed);
        EXPECT_EQ(value, 0) << "nothing paired, nothing stored";
    }
    int32_t value = -1;
    EXPECT_EQ(client->readVars(&address, 1, &value), ResultCode::Success);
    EXPECT_EQ(value, 77);
}

TEST_F(ControllerFaultTest, FrameNotCompleteWhenTheWaitEndsIsNoReply)
{
    connectClient(1);
    // A running-program reply dribbled over three seconds.
    const QByteArray name = tcpFrame(QByteArray("g\x05PROGRAM1\x00", 11));
    sim->scriptReply('g', 5, rawReply(name, ReplyScript::Dribble, 200));
    EXPECT_EQ(client->getRuningPrg(1), QByteArray(1, char(ResultCode::NoValidReply)));
    // A length field that promises more than ever comes: the wait runs out.
    QByteArray promise499 = tcpFrame(QByteArray("r\x02\x00", 3));
    promise499[4] = char(493 & 0xFF);
    promise499[5] = char(493 >> 8);
    sim->scriptReply('r', 2, rawReply(promise499));
    EXPECT_EQ(client->jogMotionV_Stop(1, 1), ResultCode::NoValidReply);
    // A length field beyond the buffer is broken at once.
    for (int length : {494, 0xFFFF}) {
        QByteArray huge = tcpFrame(QByteArray("r\x02\x00", 3));
        huge[4] = char(length & 0xFF);
        huge[5] = char(length >> 8);
        sim->scriptReply('r', 2, rawReply(huge));
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(client->jogMotionV_Stop(1, 1), ResultCode::NoValidReply) << length;
        EXPECT_LT(clock.elapsed(), 1000) << length;
    }
    EXPECT_EQ(client->jogMotionV_Stop(1, 1), ResultCode::Success) << "the link recovers";
}

// State 11 gives 100 + 11 = 111, the same number as "no reply"; it is still a reply.
TEST_F(ControllerFaultTest, FailureStateElevenIsAReply)
{
    connectClient(1);
    sim->scriptReply('v', 1, scriptOf(ReplyScript::Status, 0, 0, 1));
    int32_t status = -77;
    ASSERT_EQ(client->getAxisMotionStatus(1, 1, &status), 0);
    const int32_t previous = status;
    status = -77;
    sim->scriptReply('v', 1, scriptOf(ReplyScript::Status, 11, 0, 1));
    EXPECT_EQ(client->getAxisMotionStatus(1, 1, &status), 111);
    EXPECT_EQ(status, previous) << "outputs are written after every reply, failing or not";
    LogCapture log;
    int32_t first = -77, second = -77;
    sim->scriptReply('q', 2, scriptOf(ReplyScript::Status, 11, 0, 1));
    EXPECT_EQ(client->homeRunAxes(1, 0, 1, &first, &second), 111);
    EXPECT_NE(first, -77);
    EXPECT_NE(second, -77);
    EXPECT_EQ(log.count("homeRunAxes 3061 @@@@ out=== 111"), 1);
    // A wait that really failed writes nothing and logs nothing.
    first = second = -77;
    sim->scriptReply('q', 2, scriptOf(ReplyScript::Silence, 0, 0, 1));
    EXPECT_EQ(client->homeRunAxes(1, 0, 1, &first, &second), 111);
    EXPECT_EQ(first, -77);
    EXPECT_EQ(log.count("homeRunAxes 3061"), 1);
}

TEST_F(ControllerFaultTest, OneGarbageReplyDoesNotSilenceTheRunningProgram)
{
    connectClient(1);
    sim->scriptReply('g', 5, rawReply(tcpFrame(QByteArray("\x5a\x01", 2))));
    EXPECT_EQ(client->getRuningPrg(1), QByteArray(1, char(ResultCode::NoValidReply)));
    EXPECT_EQ(client->getRuningPrg(1), QByteArray("O0001"));
    sim->scriptReply('u', 1, scriptOf(ReplyScript::Status, 3, 0, 1));
    int32_t bit = 0;
    EXPECT_EQ(client->getXBit(1, 0, 1, &bit), 103);
    EXPECT_EQ(client->getRuningPrg(2), QByteArray("O0002")) << "a failing reply of another kind before it";
}

} // namespace
