// Replies: what the parser makes of each, where frames end in all three framings, and which
// replies answer which requests.
#include "CodecFixture.h"
#include "FrameBoundary.h"
#include "FrameMode.h"
#include "FrameWriter.h"
#include "ReplyMatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// Records every callback as "name(args)" so a table can state the expected call.
struct Recorder : Codec {
    std::vector<std::string> calls;
    using Codec::Codec;

    static std::string join(const int32_t* v, int32_t n)
    {
        std::string s = "[";
        for (int i = 0; i < n; ++i)
            s += (i ? "," : "") + std::to_string(v[i]);
        return s + "]";
    }
    void add(const std::string& s) { calls.push_back(s); }
    void onRecCmdReadVars(int32_t f, const int32_t* v, int32_t n) override { add("readVars(" + std::to_string(f) + "," + join(v, v ? n : 0) + "," + std::to_string(n) + ")"); }
    void onRecCmdWriteVars(int32_t f) override { add("writeVars(" + std::to_string(f) + ")"); }
    void onReciveCmdTransFileState(int32_t s) override { add("transState(" + std::to_string(s) + ")"); }
    void onReciveCmdSetFileInf(int32_t s) override { add("setFileInf(" + std::to_string(s) + ")"); }
    void onReciveCmdReset(int32_t s) override { add("reset(" + std::to_string(s) + ")"); }
    void onRecCmdGetCncString(int32_t k, const char* t) override { add("string(" + std::to_string(k) + "," + t + ")"); }
    void onRecCmdCheckTcpWdt(int32_t s) override { add("wdt(" + std::to_string(s) + ")"); }
    void onRecCmdSetOscAxis(int32_t s) override { add("oscAxis(" + std::to_string(s) + ")"); }
    void onRecCmdJogMotionV_Run(int32_t s) override { add("jogV(" + std::to_string(s) + ")"); }
    void onRecCmdHomeAxes(int32_t s, int32_t n, const int32_t* v) override { add("homeAxes(" + std::to_string(s) + "," + join(v, n) + ")"); }
    void onRecCmdValues(int32_t s, int32_t n, const int32_t* v) override { add("values(" + std::to_string(s) + "," + join(v, n) + ")"); }
    void onRecCmdStatus(int32_t s) override { add("status(" + std::to_string(s) + ")"); }
    void onRecCmdAlarmRead(int32_t s, int32_t n, const int32_t* v) override { add("alarm(" + std::to_string(s) + "," + join(v, n) + ")"); }
    void onRecCmdGetAxesCoord(int32_t s, int32_t n, const int32_t* v) override { add("coords(" + std::to_string(s) + "," + join(v, n > 0 ? n : 0) + ")"); }
    void onRecCmdGetCncFileInf(int32_t s, const char* t) override { add("fileInf(" + std::to_string(s) + "," + t + ")"); }
    void onRecCmdErrorInf(int32_t s, QByteArray b) override { add("errInf(" + std::to_string(s) + "," + b.toStdString() + ")"); }
    void onRecCmdUnknown() override { add("unknown()"); }
    void onRecCmdReadFile(const uint8_t* d, int32_t length) override { add("read(" + std::to_string(d[0]) + "," + std::to_string(length) + ")"); }
    void onRecCmdErrorData(QByteArray b) override { add("errData(" + b.toStdString() + ")"); }

    int32_t parse(const Bytes& frame)
    {
        calls.clear();
        if (!frame.empty())
            std::memcpy(in, frame.data(), frame.size());
        return analysisReciveBuffer(int32_t(frame.size()));
    }
};

Bytes tcp(const Bytes& pdu) { return framed(0, pdu); }

struct ReplyCase {
    Bytes pdu;
    std::string call; // empty: no callback
    int32_t status;
};

