// Failure-injection rules as the simulator program reads them: what each good line turns into,
// and why each bad line is refused.
#include "ControllerModel.h"
#include "InjectionRuleParser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {
using Outcome = InjectionRuleParser::Outcome;

// A rule in one line: "@controller kind code/sub script-kind status delay times channel raw | numbers name",
// with the status "n" when the reply keeps the controller's normal one.
std::string describe(const InjectionRule& r)
{
    const char* kinds = "RBDrEAVe";
    return (r.controller.isEmpty() ? std::string() : "@" + r.controller.toStdString() + " ") + kinds[r.kind] + " " +
           std::to_string(r.code) + "/" + std::to_string(r.sub) + " " + "SsDtxcpRdm"[r.script.kind] + " " +
           (r.script.status == ControllerModel::kDefaultStatus ? "n" : std::to_string(r.script.status)) + " " + std::to_string(r.script.delayMs) + " " +
           std::to_string(r.script.times) + " " + std::to_string(r.script.channel) + " " +
           r.script.raw.toHex().toStdString() + " | " + std::to_string(r.numbers[0]) + " " + std::to_string(r.numbers[1]) +
           " " + std::to_string(r.numbers[2]) + " " + r.name.toStdString();
}

TEST(InjectionRuleParserTest, GoodLinesAndWhatTheyBecome)
{
    const std::pair<const char*, const char*> rows[] = { // a line, and the rule it becomes
        {"r channel 1 state 3", "R 114/-1 S 3 0 -1 1  | 0 0 0 "},
        {"  t 0x0a   state -1  times 2 ", "R 116/10 S -1 0 2 -1  | 0 0 0 "},
        {"f 3 state 255 forever", "R 102/3 S -1 0 -1 -1  | 0 0 0 "}, // the status byte, read signed
        {"p silent", "R 112/-1 s n 0 -1 -1  | 0 0 0 "},
        {"p delay 2500 times 1", "R 112/-1 D n 2500 1 -1  | 0 0 0 "},
        {"q 1 delay 50 state 2", "R 113/1 D 2 50 -1 -1  | 0 0 0 "},
        {"B close times 1", "R 66/-1 c n 0 1 -1  | 0 0 0 "},
        {"131 1 split 20", "R 131/1 p n 20 -1 -1  | 0 0 0 "},
        {"0x83 dribble 5", "R 131/-1 d n 5 -1 -1  | 0 0 0 "},
        {"v 7 truncate # half a reply", "R 118/7 t n 0 -1 -1  | 0 0 0 "},
        {"d 2 corrupt times 3", "R 100/2 x n 0 3 -1  | 0 0 0 "},
        {"d 1 channel 2 state 2", "R 100/1 S 2 0 -1 2  | 0 0 0 "},
        {"p raw 0000 00000300 00 70 01 times 1", "R 112/-1 R n 0 1 -1 000000000300007001 | 0 0 0 "},
        {"t 10 reply 74 0a 00 05000000 06000000", "R 116/10 R n 0 -1 -1 000000000c0000740a000500000006000000 | 0 0 0 "},
        {"p reply 5a delay 30", "R 112/-1 D n 30 -1 -1 000000000200005a | 0 0 0 "},
        {"busy 3 200", "B 0/-1 S 0 0 1 -1  | 3 200 0 "},
        {"@127.0.0.6 dnc-capacity 800", "@127.0.0.6 D 0/-1 S 0 0 1 -1  | 800 0 0 "},
        {"dnc-capacity 1200 drain 200", "D 0/-1 S 0 0 1 -1  | 1200 200 0 "},
        {"running 2 O0042", "r 0/-1 S 0 0 1 -1  | 2 0 0 O0042"},
        {"emergency-stop 1", "E 0/-1 S 0 0 1 -1  | 1 0 0 "},
        {"alarm -1 0x10 2147483647", "A 0/-1 S 0 0 1 -1  | -1 16 2147483647 "},
        {"@127.0.0.7 variable 16169999 -5", "@127.0.0.7 V 0/-1 S 0 0 1 -1  | 16169999 -5 0 "},
        {"@127.0.0.7 r 2 state 1", "@127.0.0.7 R 114/2 S 1 0 -1 -1  | 0 0 0 "},
    };
    for (const auto& row : rows) {
        const InjectionRuleParser parser(QString::fromUtf8(row.first));
        EXPECT_EQ(parser.outcome(), Outcome::Rule) << row.first << ": " << parser.error().toStdString();
        EXPECT_EQ(describe(parser.rule()), row.second) << row.first;
    }
    const QString scoped = QStringLiteral("@127.0.0.7 r 2 state 1");
    EXPECT_EQ(InjectionRuleParser(scoped).rule().line, scoped) << "kept whole for the messages that name the rule";
    for (const char* line : {"", "   ", "# make the watchdog silent", "\t  # indented comment"})
        EXPECT_EQ(InjectionRuleParser(QString::fromUtf8(line)).outcome(), Outcome::Blank) << line;
}

TEST(InjectionRuleParserTest, BadLinesAreRefusedNamingTheFault)
{
    const std::pair<const char*, const char*> cases[] = { // a line, and what its error names
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
    for (const auto& c : cases) {
        const InjectionRuleParser parser(QString::fromUtf8(c.first));
        const std::string error = parser.error().toStdString();
        SCOPED_TRACE(std::string(c.first) + " -> " + error);
        EXPECT_EQ(parser.outcome(), Outcome::Bad);
        EXPECT_NE(error.find(c.second), std::string::npos);
    }
}
}
