// Failure-injection rules and script files as the simulator program reads them: what each
// good line turns into, and why each bad line is refused.
#include "ControllerModel.h"
#include "InjectionRuleParser.h"
#include "InjectionScript.h"

#include <gtest/gtest.h>

#include <string>

namespace {
using Outcome = InjectionRuleParser::Outcome;

InjectionRule ruleOf(const char* line)
{
    const InjectionRuleParser parser(QString::fromUtf8(line));
    EXPECT_EQ(parser.outcome(), Outcome::Rule) << line << ": " << parser.error().toStdString();
    return parser.rule();
}

TEST(InjectionRuleParserTest, ReplyRulesBecomeScriptsForTheirRequests)
{
    struct Case
    {
        const char* line;
        uint8_t code;
        int sub;
        ReplyScript::Kind kind;
        int status;
        int delayMs;
        int times;
        int channel;
    };
    const int normal = ControllerModel::kDefaultStatus;
    const Case cases[] = {
        {"r 1 state 3", 'r', 1, ReplyScript::Status, 3, 0, -1, -1},
        {"r channel 1 state 3", 'r', -1, ReplyScript::Status, 3, 0, -1, 1},
        {"  t 0x0a   state -1  times 2 ", 't', 10, ReplyScript::Status, -1, 0, 2, -1},
        {"f 3 state 255 forever", 'f', 3, ReplyScript::Status, -1, 0, -1, -1}, // the status byte, read signed
        {"p silent", 'p', -1, ReplyScript::Silence, normal, 0, -1, -1},
        {"p delay 2500 times 1", 'p', -1, ReplyScript::Delay, normal, 2500, 1, -1},
        {"q 1 delay 50 state 2", 'q', 1, ReplyScript::Delay, 2, 50, -1, -1},
        {"B close times 1", 'B', -1, ReplyScript::Close, normal, 0, 1, -1},
        {"131 1 split 20", 0x83, 1, ReplyScript::Split, normal, 20, -1, -1},
        {"0x83 dribble 5", 0x83, -1, ReplyScript::Dribble, normal, 5, -1, -1},
        {"v 7 truncate # half a reply", 'v', 7, ReplyScript::Truncate, normal, 0, -1, -1},
        {"d 2 corrupt times 3", 'd', 2, ReplyScript::BadChecksum, normal, 0, 3, -1},
        {"d 1 channel 2 state 2", 'd', 1, ReplyScript::Status, 2, 0, -1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const InjectionRule rule = ruleOf(c.line);
        EXPECT_EQ(rule.kind, InjectionRule::Reply);
        EXPECT_TRUE(rule.controller.isEmpty());
        EXPECT_EQ(rule.code, c.code);
        EXPECT_EQ(rule.sub, c.sub);
        EXPECT_EQ(rule.script.kind, c.kind);
        EXPECT_EQ(rule.script.status, c.status);
        EXPECT_EQ(rule.script.delayMs, c.delayMs);
        EXPECT_EQ(rule.script.times, c.times);
        EXPECT_EQ(rule.script.channel, c.channel);
        EXPECT_TRUE(rule.script.raw.isEmpty());
    }
}

TEST(InjectionRuleParserTest, RawBytesGoAsTheyAreAndReplyBytesAreFramed)
{
    const InjectionRule raw = ruleOf("p raw 0000 00000300 00 70 01 times 1");
    EXPECT_EQ(raw.script.kind, ReplyScript::Raw);
    EXPECT_EQ(raw.script.raw, QByteArray::fromHex("00000000030000" "7001"));
    EXPECT_EQ(raw.script.times, 1);

    const InjectionRule framed = ruleOf("t 10 reply 74 0a 00 05000000 06000000");
    EXPECT_EQ(framed.script.kind, ReplyScript::Raw);
    EXPECT_EQ(framed.script.raw, QByteArray::fromHex("000000000c0000" "740a00" "05000000" "06000000"))
        << framed.script.raw.toHex(' ').toStdString();

    const InjectionRule late = ruleOf("p reply 5a delay 30");
    EXPECT_EQ(late.script.kind, ReplyScript::Delay);
    EXPECT_EQ(late.script.raw, QByteArray::fromHex("00000000020000" "5a"));
}

TEST(InjectionRuleParserTest, ConditionsAndControllerPrefixes)
{
    const InjectionRule busy = ruleOf("busy 3 200");
    EXPECT_EQ(busy.kind, InjectionRule::BusyPhases);
    EXPECT_EQ(busy.numbers[0], 3);
    EXPECT_EQ(busy.numbers[1], 200);

    const InjectionRule capacity = ruleOf("@127.0.0.6 dnc-capacity 800");
    EXPECT_EQ(capacity.kind, InjectionRule::DncCapacity);
    EXPECT_EQ(capacity.controller, "127.0.0.6");
    EXPECT_EQ(capacity.numbers[0], 800);
    EXPECT_EQ(capacity.numbers[1], 0);
    EXPECT_EQ(ruleOf("dnc-capacity 1200 drain 200").numbers[1], 200);

    const InjectionRule running = ruleOf("running 2 O0042");
    EXPECT_EQ(running.kind, InjectionRule::RunningProgram);
    EXPECT_EQ(running.numbers[0], 2);
    EXPECT_EQ(running.name, "O0042");

    const InjectionRule stop = ruleOf("emergency-stop 1");
    EXPECT_EQ(stop.kind, InjectionRule::EmergencyStop);
    EXPECT_EQ(stop.numbers[0], 1);

    const InjectionRule alarm = ruleOf("alarm -1 0x10 2147483647");
    EXPECT_EQ(alarm.kind, InjectionRule::Alarm);
    EXPECT_EQ(alarm.numbers[0], -1);
    EXPECT_EQ(alarm.numbers[1], 16);
    EXPECT_EQ(alarm.numbers[2], 2147483647);

    const InjectionRule variable = ruleOf("@127.0.0.7 variable 16169999 -5");
    EXPECT_EQ(variable.kind, InjectionRule::Variable);
    EXPECT_EQ(variable.controller, "127.0.0.7");
    EXPECT_EQ(variable.numbers[0], 16169999);
    EXPECT_EQ(variable.numbers[1], -5);

    const InjectionRule scoped = ruleOf("@127.0.0.7 r 2 state 1");
    EXPECT_EQ(scoped.controller, "127.0.0.7");
    EXPECT_EQ(scoped.code, 'r');
    EXPECT_EQ(scoped.line, "@127.0.0.7 r 2 state 1");
}

TEST(InjectionRuleParserTest, BlankAndCommentLinesAreNoRules)
{
    for (const char* line : {"", "   ", "# make the watchdog silent", "\t  # indented comment"}) {
        const InjectionRuleParser parser(QString::fromUtf8(line));
        EXPECT_EQ(parser.outcome(), Outcome::Blank) << line;
    }
}

TEST(InjectionRuleParserTest, BadLinesAreRefusedNamingTheFault)
{
    struct Case
    {
        const char* line;
        const char* named;
    };
    const Case cases[] = {
        {"r 1 stat 3", "unknown word 'stat'"},
        {"r 1", "says nothing to do"},
        {"jog state 3", "'jog' is neither a request"},
        {"0 state 1", "out of range (1 to 255)"},
        {"256 state 1", "out of range (1 to 255)"},
        {"r 300 state 1", "sub-code '300' is out of range"},
        {"p 1 state 1", "request 'p' has no sub-code"},
        {"0x84 2 silent", "request 0x84 has no sub-code"},
        {"r 1 state", "state is missing"},
        {"r 1 state three", "state 'three' is not a number"},
        {"r 1 state 256", "state '256' is out of range (-128 to 255)"},
        {"r 1 state 3 state 4", "'state' stands twice"},
        {"r 1 state 3 raw 00", "'state' and 'raw' exclude each other"},
        {"r 1 raw 00 reply 72", "'raw' and 'reply' exclude each other"},
        {"r 1 raw", "raw needs hex bytes"},
        {"r 1 raw 0 times 1", "'0' is not whole bytes"},
        {"r 1 silent state 2", "'silent' sends no reply"},
        {"r 1 close raw 00", "'close' sends no reply"},
        {"r 1 delay 10 silent", "'delay' and 'silent' exclude each other"},
        {"r 1 delay", "delay time (ms) is missing"},
        {"r 1 delay -1", "out of range (0 to 600000)"},
        {"r 1 state 3 times 0", "times '0' is out of range"},
        {"r 1 state 3 times 2 forever", "'times' and 'forever' exclude each other"},
        {"p channel 1 state 3", "requests 'p' carry no channel"},
        {"d 4 channel 1 state 3", "requests 'd' 4 carry no channel"},
        {"busy 0 100", "busy: every n-th block '0' is out of range"},
        {"busy 2", "busy: time (ms) is missing"},
        {"dnc-capacity -1", "dnc-capacity: bytes '-1' is out of range"},
        {"dnc-capacity 800 drain 0", "dnc-capacity: drain (ms) '0' is out of range"},
        {"running 0 O1", "running: channel '0' is out of range (1 to 99)"},
        {"running 1", "the program name is missing"},
        {"running 1 O1 O2", "unexpected 'O2' at the end"},
        {"emergency-stop", "emergency-stop: channel is missing"},
        {"alarm 1 2", "alarm: third value is missing"},
        {"alarm 1 2 4294967296", "out of range"},
        {"variable 170000 1", "170000 is not a variable address"},
        {"variable 1000005", "variable: value is missing"},
        {"@localhost r 1 state 3", "'@localhost' does not name a controller"},
        {"@127.0.0.5", "nothing follows '@127.0.0.5'"},
    };
    for (const Case& c : cases) {
        const InjectionRuleParser parser(QString::fromUtf8(c.line));
        const std::string error = parser.error().toStdString();
        SCOPED_TRACE(std::string(c.line) + " -> " + error);
        EXPECT_EQ(parser.outcome(), Outcome::Bad);
        EXPECT_NE(error.find(c.named), std::string::npos);
    }
}
}