const std::vector<ReplyCase>& replyTable()
{
    static const std::vector<ReplyCase> table = {
        {cat({{'A', 3}, le(10), le(-1), le(7)}), "readVars(0,[10,-1,7],3)", 0},
        {{'B', 0}, "readVars(0,[],0)", 0},
        {{'B', 0xFE}, "readVars(0,[],0)", 0},
        {{0xC2}, "readVars(1,[],0)", 1},
        {{'D'}, "writeVars(0)", 0},
        {{0xC4}, "writeVars(1)", 2},
        {{0xE4}, "", 3},
        {{0xE6}, "", 4},
        {{'d', 1, 0, 0, 3}, "setFileInf(3)", 0},
        {{'d', 5, 0}, "transState(0)", 0},
        {{'d', 5, 1}, "transState(1)", 7},
        {{'d', 5, 2}, "transState(2)", 8},
        {{'d', 7, 0}, "", 5},
        {{'f', 3, 0, 2}, "reset(2)", 0},
        {{'g', 5, 'O', '1', 0}, "string(4,O1)", 0},
        {{'g', 0xF0, 'X'}, "string(5,X)", 0},
        {{'g', 0x90, 'X'}, "", 0},
        {{'p', 1}, "wdt(1)", 0},
        {{'i', 1, 1}, "oscAxis(1)", 0},
        {{'r', 1, 0xFE}, "jogV(-2)", 0},
        {cat({{'q', 4, 0}, le(5), le(9)}), "homeAxes(0,[5,9])", 0},
        {cat({{'q', 3, 0}, le(5)}), "homeAxes(0,[5])", 0},
        {cat({{'v', 7, 0}, le(-3)}), "values(0,[-3])", 0},
        {cat({{'x', 0}, le(1), le(2)}), "values(0,[1,2])", 0},
        {cat({{0x82, 3}, le(0x105)}), "values(5,[261])", 0},
        {{'y', 3}, "status(3)", 0},
        {{'t', 9, 0}, "status(0)", 0},
        {cat({{'t', 10, 0}, le(1), le(2), le(3)}), "alarm(0,[1,2,3])", 0},
        {cat({{'v', 8, 0, 2}, le(11), le(22)}), "coords(0,[11,22])", 0},
        {{0x84, 1, '/', 'a'}, "fileInf(1,/a)", 0},
        {{0x85, 1, 0, 'e', 'r'}, "errInf(0,er)", 0},
        {{0xC1}, "unknown()", 5},
        {{'r', 0x30, 0}, "", 0},
    };
    return table;
}

TEST(ReplyParser, DispatchTable)
{
    for (const ReplyCase& rc : replyTable()) {
        Recorder r;
        EXPECT_EQ(r.parse(tcp(rc.pdu)), rc.status) << rc.call;
        const std::vector<std::string> expected = rc.call.empty() ? std::vector<std::string>{} : std::vector<std::string>{rc.call};
        EXPECT_EQ(r.calls, expected);
    }
}

TEST(ReplyParser, ReplyStatusFollowsTheKindsThatSetIt)
{
    Recorder r;
    r.parse(tcp({'d', 5, 2}));
    EXPECT_EQ(r.replyStatus, 2);
    r.parse(tcp({'r', 1, 0}));
    EXPECT_EQ(r.replyStatus, 2);
    r.parse(tcp({'B', 0}));
    EXPECT_EQ(r.replyStatus, 0);
    r.parse(tcp({0xC2}));
    EXPECT_EQ(r.replyStatus, 1);
}

// Every shortened valid reply either parses the same way or is rejected as too
// short; it never reads beyond what arrived (checked under ASan as well).
TEST(ReplyParser, TruncatedFramesNeverReadPastTheirEnd)
{
    for (const ReplyCase& rc : replyTable()) {
        const Bytes full = tcp(rc.pdu);
        for (size_t k = 0; k < full.size(); ++k) {
            Recorder r;
            std::memset(r.in, 0x7F, sizeof r.in); // stale bytes that must not be used
            const int32_t st = r.parse(Bytes(full.begin(), full.begin() + k));
            if (k <= 7) {
                EXPECT_EQ(st, 5);
            }
            for (const std::string& c : r.calls)
                EXPECT_EQ(c.find("2139062143"), std::string::npos) << c; // 0x7F7F7F7F read from stale bytes
        }
    }
    Recorder r;
    EXPECT_EQ(r.parse(tcp({'A', 100, 1, 2, 3, 4})), 5); // count byte beyond the values present
    EXPECT_TRUE(r.calls.empty());
    EXPECT_EQ(r.analysisReciveBuffer(501), 5);
    EXPECT_EQ(r.analysisReciveBuffer(-1), 5);
}

