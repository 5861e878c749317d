#include "VProtocol_Client.h"
#include "WireCodeTable.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Records every callback as "name(args)" so a table can state the expected call.
struct Recorder : VProtocol_Client {
    uint8_t out[500] = {};
    uint8_t in[500] = {};
    std::vector<std::string> calls;
    explicit Recorder(int mode = 0) { sendBuf = out; recvBuf = in; setFrameMode(mode); }

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

}
