// Replies: what the parser makes of each, where frames end in all three framings, and which
// replies answer which requests.
#include "CodecFixture.h"
#include "CommandCodec.h"
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

// A decoded reply as "row(state)[values]\"bytes\"", so a table can state the expected value.
std::string describe(const CommandCodec::Reply& r)
{
    if (!r.message)
        return "";
    std::string s = std::string(r.message->name) + "(" + std::to_string(r.state) + ")";
    if (!r.values.isEmpty()) {
        s += "[";
        for (int i = 0; i < r.values.size(); ++i)
            s += (i ? "," : "") + std::to_string(r.values[i]);
        s += "]";
    }
    return r.bytes.isEmpty() ? s : s + "\"" + r.bytes.toStdString() + "\"";
}

CommandCodec::Reply decoded(int mode, const Bytes& frame)
{
    return CommandCodec::decode(frame.empty() ? nullptr : frame.data(), int(frame.size()), mode);
}

Bytes tcp(const Bytes& pdu) { return framed(0, pdu); }

struct ReplyCase {
    Bytes pdu;
    std::string value; // empty: no row decodes it
    int32_t status;
};

const std::vector<ReplyCase>& replyTable()
{
    static const std::vector<ReplyCase> table = {
        {cat({{'A', 3}, le(10), le(-1), le(7)}), "variable range read(0)[10,-1,7]", Handled},
        {{'B', 0}, "variable read(0)", Handled},
        {{'B', 0xFE}, "variable read(0)", Handled},
        {{0xC2}, "variable read refused(1)", Refusal},
        {{'D'}, "variable write(0)", Handled},
        {{0xC4}, "variable write refused(1)", Refusal},
        {{0xE4}, "file transfer refused(1)", Refusal},
        {{0xE6}, "program start refused(1)", Refusal},
        {{'d', 1, 0, 0, 3}, "file declaration(3)", Handled},
        {{'d', 5, 1}, "transfer state(1)", Handled},
        {{'d', 7, 0}, "", TooShort},
        {{'f', 3, 0, 2}, "reset(2)", Handled},
        {{'g', 5, 'O', '1', 0, 'x'}, "running program(0)\"O1\"", Handled},
        {{'g', 0xF0, 'X'}, "running program 5(0)\"X\"", Handled},
        {{'p', 1}, "watchdog(1)", Handled},
        {{'i', 1, 1}, "sampling set-up(1)", Handled},
        {{'r', 1, 0xFE}, "jog run(-2)", Handled},
        {cat({{'q', 4, 0}, le(5), le(9)}), "axes homed(0)[5,9]", Handled},
        {cat({{'q', 3, 0}, le(5)}), "axis homed(0)[5]", Handled},
        {cat({{'v', 7, 0}, le(-3)}), "coordinate(0)[-3]", Handled},
        {cat({{'x', 0}, le(1), le(2)}), "input bits(0)[1,2]", Handled},
        {cat({{0x82, 3}, le(0x105)}), "bus parameter read(5)[261]", Handled},
        {{'y', 3}, "PLC output bits(3)", Handled},
        {{'t', 9, 0}, "program reset(0)", Handled},
        {cat({{'t', 10, 0}, le(1), le(2), le(3)}), "alarm(0)[1,2,3]", Handled},
        {cat({{'v', 8, 0, 2}, le(11), le(22)}), "coordinates(0)[11,22]", Handled},
        {{0x84, 1, '/', 'a'}, "file information(1)\"/a\"", Handled},
        {{0x85, 1, 0, 'e', 'r'}, "error text length(0)\"er\"", Handled},
        {{0xC1}, "unknown reply(0)", TooShort},
        {{'r', 0x30, 0}, "", TooShort},
    };
    return table;
}

TEST(ReplyParser, DecodeTable)
{
    for (const ReplyCase& rc : replyTable()) {
        const CommandCodec::Reply r = decoded(0, tcp(rc.pdu));
        EXPECT_EQ(r.status, rc.status) << rc.value;
        EXPECT_EQ(describe(r), rc.value);
    }
}

// Every shortened valid reply either decodes the same way or is rejected as too short; it
// never reads beyond what arrived (checked under ASan as well).
TEST(ReplyParser, TruncatedFramesNeverReadPastTheirEnd)
{
    for (const ReplyCase& rc : replyTable()) {
        const Bytes full = tcp(rc.pdu);
        for (size_t k = 0; k < full.size(); ++k) {
            Bytes stale(500, 0x7F); // stale bytes that must not be used
            std::copy(full.begin(), full.begin() + k, stale.begin());
            const CommandCodec::Reply r = CommandCodec::decode(stale.data(), int(k), 0);
            if (k <= 7) {
                EXPECT_EQ(r.status, TooShort);
            }
            EXPECT_EQ(describe(r).find("2139062143"), std::string::npos) << describe(r); // 0x7F7F7F7F
        }
    }
    EXPECT_EQ(decoded(0, tcp({'A', 100, 1, 2, 3, 4})).status, TooShort); // count byte beyond the values present
    EXPECT_EQ(decoded(0, Bytes(501, 0)).status, TooShort);
}

TEST(ReplyParser, SerialChecksums)
{
    const Bytes good = framed(1, {'t', 1, 0}, true);
    EXPECT_EQ(describe(decoded(1, good)), "cycle start(0)");
    Bytes swapped = good;
    std::swap(swapped[4], swapped[5]);
    EXPECT_EQ(decoded(1, swapped).status, BadChecksum);
    EXPECT_EQ(decoded(1, {0x01, 't'}).status, TooShort);

    EXPECT_EQ(describe(decoded(2, {0x3A, 0x01, 0x74, 0x01, 0x00, 0x8A, 0x0A})), "cycle start(0)");
    EXPECT_EQ(decoded(2, {0x21, 0x01, 0x74, 0x01, 0x00, 0x8A, 0x00}).status, Handled); // lead-in and terminator are not checked
    EXPECT_EQ(decoded(2, {0x3A, 0x01, 0x74, 0x01, 0x00, 0x8B, 0x0A}).status, BadChecksum);
}

// A piece of the error file counts its bytes without the trailer in every framing: a piece of
// n bytes passes in each, one whose count differs reads as a wrong-size piece.
TEST(ReplyParser, PiecesCountTheirBytesInEveryFraming)
{
    for (int mode = 0; mode < 3; ++mode) {
        EXPECT_EQ(describe(decoded(mode, framed(mode, {'c', 2, 3, 'a', 'b', 'c'}, true))), "error file piece(0)\"abc\"") << mode;
        EXPECT_EQ(describe(decoded(mode, framed(mode, {'c', 2, 0}, true))), "error file piece(0)") << mode;
        EXPECT_EQ(decoded(mode, framed(mode, {'c', 2, 4, 'a'}, true)).state, CommandTable::kWrongSizePiece) << mode;
        EXPECT_EQ(describe(decoded(mode, framed(mode, {0x85, 2, 'x', 'y'}, true))), "error text(0)\"xy\"") << "the trailer is no data, mode " << mode;
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