TEST(ReplyParser, SerialChecksums)
{
    Recorder station(1);
    const Bytes good = framed(1, {'t', 1, 0}, true);
    EXPECT_EQ(station.parse(good), 0);
    EXPECT_EQ(station.calls, std::vector<std::string>{"status(0)"});
    Bytes swapped = good;
    std::swap(swapped[4], swapped[5]);
    EXPECT_EQ(station.parse(swapped), 6);
    EXPECT_TRUE(station.calls.empty());
    EXPECT_EQ(station.parse({0x01, 't'}), 5);

    Recorder colon(2);
    EXPECT_EQ(colon.parse({0x3A, 0x01, 0x74, 0x01, 0x00, 0x8A, 0x0A}), 0);
    EXPECT_EQ(colon.calls, std::vector<std::string>{"status(0)"});
    EXPECT_EQ(colon.parse({0x21, 0x01, 0x74, 0x01, 0x00, 0x8A, 0x00}), 0); // lead-in and terminator are not checked
    EXPECT_EQ(colon.parse({0x3A, 0x01, 0x74, 0x01, 0x00, 0x8B, 0x0A}), 6);
    EXPECT_TRUE(colon.calls.empty());
}

// The read handler compares the count with the frame's length less 10, as a TCP frame has it:
// the serial framings give it that length too, so a piece of n bytes passes in each.
TEST(ReplyParser, ReadPieceLengthCountsAsInTcp)
{
    for (int mode = 0; mode < 3; ++mode) {
        Recorder r(mode);
        EXPECT_EQ(r.parse(framed(mode, {'c', 2, 3, 'a', 'b', 'c'}, true)), 0) << mode;
        EXPECT_EQ(r.calls, std::vector<std::string>{"read(3,13)"}) << mode;
        EXPECT_EQ(r.parse(framed(mode, {'c', 2, 0}, true)), 0) << mode;
        EXPECT_EQ(r.calls, std::vector<std::string>{"read(0,10)"}) << mode;
        EXPECT_EQ(r.parse(framed(mode, {0x85, 2, 'x', 'y'}, true)), 0) << mode;
        EXPECT_EQ(r.calls, std::vector<std::string>{"errData(xy)"}) << "the trailer is no data, mode " << mode;
    }
}

using FrameBoundary::Verdict;

TEST(FrameBoundaryTest, EveryRequestEndsExactlyWhereItWasBuilt)
{
    for (int mode : {FrameTcp, FrameSerialStation, FrameSerialColon}) {
        for (const WireRow& r : wireRows()) {
            Codec c(mode);
            const int32_t n = r.build(c);
            ASSERT_GT(n, 0) << r.name;
            const bool fixed = mode == FrameTcp || r.fixedLength;
            for (int k = 0; k < n; ++k) {
                const FrameBoundary::Cut cut = FrameBoundary::request(mode, c.out, k);
                if (fixed)
                    EXPECT_EQ(cut.verdict, Verdict::NeedMore) << r.name << " mode " << mode << " at " << k;
                else
                    EXPECT_NE(cut.verdict, Verdict::Complete) << r.name << " mode " << mode << " at " << k;
            }
            const FrameBoundary::Cut whole = FrameBoundary::request(mode, c.out, n);
            EXPECT_EQ(whole.verdict, fixed ? Verdict::Complete : Verdict::CompleteWhenQuiet) << r.name << " " << mode;
            EXPECT_EQ(whole.length, n) << r.name << " mode " << mode;
        }
    }
}

