// What a synchronous command gives for each way its reply can come: one row per controller
// behaviour (scripted in the simulator), the result code taken from the reply tables, and what
// the caller holds afterwards. The waits run at a tenth of their length here.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "FrameFields.h"

#include <QElapsedTimer>

#include <functional>

namespace {

constexpr int kSlackMs = 900;

class CommandReplyTable : public ClientFixture
{
protected:
    ScaledWaits waits{0.1};
    const int kBudgetMs = CommTiming::now().commandReplyBudgetMs;
};

QByteArray withLengthField(const QByteArray& pdu, int length)
{
    QByteArray f = tcpFrame(pdu);
    f[4] = char(length & 0xFF);
    f[5] = char(length >> 8);
    return f;
}

struct Row
{
    const char* behaviour;
    ReplyScript script;
    int32_t expected;
    int minMs, maxMs;
};

// A jog stop ('r' 2) meets each behaviour; afterwards the next one is answered normally.
TEST_F(CommandReplyTable, EachReplyShapeGivesItsCode)
{
    connectClient(1);
    const int late = kBudgetMs - 50, budget = kBudgetMs + kSlackMs;
    const QByteArray stop("r\x02\x00", 3);
    const Row rows[] = {
        {"state 0", scriptOf(ReplyScript::Status, 0), 0, 0, kSlackMs},
        {"state 3", scriptOf(ReplyScript::Status, 3), 103, 0, kSlackMs},
        {"state 7", scriptOf(ReplyScript::Status, 7), 107, 0, kSlackMs},
        {"state -1 (signed byte)", scriptOf(ReplyScript::Status, 0xFF), 99, 0, kSlackMs},
        {"state 100", scriptOf(ReplyScript::Status, 100), 200, 0, kSlackMs},
        {"split in two", scriptOf(ReplyScript::Split, 4, 50), 104, 0, kSlackMs},
        {"silent", scriptOf(ReplyScript::Silence), 111, late, budget},
        {"truncated", scriptOf(ReplyScript::Truncate), 111, late, budget},
        // TCP has no check sum: the "bad" reply's length field promises a byte that never comes.
        {"bad check sum", scriptOf(ReplyScript::BadChecksum), 111, 0, budget},
        {"unknown code", rawReply(QByteArray("\x00\x00\x00\x00\x02\x00\x00\x5a", 8)), 111, 0, budget},
        {"a write acknowledgement", rawReply(tcpFrame("D")), 111, 0, budget},
        {"length promising more than comes", rawReply(withLengthField(stop, 493)), 111, late, budget},
        {"length beyond the buffer", rawReply(withLengthField(stop, 494)), 111, 0, kSlackMs},
        {"length 0xFFFF", rawReply(withLengthField(stop, 0xFFFF)), 111, 0, kSlackMs},
    };
    for (const Row& r : rows) {
        sim->scriptReply('r', 2, r.script);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(client->command({Msg::JogVStop}, {1, 1}), r.expected) << r.behaviour;
        EXPECT_GE(clock.elapsed(), r.minMs) << r.behaviour;
        EXPECT_LE(clock.elapsed(), r.maxMs) << r.behaviour;
        sim->clearScripts();
        EXPECT_EQ(client->command({Msg::JogVStop}, {1, 1}), 0) << "the link recovers after: " << r.behaviour;
    }
}

// Replies that answer, but not as asked: each row's call, the reply, the code and the output.
TEST_F(CommandReplyTable, RepliesThatDoNotFitTheRequest)
{
    connectClient(1);
    const int32_t address = 1000050;
    sim->setVariable(address, 77);
    const struct { const char* what; ReplyScript script; int32_t expected, valueAfter; } cases[] = {
        {"two values for one address", rawReply(tcpFrame(QByteArray("B\x02", 2) + le32(5) + le32(6))), 3, 0},
        {"no value for one address", rawReply(tcpFrame(QByteArray("B\x00", 2))), 3, 0},
        {"the right reply", scriptOf(ReplyScript::Status, 0), 0, 77},
    };
    for (const auto& c : cases) {
        sim->scriptReply('B', -1, c.script);
        int32_t value = -1;
        EXPECT_EQ(client->readVars(&address, 1, &value), c.expected) << c.what;
        EXPECT_EQ(value, c.valueAfter) << c.what << ": nothing paired, nothing stored";
    }
    // One value for two addresses: neither is paired with it.
    const int32_t two[] = {address, address + 1};
    int32_t got[2] = {-1, -1};
    sim->scriptReply('B', -1, rawReply(tcpFrame(QByteArray("B\x01", 2) + le32(5))));
    EXPECT_EQ(client->readVars(two, 2, got), 3);
    EXPECT_NE(got[0], 5);
    // A count of two with one value behind it: a frame cut short answers nothing.
    sim->scriptReply('B', -1, rawReply(tcpFrame(QByteArray("B\x02", 2) + le32(5))));
    EXPECT_EQ(client->readVars(two, 2, got), 111);
    sim->scriptReply('p', -1, rawReply(tcpFrame(QByteArray("r\x01\x00", 3))));
    EXPECT_EQ(client->command({Msg::Watchdog, {Collapse}}, {}), 111) << "the watchdog answered by a jog reply";
    EXPECT_EQ(client->command({Msg::Watchdog, {Collapse}}, {}), 0) << "and a real watchdog reply still counts";
    // A running-program reply dribbled over longer than the waits.
    ReplyScript dribble = scriptOf(ReplyScript::Dribble, 0, kBudgetMs / 8, 1);
    dribble.raw = tcpFrame(QByteArray("g\x05PROGRAM1\x00", 11));
    sim->scriptReply('g', 5, dribble);
    EXPECT_EQ(client->getRuningPrg(1), QByteArray(1, char(111)));
}

// State 11 gives 100 + 11 = 111, the same number as "no reply"; it is still a reply, and outputs
// are written after every reply, failing or not, but never after a wait that failed.
TEST_F(CommandReplyTable, FailureStateElevenIsAReply)
{
    connectClient(1);
    sim->scriptReply('v', 1, scriptOf(ReplyScript::Status, 0, 0, 1));
    int32_t status = -77;
    ASSERT_EQ(client->command({Msg::AxisMotion}, {1, 1}, {{V3, &status}}), 0);
    const int32_t previous = status;
    status = -77;
    sim->scriptReply('v', 1, scriptOf(ReplyScript::Status, 11, 0, 1));
    EXPECT_EQ(client->command({Msg::AxisMotion}, {1, 1}, {{V3, &status}}), 111);
    EXPECT_EQ(status, previous);
    int32_t first = -77, second = -77;
    sim->scriptReply('q', 2, scriptOf(ReplyScript::Status, 11, 0, 1));
    EXPECT_EQ(client->command({Msg::HomeRunAxes}, {1, 0, 1}, {{V2, &first}, {V3, &second}}), 111);
    EXPECT_NE(first, -77);
    EXPECT_NE(second, -77);
    first = second = -77;
    sim->scriptReply('q', 2, scriptOf(ReplyScript::Silence, 0, 0, 1));
    EXPECT_EQ(client->command({Msg::HomeRunAxes}, {1, 0, 1}, {{V2, &first}, {V3, &second}}), 111);
    EXPECT_EQ(first, -77);
}

// Regression: one garbage reply, or a failing reply of another kind, must not silence the
// running-program query that follows.
TEST_F(CommandReplyTable, OneGarbageReplyDoesNotSilenceTheRunningProgram)
{
    connectClient(1);
    sim->scriptReply('g', 5, rawReply(tcpFrame(QByteArray("\x5a\x01", 2))));
    EXPECT_EQ(client->getRuningPrg(1), QByteArray(1, char(111)));
    EXPECT_EQ(client->getRuningPrg(1), QByteArray("O0001"));
    sim->scriptReply('u', 1, scriptOf(ReplyScript::Status, 3, 0, 1));
    int32_t bit = 0;
    EXPECT_EQ(client->command({Msg::GetBit}, {1, 0, 1}, {{V3, &bit}}), 103);
    EXPECT_EQ(client->getRuningPrg(2), QByteArray("O0002"));
}

} // namespace
