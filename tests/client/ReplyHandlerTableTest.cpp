// Every reply callback of the client, called directly (no socket) with each state of its
// reply table: the failure flag and code it leaves, what it reports to the application, and
// the values it stores.
#include "CommCodes.h"
#include "ReplyHandlerRows.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QList>

#include <initializer_list>
#include <map>

namespace {
using namespace ReplyHandlerRows;
using Client = AsynchronousClient;

const char* const kParametersError = "parameters error.";
const char* const kExecutionAlarm = "CNC系统执行错误报警";

std::string stateName(int32_t state) { return " state " + std::to_string(state); }

// ---- machine control: state 0 succeeds, state s fails with 100 + s, nothing is reported ----

struct MachineHandler
{
    const char* name;
    std::function<void(Client&, int32_t state)> call;
};

const int32_t kValues[] = {5, 6, 7};

const MachineHandler kMachineHandlers[] = {
    {"onRecCmdJogMotionV_Run", [](Client& c, int32_t s) { c.onRecCmdJogMotionV_Run(s); }},
    {"onRecCmdJogMotionV_Stop", [](Client& c, int32_t s) { c.onRecCmdJogMotionV_Stop(s); }},
    {"onRecCmdJogMotionV_MfoSet", [](Client& c, int32_t s) { c.onRecCmdJogMotionV_MfoSet(s); }},
    {"onRecCmdJogMotionP_Run", [](Client& c, int32_t s) { c.onRecCmdJogMotionP_Run(s); }},
    {"onRecCmdJogMotionP_MfoSet", [](Client& c, int32_t s) { c.onRecCmdJogMotionP_MfoSet(s); }},
    {"onRecCmdJogMotionP_Stop", [](Client& c, int32_t s) { c.onRecCmdJogMotionP_Stop(s); }},
    {"onRecCmdJogMotionP_IsStop", [](Client& c, int32_t s) { c.onRecCmdJogMotionP_IsStop(s, kValues); }},
    {"onRecCmdHomeRunAxis", [](Client& c, int32_t s) { c.onRecCmdHomeRunAxis(s); }},
    {"onRecCmdHomeAxes", [](Client& c, int32_t s) { c.onRecCmdHomeAxes(s, 2, kValues); }},
    {"onRecCmdValues", [](Client& c, int32_t s) { c.onRecCmdValues(s, 1, kValues); }},
    {"onRecCmdStatusS", [](Client& c, int32_t s) { c.onRecCmdStatusS(s); }},
    {"onRecCmdStatus", [](Client& c, int32_t s) { c.onRecCmdStatus(s); }},
    {"onRecCmdAlarmRead", [](Client& c, int32_t s) { c.onRecCmdAlarmRead(s, 3, kValues); }},
    {"onRecCmdGetAxesCoord", [](Client& c, int32_t s) { c.onRecCmdGetAxesCoord(s, 3, kValues); }},
};

ClientStep withState(const MachineHandler& h, int32_t state)
{
    const auto call = h.call;
    return [call, state](Client& c) { call(c, state); };
}

TEST(ReplyHandlerTableTest, MachineControlStatesBecomeCodesWithoutReports)
{
    std::vector<Row> rows;
    for (const MachineHandler& h : kMachineHandlers) {
        rows.push_back({std::string(h.name) + stateName(0), withState(h, 0), ok()});
        // A status byte is signed: 0xFF is state -1 and 0x80 is state -128.
        for (int32_t state : {1, 3, 100, 127, -1, -128})
            rows.push_back({h.name + stateName(state), withState(h, state), fail(ResultCode::fromState(state))});
    }
    runRows(rows);
}

// The three value fields take one to three values right-aligned; a failure or an unexpected
// count stores nothing, and nothing clears them.
struct Stored
{
    int32_t v1, v2, v3;
    QList<int32_t> coords;
};
constexpr int32_t kOld = -9;

ClientStep storedBefore()
{
    return [](Client& c) {
        c.replyValue1 = c.replyValue2 = c.replyValue3 = kOld;
        c.axesCoords = {kOld};
    };
}

ClientStep storedAfter(const Stored& want)
{
    return [want](Client& c) {
        EXPECT_EQ(c.replyValue1, want.v1);
        EXPECT_EQ(c.replyValue2, want.v2);
        EXPECT_EQ(c.replyValue3, want.v3);
        EXPECT_EQ(c.axesCoords, want.coords);
    };
}

TEST(ReplyHandlerTableTest, MachineControlValuesAreStoredOnSuccessOnly)
{
    const Stored none{kOld, kOld, kOld, {kOld}};
    const Stored last5{kOld, kOld, 5, {kOld}};
    const Stored pair56{kOld, 5, 6, {kOld}};
    struct ValueRow
    {
        const char* what;
        ClientStep deliver;
        Expected expected;
        Stored stored;
    };
    const ValueRow table[] = {
        {"IsStop state 0", [](Client& c) { c.onRecCmdJogMotionP_IsStop(0, kValues); }, ok(), last5},
        {"IsStop state 2", [](Client& c) { c.onRecCmdJogMotionP_IsStop(2, kValues); },
         fail(ResultCode::fromState(2)), none},
        {"HomeAxes count 1", [](Client& c) { c.onRecCmdHomeAxes(0, 1, kValues); }, ok(), last5},
        {"HomeAxes count 2", [](Client& c) { c.onRecCmdHomeAxes(0, 2, kValues); }, ok(), pair56},
        {"HomeAxes count 3", [](Client& c) { c.onRecCmdHomeAxes(0, 3, kValues); }, ok(), none},
        {"HomeAxes count 0", [](Client& c) { c.onRecCmdHomeAxes(0, 0, nullptr); }, ok(), none},
        {"HomeAxes state 1", [](Client& c) { c.onRecCmdHomeAxes(1, 2, kValues); }, fail(ResultCode::fromState(1)),
         none},
        {"Values count 1", [](Client& c) { c.onRecCmdValues(0, 1, kValues); }, ok(), last5},
        {"Values count 2", [](Client& c) { c.onRecCmdValues(0, 2, kValues); }, ok(), pair56},
        {"Values count 3", [](Client& c) { c.onRecCmdValues(0, 3, kValues); }, ok(), none},
        {"Values state -1", [](Client& c) { c.onRecCmdValues(-1, 1, kValues); }, fail(ResultCode::fromState(-1)), none},
        {"AlarmRead count 3", [](Client& c) { c.onRecCmdAlarmRead(0, 3, kValues); }, ok(), {5, 6, 7, {kOld}}},
        {"AlarmRead count 2", [](Client& c) { c.onRecCmdAlarmRead(0, 2, kValues); }, ok(), none},
        {"AlarmRead state 4", [](Client& c) { c.onRecCmdAlarmRead(4, 3, kValues); }, fail(ResultCode::fromState(4)),
         none},
        {"AxesCoord count 3", [](Client& c) { c.onRecCmdGetAxesCoord(0, 3, kValues); }, ok(),
         {kOld, kOld, kOld, {kOld, 5, 6, 7}}},
        {"AxesCoord count 0", [](Client& c) { c.onRecCmdGetAxesCoord(0, 0, nullptr); }, ok(), none},
        {"AxesCoord state 3", [](Client& c) { c.onRecCmdGetAxesCoord(3, 2, kValues); },
         fail(ResultCode::fromState(3)), none},
    };
    std::vector<Row> rows;
    for (const ValueRow& r : table)
        rows.push_back({r.what, r.deliver, r.expected, storedBefore(), storedAfter(r.stored)});
    runRows(rows);
}

// ---- program text transfer ----

// Declaration and state query: isSetFileOk follows the outcome.
std::vector<Row> declarationRows(const char* name, void (Client::*handler)(int32_t), const std::string& unknownPrefix)
{
    struct StateRow
    {
        int32_t state;
        Expected expected;
    };
    const auto d = ErrorCmd::FileDeclaration;
    const StateRow table[] = {
        {0, ok()},
        {1, fail(ResultCode::ParametersRejected, report(d, 1, kParametersError))},
        {2, fail(ResultCode::RefusedWhileRunning,
                 report(d, 2, "target file is been executing.file transmission denied."))},
        {100, fail(ResultCode::ExecutionAlarm, report(d, 100, kExecutionAlarm))},
        {3, fail(ResultCode::fromState(3), report(d, 3, unknownPrefix + "3"))},
        {101, fail(ResultCode::fromState(101), report(d, 101, unknownPrefix + "101"))},
        {-1, fail(ResultCode::fromState(-1), report(d, -1, unknownPrefix + "-1"))},
    };
    std::vector<Row> rows;
    for (const StateRow& r : table) {
        const bool accepted = r.expected.flag == Flag::Cleared;
        rows.push_back({name + stateName(r.state), [handler, r](Client& c) { (c.*handler)(r.state); }, r.expected,
                        [accepted](Client& c) { c.isSetFileOk = !accepted; },
                        [accepted](Client& c) { EXPECT_EQ(c.isSetFileOk, accepted); }});
    }
    return rows;
}

TEST(ReplyHandlerTableTest, FileStateQueryStates)
{
    runRows(declarationRows("onReciveCmdGetFileTransState", &Client::onReciveCmdGetFileTransState,
                            "CmdGetFileTransState:unknow state. state="));
}

TEST(ReplyHandlerTableTest, FileDeclarationStates)
{
    runRows(declarationRows("onReciveCmdSetFileInf", &Client::onReciveCmdSetFileInf,
                            "CmdSetFileInf:unknow state. state="));
}

// Overwrite and append blocks: the DNC-memory-full flag is cleared first and set by state 3 only.
std::vector<Row> textBlockRows(const char* name, void (Client::*handler)(int32_t), int32_t errorCmd,
                               const char* storedText, const char* lostText)
{
    struct StateRow
    {
        int32_t state;
        Expected expected;
        bool memoryFull;
    };
    const StateRow table[] = {
        {0, ok(), false},
        {1, fail(ResultCode::ParametersRejected, report(errorCmd, 1, kParametersError)), false},
        {2, untouched(report(errorCmd, 2, storedText)), false},
        {3, codeOnly(ResultCode::MemoryFullOrNoFile, report(errorCmd, 3, lostText)), true},
        {100, fail(ResultCode::ExecutionAlarm, report(ErrorCmd::FileDeclaration, 100, kExecutionAlarm)), false},
        {4, fail(ResultCode::fromState(4)), false},
        {-2, fail(ResultCode::fromState(-2)), false},
    };
    std::vector<Row> rows;
    for (const StateRow& r : table) {
        const bool full = r.memoryFull;
        rows.push_back({name + stateName(r.state), [handler, r](Client& c) { (c.*handler)(r.state); }, r.expected,
                        [full](Client& c) { c.dncMemoryFull = !full; },
                        [full](Client& c) { EXPECT_EQ(c.dncMemoryFull, full); }});
    }
    return rows;
}

TEST(ReplyHandlerTableTest, OverwriteBlockStates)
{
    // The overwrite texts have a blank after "DNC", the append texts none.
    runRows(textBlockRows("onReciveCmdOverWriteTxt", &Client::onReciveCmdOverWriteTxt, ErrorCmd::Overwrite,
                          "DNC 内存已满，此笔数据复写成功",
                          "DNC 内存已满，此笔数据复写失败"));
}

TEST(ReplyHandlerTableTest, AppendBlockStates)
{
    runRows(textBlockRows("onReciveCmdAppendTxt", &Client::onReciveCmdAppendTxt, ErrorCmd::Append,
                          "DNC内存已满，此笔数据追加成功", "DNC内存已满，此笔数据追加失败"));
}

TEST(ReplyHandlerTableTest, FileEndStates)
{
    const auto end = [](int32_t s) -> ClientStep { return [s](Client& c) { c.onReciveCmdFileEnd(s); }; };
    runRows({
        {"state 0", end(0), ok()},
        {"state 1", end(1), fail(ResultCode::ParametersRejected, report(ErrorCmd::FileEnd, 1, kParametersError))},
        {"state 2", end(2), untouched()},
        {"state 100", end(100), untouched()},
        {"state -1", end(-1), untouched()},
    });
}

// State 1 puts a transfer-state request at the head of the queue, past the queue limit.
TEST(ReplyHandlerTableTest, TransferStateStates)
{
    const QByteArray first("first"), second("second");
    const QByteArray transferStateRequest("\0\0\0\0\x03\0\0d\x05", 9);
    const auto queued = [=](Client& c) { c.cmdQueue = {first, second}; };
    const auto state = [](int32_t s) -> ClientStep { return [s](Client& c) { c.onReciveCmdTransFileState(s); }; };
    const auto queueIs = [](const QList<QByteArray>& want) -> ClientStep {
        return [want](Client& c) {
            EXPECT_EQ(c.cmdQueue.size(), want.size());
            for (int i = 0; i < c.cmdQueue.size() && i < want.size(); ++i)
                EXPECT_EQ(c.cmdQueue[i].toHex(' ').toStdString(), want[i].toHex(' ').toStdString()) << "frame " << i;
        };
    };
    runRows({
        {"state 1", state(1), untouched(), queued, queueIs({transferStateRequest, first, second})},
        {"state 0", state(0), untouched(), queued, queueIs({first, second})},
        {"state 2", state(2), untouched(), queued, queueIs({first, second})},
        {"state -1", state(-1), untouched(), queued, queueIs({first, second})},
    });
}

TEST(ReplyHandlerTableTest, CycleStartStates)
{
    const auto start = [](int32_t s) -> ClientStep { return [s](Client& c) { c.onReciveCmdCycStart(s); }; };
    const auto c = ErrorCmd::CycleStart;
    runRows({
        {"state 0", start(0), ok()},
        {"state 1", start(1), fail(ResultCode::ParametersRejected, report(c, 1, kParametersError))},
        {"state 2", start(2), fail(ResultCode::RefusedWhileRunning, report(c, 2, "program is runing."))},
        {"state 3", start(3), fail(ResultCode::MemoryFullOrNoFile, report(c, 3, "file is not exist."))},
        {"state 4", start(4), fail(ResultCode::fromState(4), report(c, 4, ""))},
        {"state 100", start(100), fail(ResultCode::ExecutionAlarm, report(c, 100, ""))},
        {"state -1", start(-1), fail(ResultCode::fromState(-1), report(c, -1, ""))},
    });
}

// ---- reset and variable write ----

TEST(ReplyHandlerTableTest, ResetStates)
{
    const auto reset = [](int32_t s) -> ClientStep { return [s](Client& c) { c.onReciveCmdReset(s); }; };
    const auto r = ErrorCmd::Reset;
    runRows({
        {"state 0", reset(0), ok()},
        {"state 1", reset(1), fail(ResultCode::ParametersRejected, report(r, 1, kParametersError))},
        {"state 2", reset(2), fail(ResultCode::RefusedWhileRunning, report(r, 2, "program is runing."))},
        {"state 3", reset(3), fail(ResultCode::fromState(3), report(r, 3, ""))},
        {"state 100", reset(100), fail(ResultCode::fromState(100), report(r, 100, ""))},
        {"state -1", reset(-1), fail(ResultCode::fromState(-1), report(r, -1, ""))},
    });
}

TEST(ReplyHandlerTableTest, VariableWriteReplies)
{
    runRows({
        {"write acknowledged", [](Client& c) { c.onRecCmdWriteVars(0); }, ok()},
        {"write error reply", [](Client& c) { c.onRecCmdWriteVars(1); },
         fail(ResultCode::ParametersRejected, report(ErrorCmd::VariableWrite, 1, kParametersError))},
    });
}

// ---- variable read: values pair with the addresses of the request in flight ----

TEST(ReplyHandlerTableTest, VariableReadReplies)
{
    const int32_t values[] = {10, -1, 7};
    using Cache = std::map<int32_t, int32_t>;
    const Cache before{{5, kOld}, {1000002, kOld}};
    const auto inFlight = [before](Client& c) {
        c.readBatch = {1000001, 1000002, 1000003};
        c.valueCache = before;
    };
    const auto cacheIs = [](const Cache& want) -> ClientStep {
        return [want](Client& c) { EXPECT_EQ(c.valueCache, want); };
    };
    runRows({
        // Only the addresses still registered take their value: the others were removed meanwhile.
        {"values for the whole batch", [values](Client& c) { c.onRecCmdReadVars(0, values, 3); }, ok(), inFlight,
         cacheIs({{5, kOld}, {1000002, -1}})},
        // Values that cannot be paired with the request's addresses: nothing stored, and a failure.
        {"fewer values than addresses", [values](Client& c) { c.onRecCmdReadVars(0, values, 2); },
         fail(ResultCode::ReplyFailed), inFlight, cacheIs(before)},
        {"no values", [](Client& c) { c.onRecCmdReadVars(0, nullptr, 0); }, fail(ResultCode::ReplyFailed), inFlight,
         cacheIs(before)},
        {"read error reply", [](Client& c) { c.onRecCmdReadVars(1, nullptr, 0); },
         fail(ResultCode::ParametersRejected, report(ErrorCmd::VariableRead, 1, kParametersError)), inFlight,
         cacheIs(before)},
        {"neither kind", [values](Client& c) { c.onRecCmdReadVars(2, values, 3); }, untouched(), inFlight,
         cacheIs(before)},
    });
}

// ---- file reading, binary files, oscilloscope set-up: state 1 succeeds ----

constexpr int32_t kOldStatus = 9;

ClientStep replyStatusWas(int32_t status)
{
    return [status](Client& c) { c.replyStatus = status; };
}

ClientStep replyStatusIs(int32_t status)
{
    return [status](Client& c) { EXPECT_EQ(c.replyStatus, status); };
}

TEST(ReplyHandlerTableTest, FileStepStates)
{
    struct StepHandler
    {
        const char* name;
        void (Client::*handler)(int32_t);
        int32_t errorCmd;
        const char* zeroText;
    };
    const StepHandler handlers[] = {
        {"onRecCmdOpenReadFile", &Client::onRecCmdOpenReadFile, ErrorCmd::OpenReadFile, "opening file error."},
        {"onRecCmdCloseReadFile", &Client::onRecCmdCloseReadFile, ErrorCmd::FileStep, "closing file error."},
        {"onRecCmdBinFile", &Client::onRecCmdBinFile, ErrorCmd::FileStep, "onRecCmdBinFile error."},
        {"onRecCmdSetOscAxis", &Client::onRecCmdSetOscAxis, ErrorCmd::FileStep, "SetOscAxis error."},
        {"onRecCmdSetOscTransEn", &Client::onRecCmdSetOscTransEn, ErrorCmd::FileStep, "SetOscTransEn error."},
    };
    std::vector<Row> rows;
    for (const StepHandler& h : handlers) {
        const auto with = [h](int32_t s) -> ClientStep { return [h, s](Client& c) { (c.*h.handler)(s); }; };
        const std::string n = h.name;
        rows.push_back({n + stateName(1), with(1), ok(), replyStatusWas(kOldStatus), replyStatusIs(0)});
        rows.push_back({n + stateName(0), with(0),
                        fail(ResultCode::ControllerFailure, report(h.errorCmd, 0, h.zeroText)),
                        replyStatusWas(kOldStatus), replyStatusIs(kOldStatus)});
        for (int32_t state : {2, 3, -1})
            rows.push_back({n + stateName(state), with(state),
                            fail(ResultCode::fromState(state), report(h.errorCmd, state, "")),
                            replyStatusWas(kOldStatus), replyStatusIs(kOldStatus)});
    }
    runRows(rows);
}

// A read-file reply is its count byte and the data; its frame is 10 bytes longer than the data.
TEST(ReplyHandlerTableTest, ReadFileReplies)
{
    static const uint8_t three[] = {3, 'x', 'y', 'z'};
    static const uint8_t empty[] = {0};
    static const uint8_t minusOne[] = {0xFF};
    const auto before = [](Client& c) {
        c.recvFileData = "ab";
        c.replyStatus = kOldStatus;
        c.sendState = 2;
    };
    const auto after = [](const char* data, int32_t status) -> ClientStep {
        return [data, status](Client& c) {
            EXPECT_EQ(c.recvFileData.toStdString(), data);
            EXPECT_EQ(c.replyStatus, status);
        };
    };
    const Report wrongSize = report(ErrorCmd::ReadFile, 2, "read file error.(Accept the wrong size)");
    runRows({
        {"three bytes", [](Client& c) { c.onRecCmdReadFile(three, 13); }, ok(), before, after("abxyz", 0)},
        {"no bytes", [](Client& c) { c.onRecCmdReadFile(empty, 10); }, ok(), before, after("ab", 0)},
        {"count -1 in a 9-byte frame", [](Client& c) { c.onRecCmdReadFile(minusOne, 9); }, ok(), before,
         after("ab", 0)},
        {"count above the frame", [](Client& c) { c.onRecCmdReadFile(three, 12); }, failCodeKept(wrongSize), before,
         after("ab", kOldStatus)},
        {"count below the frame", [](Client& c) { c.onRecCmdReadFile(three, 14); }, failCodeKept(wrongSize), before,
         after("ab", kOldStatus)},
    });
}

TEST(ReplyHandlerTableTest, ErrorFileReplies)
{
    const auto before = [](Client& c) {
        c.recvFileData = "ab";
        c.replyStatus = kOldStatus;
    };
    const auto after = [](const char* data, int32_t status) -> ClientStep {
        return [data, status](Client& c) {
            EXPECT_EQ(c.recvFileData.toStdString(), data);
            EXPECT_EQ(c.replyStatus, status);
        };
    };
    const auto inf = [](int32_t s) -> ClientStep { return [s](Client& c) { c.onRecCmdErrorInf(s, "cd"); }; };
    const auto f = ErrorCmd::FileStep;
    runRows({
        {"information state 0", inf(0), ok(), before, after("abcd", 0)},
        {"information state 1", inf(1), fail(ResultCode::ParametersRejected, report(f, 1, "onRecCmdBinFile error.")),
         before, after("ab", kOldStatus)},
        {"information state 3", inf(3), fail(ResultCode::fromState(3), report(f, 3, "")), before,
         after("ab", kOldStatus)},
        {"information state -1", inf(-1), fail(ResultCode::fromState(-1), report(f, -1, "")), before,
         after("ab", kOldStatus)},
        {"data", [](Client& c) { c.onRecCmdErrorData("cd"); }, ok(), before, after("abcd", 0)},
    });
}

// File information: state 1 succeeds; the text is Latin-1 and is kept as UTF-8; nothing is reported.
TEST(ReplyHandlerTableTest, FileInformationReplies)
{
    const auto before = [](Client& c) {
        c.recvFileData = "ab";
        c.replyStatus = kOldStatus;
    };
    const auto after = [](const char* data, int32_t status) -> ClientStep {
        return [data, status](Client& c) {
            EXPECT_EQ(c.recvFileData.toStdString(), data);
            EXPECT_EQ(c.replyStatus, status);
        };
    };
    const auto info = [](int32_t s) -> ClientStep { return [s](Client& c) { c.onRecCmdGetCncFileInf(s, "N\xE9"); }; };
    runRows({
        {"state 1", info(1), ok(), before, after("abN\xC3\xA9", 0)},
        {"state 0", info(0), fail(ResultCode::ControllerFailure), before, after("ab", kOldStatus)},
        {"state 2", info(2), fail(ResultCode::fromState(2)), before, after("ab", kOldStatus)},
        {"state -1", info(-1), fail(ResultCode::fromState(-1)), before, after("ab", kOldStatus)},
    });
}

// Oscilloscope points: state 1 succeeds and keeps 1 ... 60 points; state 0 fails; other states do nothing.
TEST(ReplyHandlerTableTest, OscilloscopePointReplies)
{
    std::vector<int32_t> sixtyOne;
    for (int32_t i = 0; i < 61; ++i)
        sixtyOne.push_back(1000 + i);
    const auto before = [](Client& c) { c.oscPoints = {kOld}; };
    const auto pointsAre = [](const QList<int32_t>& want) -> ClientStep {
        return [want](Client& c) { EXPECT_EQ(c.oscPoints, want); };
    };
    QList<int32_t> sixty{kOld};
    for (int32_t i = 0; i < 60; ++i)
        sixty.append(1000 + i);
    runRows({
        {"two points", [](Client& c) { c.onRecCmdGetOscPoint(1, 2, kValues); }, ok(), before, pointsAre({kOld, 5, 6})},
        {"sixty points", [&sixtyOne](Client& c) { c.onRecCmdGetOscPoint(1, 60, sixtyOne.data()); }, ok(), before,
         pointsAre(sixty)},
        {"sixty-one points", [&sixtyOne](Client& c) { c.onRecCmdGetOscPoint(1, 61, sixtyOne.data()); }, ok(), before,
         pointsAre({kOld})},
        {"no points", [](Client& c) { c.onRecCmdGetOscPoint(1, 0, nullptr); }, ok(), before, pointsAre({kOld})},
        {"state 0", [](Client& c) { c.onRecCmdGetOscPoint(0, 2, kValues); },
         fail(ResultCode::ControllerFailure, report(ErrorCmd::VariableRead, 0, "onRecCmdGetOscPoint error.")), before,
         pointsAre({kOld})},
        {"state 2", [](Client& c) { c.onRecCmdGetOscPoint(2, 2, kValues); }, untouched(), before, pointsAre({kOld})},
        {"state -1", [](Client& c) { c.onRecCmdGetOscPoint(-1, 2, kValues); }, untouched(), before, pointsAre({kOld})},
    });
}

TEST(ReplyHandlerTableTest, WatchdogStates)
{
    const auto wdt = [](int32_t s) -> ClientStep { return [s](Client& c) { c.onRecCmdCheckTcpWdt(s); }; };
    runRows({
        {"state 1", wdt(1), ok(), replyStatusWas(kOldStatus), replyStatusIs(0)},
        {"state 0", wdt(0), fail(ResultCode::ControllerFailure), replyStatusWas(kOldStatus), replyStatusIs(kOldStatus)},
        {"state 2", wdt(2), fail(ResultCode::fromState(2)), replyStatusWas(kOldStatus), replyStatusIs(kOldStatus)},
        {"state -1", wdt(-1), fail(ResultCode::fromState(-1)), replyStatusWas(kOldStatus), replyStatusIs(kOldStatus)},
    });
}

// Replies that answer no request of this client: an unknown one is reported and keeps the
// code; the program-start reply ('f' 5) is not handled at all.
TEST(ReplyHandlerTableTest, RepliesToNoRequestOfTheClient)
{
    runRows({
        {"unknown command", [](Client& c) { c.onRecCmdUnknown(); },
         failCodeKept(report(ErrorCmd::UnknownCommand, 0, "unknown command."))},
        {"program start state 1", [](Client& c) { c.onReciveCmdF5(1); }, untouched()},
        {"program start state 0", [](Client& c) { c.onReciveCmdF5(0); }, untouched()},
    });
}

// ---- controller strings, by kind ----

TEST(ReplyHandlerTableTest, ControllerStringsAreKeptByKind)
{
    AsynchronousClient client;
    client.errCallback = recordError;
    client.replyErrorCode = kEarlierCode;
    client.cncStrings[4] = "OLD";
    clearReportedError();
    for (int32_t kind : {0, 1, 2, 3, 4, 5})
        client.onRecCmdGetCncString(kind, ("K" + std::to_string(kind)).c_str());
    const char text[] = "O1234\0tail";
    client.onRecCmdGetCncString(2, text);
    const std::map<int32_t, QByteArray> want{{0, "K0"}, {1, "K1"}, {2, "O1234"}, {3, "K3"}, {4, "K4"}, {5, "K5"}};
    EXPECT_EQ(client.cncStrings, want);
    EXPECT_EQ(client.replyErrorCode, kEarlierCode);
    EXPECT_EQ(reportedError().calls, 0);
}

// After a failing reply on the same client, a good running-program text must not leave the
// failure flag set, or every later query would look failed.
TEST(ReplyHandlerTableTest, RunningProgramTextClearsTheFailureFlag)
{
    runRows({
        {"running program", [](Client& c) { c.onRecCmdGetCncString(4, "O0001"); }, ok(), {},
         [](Client& c) { EXPECT_EQ(c.cncStrings[4], QByteArray("O0001")); }},
    });
}
}