// A reply as the codec's writer builds it, which must be the hand-framed one.
Bytes replyFrame(int mode, const Bytes& pdu)
{
    uint8_t buf[500];
    FrameWriter w(buf, sizeof buf, mode);
    w.code(pdu[0]).bytes(pdu.data() + 1, int(pdu.size()) - 1);
    const Bytes built(buf, buf + w.finishReply());
    EXPECT_EQ(built, framed(mode, pdu, true)) << "mode " << mode;
    return built;
}

// Replies of fixed layout, among them those whose shorter prefix passes the check sum: a CRC
// whose low byte equals the last PDU byte, or a line feed after a byte equal to the LRC.
TEST(FrameBoundaryTest, SerialRepliesEndWhereTheirLayoutEnds)
{
    const std::vector<Bytes> pdus = {
        {'p', 0x01},
        {'r', 3, 68},
        {'r', 1, 197},
        {0x83, 3, 1},
        cat({{'B', 1}, le(2013265920)}),
        cat({{'B', 1}, le(2748)}),
        cat({{'B', 1}, le(68284)}),
        cat({{'B', 2}, le(0x0A0A0A0A), le(0x3A010A3A)}),
        {'D'},
        {0xC2},
        cat({{'t', 10, 0}, le(1), le(0x0A), le(1001)}),
        cat({{'v', 8, 0, 2}, le(100), le(-100)}),
        cat({{'i', 3, 1, 1}, le(0x0A0A)}),
        cat({{'x', 0}, le(1), le(2)}),
        cat({{0x82, 11}, le(7)}),
        {'d', 1, 0, 0, 0},
        {'f', 4, 0, 3},
        {'c', 2, 2, 'a', 'b'},
    };
    for (int mode : {FrameSerialStation, FrameSerialColon}) {
        for (const Bytes& pdu : pdus) {
            const Bytes f = replyFrame(mode, pdu);
            const int n = int(f.size());
            for (int k = 0; k < n; ++k)
                EXPECT_EQ(FrameBoundary::reply(mode, f.data(), k).verdict, Verdict::NeedMore)
                    << "mode " << mode << " code " << int(pdu[0]) << " at " << k << " of " << n;
            const FrameBoundary::Cut whole = FrameBoundary::reply(mode, f.data(), n);
            EXPECT_EQ(whole.verdict, Verdict::Complete) << "mode " << mode << " code " << int(pdu[0]);
            EXPECT_EQ(whole.length, n);
            // Bytes of a following frame do not lengthen this one.
            Bytes two = f;
            two.insert(two.end(), f.begin(), f.end());
            EXPECT_EQ(FrameBoundary::reply(mode, two.data(), int(two.size())).length, n);
        }
    }
}

TEST(FrameBoundaryTest, TextRepliesEndWhenTheirCheckPassesAndTheLineIsQuiet)
{
    const Bytes pdu = {'g', 5, 'O', '1', '2', '3', 0};
    for (int mode : {FrameSerialStation, FrameSerialColon}) {
        const Bytes f = replyFrame(mode, pdu);
        const FrameBoundary::Cut cut = FrameBoundary::reply(mode, f.data(), int(f.size()));
        EXPECT_EQ(cut.verdict, Verdict::CompleteWhenQuiet) << mode;
        EXPECT_EQ(cut.length, int(f.size()));
        Bytes bad = f;
        bad[bad.size() - (mode == FrameSerialColon ? 2 : 1)] ^= 0x5A;
        EXPECT_EQ(FrameBoundary::reply(mode, bad.data(), int(bad.size())).verdict, Verdict::NeedMore) << mode;
    }
}

TEST(FrameBoundaryTest, FramesTooLongForTheBufferAreBrokenAtOnce)
{
    // TCP: the length field is read as soon as it arrives.
    const uint8_t header494[6] = {0, 0, 0, 0, 0xEE, 0x01}; // 494 + 6 = 500 bytes
    EXPECT_EQ(FrameBoundary::reply(FrameTcp, header494, 6).verdict, Verdict::Broken);
    const uint8_t header493[6] = {0, 0, 0, 0, 0xED, 0x01};
    EXPECT_EQ(FrameBoundary::reply(FrameTcp, header493, 6).verdict, Verdict::NeedMore);
    const uint8_t headerFFFF[6] = {0, 0, 0, 0, 0xFF, 0xFF};
    EXPECT_EQ(FrameBoundary::reply(FrameTcp, headerFFFF, 6).verdict, Verdict::Broken);
    const uint8_t noCode[7] = {0, 0, 0, 0, 1, 0, 0};
    EXPECT_EQ(FrameBoundary::reply(FrameTcp, noCode, 7).verdict, Verdict::Broken);
    // Serial: a count byte that promises more values than the buffer holds.
    const uint8_t manyValues[3] = {0x01, 'B', 127};
    EXPECT_EQ(FrameBoundary::reply(FrameSerialStation, manyValues, 3).verdict, Verdict::Broken);
    const uint8_t manyInputs[] = {0x01, 'x', 1, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    EXPECT_EQ(FrameBoundary::request(FrameSerialStation, manyInputs, sizeof manyInputs).verdict, Verdict::Broken);
}

struct MatchCase
{
    Bytes request;
    Bytes reply;
    bool answers;
    const char* why;
};

TEST(ReplyMatchTest, OnlyTheRequestsOwnKindOrItsErrorReplyAnswersIt)
{
    const std::vector<MatchCase> cases = {
        {cat({{'r', 2}, le(1), le(1)}), {'r', 2, 0}, true, "same code and sub-code"},
        {cat({{'r', 2}, le(1), le(1)}), {'r', 1, 0}, false, "another jog"},
        {cat({{'r', 2}, le(1), le(1)}), {0xF2}, true, "the error reply of 'r'"},
        {cat({{'r', 2}, le(1), le(1)}), {0x5A, 1, 2}, true, "garbage no request has: the parser rejects it"},
        {{'p'}, {'p', 1}, true, "watchdog"},
        {cat({{'B', 1}, le(1000001)}), cat({{'B', 1}, le(5)}), true, "read"},
        {cat({{'B', 1}, le(1000001)}), {0xC2}, true, "read error"},
        {cat({{'B', 1}, le(1000001)}), {0xC4}, false, "write error"},
        {cat({{'D', 1}, le(1000001), le(5)}), {'D'}, true, "write"},
        {{'g', 0x90, 1}, {'g', 0xF0, 'x', 0}, true, "the running-program kind 5 comes back as 0xF0"},
        {{'g', 0x05, 1}, {'g', 0xF0, 'x', 0}, false, "kind 4 is not kind 5"},
        {{'e', 2}, {'e', 4, 1}, true, "the last piece of a binary read"},
        {{0x85, 2}, {0x85, 3, 'a'}, true, "the last piece of an error text"},
        {{0x85, 1, 1, 2}, {0x85, 2, 'a'}, false, "data is not the head"},
        {{'d', 1, 1, 1, 'O'}, {0xE4}, true, "file-transfer error reply"},
        {{'f', 4, 1, 'O'}, {0xE6}, true, "program-start error reply"},
        {{'f', 4, 1, 'O'}, {'f', 3, 0, 0}, false, "a reset reply"},
        {{0x84, '/'}, {0x84, 1, 'x', 0}, true, "file information"},
        {{'x', 1, 0, 0, 0, 0, 0, 0, 0}, {'y', 0}, false, "'y' answers a write of bits"},
    };
    for (int mode : {FrameTcp, FrameSerialStation, FrameSerialColon}) {
        for (const MatchCase& c : cases) {
            const Bytes request = framed(mode, c.request), reply = replyFrame(mode, c.reply);
            EXPECT_EQ(ReplyMatch::answers(mode, request.data(), int(request.size()), reply.data(), int(reply.size())), c.answers)
                << c.why << ", mode " << mode;
        }
        // A frame too short to show its kind is handed on for the parser to reject.
        Codec codec(mode);
        const int n = codec.CmdCheckTcpWdt();
        const uint8_t headerOnly[7] = {};
        EXPECT_TRUE(ReplyMatch::answers(mode, codec.out, n, headerOnly, headerLenForMode(mode)));
    }
}

} // namespace
