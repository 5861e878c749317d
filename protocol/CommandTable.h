#pragma once
// The command table: every message of the controller protocol, one row each, and how a reply's
// state becomes a result and a report. The codec builds requests, cuts frames, matches replies
// and decodes them from these rows alone; the client judges replies by them.
#include "CommCodes.h"

#include <cstddef>
#include <cstdint>

namespace CommandTable {

// ---- requests ----
// A request's body after its code and sub-code, one letter per field:
//   i  int32          b  one byte (low 8 bits)       t  a name: at most 100 bytes, 7-bit
//   p  program text: at most 480 bytes, given with its length
//   d  data bytes, given with their length            s  an int32 byte count, then the data
//   c  the array's count as one byte                  n  the array's count as an int32
//   a  the array's entries, one int32 each            A  the array's pairs (first[i], second[i])
// A body of only i and b fields has a fixed length; one with c or n is counted; t, p or d leave
// the length open (a serial frame of open length ends where the line falls quiet).
struct Ask
{
    const char* fields;
    int16_t minCount = 0; // the array's bounds (letters c, n)
    int16_t maxCount = 0;
    bool addresses = false; // the entries are variable addresses
};

// ---- replies ----
enum class Shape : uint8_t {
    Ack,         // nothing after the code: state 0
    AckAny,      // taken whatever follows: state 0
    Status,      // a state byte
    StatusAt,    // a state byte at a fixed offset from the code (`at`)
    Values,      // a state byte, then `count` int32 values
    CountedList, // a state byte, a count byte, that many int32 values
    Counted,     // a count byte, that many int32 values (the variable reads)
    ValueStatus, // one int32 whose first byte is also the state
    StatusText,  // a state byte, then text up to its 0
    Text,        // text up to its 0
    Piece,       // a count byte, then the piece's bytes
    StatusData,  // a state byte, then data
    Data,        // data
    Logged,      // only logged (the binary reads)
    ErrorReply,  // an error reply of the code + 0x80: state 1
};

struct Answer
{
    Shape shape;
    int8_t count = 0; // Values: how many; StatusAt: the state's offset from the code;
                      // CountedList: the most values kept (0: any)
};

// ---- outcomes: a reply state's result and report ----
enum class Verdict : uint8_t {
    Done,     // success
    Failed,   // fails with 100 + state (ResultCode::fromState)
    Notice,   // succeeds, and is reported
    Short,    // the controller's memory is full: the block was not stored (103)
    Keep,     // leaves the client's last verdict as it was
};

constexpr int8_t kUnreported = -1;

struct StateRule
{
    int16_t state;
    Verdict verdict;
    int8_t errorCmd; // kUnreported: no report
    const char* detail;
};

struct Outcome
{
    int16_t doneState;        // the state of success, never reported
    Verdict others;           // states neither doneState nor listed
    int8_t othersErrorCmd;    // their report, kUnreported for none
    const char* othersDetail; // their detail; with the state's number after it when numbered
    bool numbered;
    StateRule rules[4];
};

constexpr int16_t kNoState = -1000; // a doneState no reply has: only the rules decide

namespace Outcomes {
constexpr const char* kParametersError = "parameters error.";
constexpr const char* kProgramRunning = "program is runing.";
constexpr const char* kExecutionAlarm = "CNC系统执行错误报警";
constexpr int16_t kAlarm = ControllerState::ExecutionAlarm;

// Machine commands: state 0 done, any other fails unreported.
constexpr Outcome kMachine{0, Verdict::Failed, kUnreported, "", false, {}};
// The watchdog and file information: state 1 done.
constexpr Outcome kStateOne{1, Verdict::Failed, kUnreported, "", false, {}};
// Replies without a state (reads, texts, data): always done.
constexpr Outcome kPlain{0, Verdict::Done, kUnreported, "", false, {}};
// Replies that are only logged: they change nothing.
constexpr Outcome kIgnored{kNoState, Verdict::Keep, kUnreported, "", false, {}};
constexpr Outcome kReadRefused{kNoState, Verdict::Failed, ErrorCmd::VariableRead, "", false,
                               {{1, Verdict::Failed, ErrorCmd::VariableRead, kParametersError}}};
constexpr Outcome kWriteRefused{kNoState, Verdict::Failed, ErrorCmd::VariableWrite, "", false,
                                {{1, Verdict::Failed, ErrorCmd::VariableWrite, kParametersError}}};
constexpr Outcome kReset{0, Verdict::Failed, ErrorCmd::Reset, "", false,
                         {{1, Verdict::Failed, ErrorCmd::Reset, kParametersError},
                          {2, Verdict::Failed, ErrorCmd::Reset, kProgramRunning}}};
constexpr Outcome kCycleStart{0, Verdict::Failed, ErrorCmd::CycleStart, "", false,
                              {{1, Verdict::Failed, ErrorCmd::CycleStart, kParametersError},
                               {2, Verdict::Failed, ErrorCmd::CycleStart, kProgramRunning},
                               {3, Verdict::Failed, ErrorCmd::CycleStart, "file is not exist."}}};
// The file end and the controller type: only state 1 is seen as a failure.
constexpr Outcome kFileEnd{0, Verdict::Keep, kUnreported, "", false,
                           {{1, Verdict::Failed, ErrorCmd::FileEnd, kParametersError}}};
constexpr Outcome kDeclaration{0, Verdict::Failed, ErrorCmd::FileDeclaration, "CmdSetFileInf:unknow state. state=", true,
                               {{1, Verdict::Failed, ErrorCmd::FileDeclaration, kParametersError},
                                {2, Verdict::Failed, ErrorCmd::FileDeclaration,
                                 "target file is been executing.file transmission denied."},
                                {kAlarm, Verdict::Failed, ErrorCmd::FileDeclaration, kExecutionAlarm}}};
constexpr Outcome kStateQuery{0, Verdict::Failed, ErrorCmd::FileDeclaration, "CmdGetFileTransState:unknow state. state=", true,
                              {{1, Verdict::Failed, ErrorCmd::FileDeclaration, kParametersError},
                               {2, Verdict::Failed, ErrorCmd::FileDeclaration,
                                "target file is been executing.file transmission denied."},
                               {kAlarm, Verdict::Failed, ErrorCmd::FileDeclaration, kExecutionAlarm}}};
// A text block: state 2 stored it although the memory is full, state 3 did not.
constexpr Outcome kOverwrite{0, Verdict::Failed, kUnreported, "", false,
                             {{1, Verdict::Failed, ErrorCmd::Overwrite, kParametersError},
                              {2, Verdict::Notice, ErrorCmd::Overwrite, "DNC 内存已满，此笔数据复写成功"},
                              {3, Verdict::Short, ErrorCmd::Overwrite, "DNC 内存已满，此笔数据复写失败"},
                              {kAlarm, Verdict::Failed, ErrorCmd::FileDeclaration, kExecutionAlarm}}};
constexpr Outcome kAppend{0, Verdict::Failed, kUnreported, "", false,
                          {{1, Verdict::Failed, ErrorCmd::Append, kParametersError},
                           {2, Verdict::Notice, ErrorCmd::Append, "DNC内存已满，此笔数据追加成功"},
                           {3, Verdict::Short, ErrorCmd::Append, "DNC内存已满，此笔数据追加失败"},
                           {kAlarm, Verdict::Failed, ErrorCmd::FileDeclaration, kExecutionAlarm}}};
// The file steps of the error files, binary files and the oscilloscope: state 1 done.
constexpr Outcome fileStep(int8_t errorCmd, const char* zeroText)
{
    return {1, Verdict::Failed, errorCmd, "", false, {{0, Verdict::Failed, errorCmd, zeroText}}};
}
constexpr Outcome kOpenReadFile = fileStep(ErrorCmd::OpenReadFile, "opening file error.");
constexpr Outcome kCloseReadFile = fileStep(ErrorCmd::FileStep, "closing file error.");
constexpr Outcome kBinaryFile = fileStep(ErrorCmd::FileStep, "onRecCmdBinFile error.");
constexpr Outcome kOscAxis = fileStep(ErrorCmd::FileStep, "SetOscAxis error.");
constexpr Outcome kOscTransfer = fileStep(ErrorCmd::FileStep, "SetOscTransEn error.");
// A piece of the error file whose count does not match its bytes reads as kWrongSizePiece.
constexpr Outcome kFilePiece{0, Verdict::Failed, ErrorCmd::ReadFile, "read file error.(Accept the wrong size)", false, {}};
constexpr Outcome kErrorTextHead{0, Verdict::Failed, ErrorCmd::FileStep, "", false,
                                 {{1, Verdict::Failed, ErrorCmd::FileStep, "onRecCmdBinFile error."}}};
constexpr Outcome kOscPoints{1, Verdict::Keep, kUnreported, "", false,
                             {{0, Verdict::Failed, ErrorCmd::VariableRead, "onRecCmdGetOscPoint error."}}};
// A reply of a code no request has.
constexpr Outcome kUnknown{kNoState, Verdict::Failed, ErrorCmd::UnknownCommand, "unknown command.", false, {}};
} // namespace Outcomes

// The state a piece of the error file reads as when its count does not match its bytes: that of
// a request still in flight.
constexpr int32_t kWrongSizePiece = 2;

// ---- the rows ----
enum class Msg : uint8_t {
    JogVRun, JogVStop, JogVMfo, JogVFast, JogVPara, JogVAxesRun, JogVAxesStop,
    JogPRun, JogPStop, JogPMfo, JogPIsStop, JogPPara, JogPAxesRun, JogPAxesStop, JogPAxesIsStop,
    HomeRunAxis, HomeRunAxes, HomeAxisIsEnd, HomeAxesIsEnd, HomeAxisInProcess, HomeAxesInProcess,
    MpgSelect, MpgAxes, MpgMfo,
    PrgCycleStart, PrgStop, PrgPause, PrgSingleBlock, PrgOptionSkip, PrgMpgTest, PrgMpgTestSimu, EmStop, PrgReset,
    AlarmRead,
    GetBit, SetBit,
    AxisMotion, AxesMotion, ServoAxisSet, ServoAxesSet, ServoAxisGet, ServoAxesGet, AxisCoord, AxesCoord,
    StaticIp,
    BusInit, BusAxisParWr, BusAxisParRd, BusAxisParWrRd, BusAxisParsWrRd, BusAxisParFile, BusAxesParFile,
    BusAxisMisCmd, BusSlaveInfo, BusSlaveAxes, BusSlaveCount, BusIsReady, BusIsTimeOut,
    OscAxis, OscTransfer, OscPoints,
    Watchdog,
    ReadCount, ReadVars, WriteVars, ReadRefused, WriteRefused, FileRefused, StartRefused,
    GetInputs, SetPlcOutputs, SetCncOutputs,
    FileInfo,
    Declare, Append, Overwrite, FileEnd, TransferState, DeclareQuery, CncType,
    Reset, CycleStart,
    RunningKind0, RunningKind1, RunningKind2, RunningKind3, RunningKind4, RunningKind5,
    BinReadOpen, BinRead, BinReRead, BinReadLast,
    BinOpen, BinWrite, BinClose,
    ErrorTextHead, ErrorTextData, ErrorTextLast,
    ErrorFileOpen, ErrorFileRead, ErrorFileClose,
    Unknown, // a reply of a code no row has; never sent
    Count
};

constexpr int16_t kNoSub = -1;
constexpr int16_t kNoRequest = -2; // the row is a reply only: the last piece of a read

struct Message
{
    Msg id;
    const char* name;
    uint8_t code;
    int16_t sub;        // kNoSub: the code carries none
    Ask ask;            // ask.fields null: no request has this row (a reply only)
    Answer answer;
    const Outcome* outcome;
    int16_t alsoFirst = kNoSub; // a reply may also come back with a sub-code in alsoFirst..alsoLast
    int16_t alsoLast = kNoSub;
    int8_t rangeField = -1;     // a field whose value must lie in rangeMin..rangeMax
    int32_t rangeMin = 0;
    int32_t rangeMax = 0;
};

namespace Rows {
using namespace Outcomes;
// n int32 fields, n = 0..6.
constexpr Ask ints(int n) { return {&"iiiiii"[6 - n]}; }
constexpr Ask noRequest() { return {nullptr}; }
constexpr Answer status() { return {Shape::Status}; }
constexpr Answer values(int n) { return {Shape::Values, int8_t(n)}; }
constexpr Answer statusAt(int offset) { return {Shape::StatusAt, int8_t(offset)}; }
constexpr Answer shape(Shape s) { return {s}; }

// The largest variable read and write one request carries.
constexpr int16_t kMaxReadCount = 64;
constexpr int16_t kMaxWritePairs = 31;
// The largest bit groups the exports take (an input group fills a frame).
constexpr int16_t kMaxInputBitWords = 121;
constexpr int16_t kMaxOutputBitWords = 32;

inline constexpr Message kTable[] = {
    {Msg::JogVRun, "jog run", 'r', 0x01, ints(5), status(), &kMachine},
    {Msg::JogVStop, "jog stop", 'r', 0x02, ints(2), status(), &kMachine},
    {Msg::JogVMfo, "jog override", 'r', 0x03, ints(2), status(), &kMachine},
    {Msg::JogVFast, "jog rapid", 'r', 0x04, ints(2), status(), &kMachine},
    {Msg::JogVPara, "jog parameters", 'r', 0x05, ints(5), status(), &kMachine},
    {Msg::JogVAxesRun, "jog axes run", 'r', 0x06, ints(3), status(), &kMachine},
    {Msg::JogVAxesStop, "jog axes stop", 'r', 0x0F, ints(3), status(), &kMachine},
    {Msg::JogPRun, "move run", 'r', 0x07, ints(6), status(), &kMachine},
    {Msg::JogPStop, "move stop", 'r', 0x08, ints(2), status(), &kMachine},
    {Msg::JogPMfo, "move override", 'r', 0x09, ints(2), status(), &kMachine},
    {Msg::JogPIsStop, "move ended", 'r', 0x0A, ints(3), values(1), &kMachine},
    {Msg::JogPPara, "move parameters", 'r', 0x0B, ints(6), status(), &kMachine},
    {Msg::JogPAxesRun, "move axes run", 'r', 0x0C, ints(3), status(), &kMachine},
    {Msg::JogPAxesStop, "move axes stop", 'r', 0x0D, ints(3), status(), &kMachine},
    {Msg::JogPAxesIsStop, "move axes ended", 'r', 0x0E, ints(4), values(2), &kMachine},
    {Msg::HomeRunAxis, "home axis", 'q', 0x01, ints(2), status(), &kMachine},
    {Msg::HomeRunAxes, "home axes", 'q', 0x02, ints(3), values(2), &kMachine},
    {Msg::HomeAxisIsEnd, "axis homed", 'q', 0x03, ints(2), values(1), &kMachine},
    {Msg::HomeAxesIsEnd, "axes homed", 'q', 0x04, ints(3), values(2), &kMachine},
    {Msg::HomeAxisInProcess, "axis homing", 'q', 0x05, ints(2), values(1), &kMachine},
    {Msg::HomeAxesInProcess, "axes homing", 'q', 0x06, ints(3), values(2), &kMachine},
    {Msg::MpgSelect, "handwheel", 'w', 0x01, ints(2), status(), &kMachine},
    {Msg::MpgAxes, "handwheel axes", 'w', 0x02, ints(3), status(), &kMachine},
    {Msg::MpgMfo, "handwheel override", 'w', 0x03, ints(2), status(), &kMachine},
    {Msg::PrgCycleStart, "cycle start", 't', 0x01, ints(1), status(), &kMachine},
    {Msg::PrgStop, "program stop", 't', 0x02, ints(1), status(), &kMachine},
    {Msg::PrgPause, "program pause", 't', 0x03, ints(3), status(), &kMachine},
    {Msg::PrgSingleBlock, "single block", 't', 0x04, ints(2), status(), &kMachine},
    {Msg::PrgOptionSkip, "optional skip", 't', 0x05, ints(2), status(), &kMachine},
    {Msg::PrgMpgTest, "handwheel test", 't', 0x06, ints(2), status(), &kMachine},
    {Msg::PrgMpgTestSimu, "simulated handwheel test", 't', 0x07, ints(2), status(), &kMachine},
    {Msg::EmStop, "emergency stop", 't', 0x08, ints(2), status(), &kMachine},
    {Msg::PrgReset, "program reset", 't', 0x09, ints(1), status(), &kMachine},
    {Msg::AlarmRead, "alarm", 't', 0x0A, ints(1), values(3), &kMachine},
    {Msg::GetBit, "bit read", 'u', 0x01, ints(3), values(1), &kMachine},
    {Msg::SetBit, "bit write", 'u', 0x02, ints(5), status(), &kMachine},
    {Msg::AxisMotion, "axis motion", 'v', 0x01, ints(2), values(1), &kMachine},
    {Msg::AxesMotion, "axes motion", 'v', 0x02, ints(3), values(2), &kMachine},
    {Msg::ServoAxisSet, "servo set", 'v', 0x03, ints(2), status(), &kMachine},
    {Msg::ServoAxesSet, "servos set", 'v', 0x04, ints(4), status(), &kMachine},
    {Msg::ServoAxisGet, "servo", 'v', 0x05, ints(1), values(1), &kMachine},
    {Msg::ServoAxesGet, "servos", 'v', 0x06, ints(2), values(2), &kMachine},
    {Msg::AxisCoord, "coordinate", 'v', 0x07, ints(3), values(1), &kMachine},
    {Msg::AxesCoord, "coordinates", 'v', 0x08, ints(4), shape(Shape::CountedList), &kMachine},
    {Msg::StaticIp, "static address", 0x81, kNoSub, ints(6), status(), &kMachine},
    {Msg::BusInit, "bus init", 0x82, 0x01, ints(0), status(), &kMachine},
    {Msg::BusAxisParWr, "bus parameter write", 0x82, 0x02, ints(5), status(), &kMachine},
    {Msg::BusAxisParRd, "bus parameter read", 0x82, 0x03, ints(4), shape(Shape::ValueStatus), &kMachine},
    {Msg::BusAxisParWrRd, "bus parameter write and read", 0x82, 0x04, ints(5), shape(Shape::ValueStatus), &kMachine},
    {Msg::BusAxisParsWrRd, "bus parameters write and read", 0x82, 0x05, ints(4), status(), &kMachine},
    {Msg::BusAxisParFile, "bus parameter file", 0x82, 0x06, ints(3), status(), &kMachine},
    {Msg::BusAxesParFile, "bus parameter files", 0x82, 0x07, ints(2), status(), &kMachine},
    {Msg::BusAxisMisCmd, "bus axis command", 0x82, 0x08, ints(2), status(), &kMachine},
    {Msg::BusSlaveInfo, "bus slave", 0x82, 0x09, ints(1), status(), &kMachine},
    {Msg::BusSlaveAxes, "bus slave axes", 0x82, 0x0A, ints(0), status(), &kMachine},
    {Msg::BusSlaveCount, "bus slaves", 0x82, 0x0B, ints(0), shape(Shape::ValueStatus), &kMachine},
    {Msg::BusIsReady, "bus ready", 0x82, 0x0C, ints(0), status(), &kMachine},
    {Msg::BusIsTimeOut, "bus time-out", 0x82, 0x0D, ints(0), status(), &kMachine},
    {Msg::OscAxis, "sampling set-up", 'i', 0x01, ints(3), status(), &kOscAxis},
    {Msg::OscTransfer, "sampling transfer", 'i', 0x02, ints(1), status(), &kOscTransfer},
    {Msg::OscPoints, "samples", 'i', 0x03, ints(2), {Shape::CountedList, 60}, &kOscPoints, kNoSub, kNoSub, 1, 1, kMaxReadCount},
    {Msg::Watchdog, "watchdog", 'p', kNoSub, ints(0), status(), &kStateOne},
    {Msg::ReadCount, "variable range read", 'A', kNoSub, ints(2), shape(Shape::Counted), &kPlain},
    {Msg::ReadVars, "variable read", 'B', kNoSub, {"ca", 1, kMaxReadCount, true}, shape(Shape::Counted), &kPlain},
    {Msg::WriteVars, "variable write", 'D', kNoSub, {"cA", 1, kMaxWritePairs, true}, shape(Shape::Ack), &kPlain},
    {Msg::ReadRefused, "variable read refused", 0xC2, kNoSub, noRequest(), shape(Shape::ErrorReply), &kReadRefused},
    {Msg::WriteRefused, "variable write refused", 0xC4, kNoSub, noRequest(), shape(Shape::ErrorReply), &kWriteRefused},
    {Msg::FileRefused, "file transfer refused", 0xE4, kNoSub, noRequest(), shape(Shape::ErrorReply), &kIgnored},
    {Msg::StartRefused, "program start refused", 0xE6, kNoSub, noRequest(), shape(Shape::ErrorReply), &kIgnored},
    {Msg::GetInputs, "input bits", 'x', kNoSub, {"ina", 0, kMaxInputBitWords}, values(2), &kMachine},
    {Msg::SetPlcOutputs, "PLC output bits", 'y', kNoSub, {"inA", 0, kMaxOutputBitWords}, status(), &kMachine},
    {Msg::SetCncOutputs, "CNC output bits", 0x80, kNoSub, {"iniA", 0, kMaxOutputBitWords}, status(), &kMachine},
    {Msg::FileInfo, "file information", 0x84, kNoSub, {"d"}, shape(Shape::StatusText), &kStateOne},
    {Msg::Declare, "file declaration", 'd', 0x01, {"bbt"}, statusAt(4), &kDeclaration},
    {Msg::Append, "append", 'd', 0x02, {"p"}, status(), &kAppend},
    {Msg::Overwrite, "overwrite", 'd', 0x03, {"p"}, status(), &kOverwrite},
    {Msg::FileEnd, "file end", 'd', 0x04, ints(0), shape(Shape::AckAny), &kFileEnd},
    {Msg::TransferState, "transfer state", 'd', 0x05, ints(0), status(), &kIgnored},
    {Msg::DeclareQuery, "file state", 'd', 0x06, {"bbt"}, statusAt(4), &kStateQuery},
    {Msg::CncType, "controller type", 'd', 0x08, {"bb"}, status(), &kFileEnd},
    {Msg::Reset, "reset", 'f', 0x03, {"b"}, statusAt(3), &kReset},
    {Msg::CycleStart, "start by name", 'f', 0x04, {"bt"}, statusAt(3), &kCycleStart},
    {Msg::RunningKind0, "running program 0", 'g', 0x01, {"t"}, shape(Shape::Text), &kPlain},
    {Msg::RunningKind1, "running program 1", 'g', 0x02, {"t"}, shape(Shape::Text), &kPlain},
    {Msg::RunningKind2, "running program 2", 'g', 0x03, {"t"}, shape(Shape::Text), &kPlain},
    {Msg::RunningKind3, "running program 3", 'g', 0x04, {"t"}, shape(Shape::Text), &kPlain},
    {Msg::RunningKind4, "running program", 'g', 0x05, {"t"}, shape(Shape::Text), &kPlain},
    {Msg::RunningKind5, "running program 5", 'g', 0x90, {"t"}, shape(Shape::Text), &kPlain, 0xF0, 0xF0},
    {Msg::BinReadOpen, "readbinOpen==", 'e', 0x01, {"bbd"}, shape(Shape::Logged), &kIgnored},
    {Msg::BinRead, "redbinRead111==", 'e', 0x02, ints(0), shape(Shape::Logged), &kIgnored, 0x02, 0x04},
    {Msg::BinReRead, "redbinReRead222==", 'e', 0x03, ints(0), shape(Shape::Logged), &kIgnored, 0x02, 0x04},
    {Msg::BinReadLast, "redbinLaseRead333==", 'e', 0x04, noRequest(), shape(Shape::Logged), &kIgnored},
    {Msg::BinOpen, "binary file open", 0x83, 0x01, {"id"}, status(), &kBinaryFile},
    {Msg::BinWrite, "binary file write", 0x83, 0x02, {"s"}, status(), &kBinaryFile},
    {Msg::BinClose, "binary file close", 0x83, 0x03, ints(0), status(), &kBinaryFile},
    {Msg::ErrorTextHead, "error text length", 0x85, 0x01, {"bb"}, shape(Shape::StatusData), &kErrorTextHead},
    {Msg::ErrorTextData, "error text", 0x85, 0x02, ints(0), shape(Shape::Data), &kPlain, 0x03, 0x03},
    {Msg::ErrorTextLast, "error text, last piece", 0x85, 0x03, noRequest(), shape(Shape::Data), &kPlain},
    {Msg::ErrorFileOpen, "error file open", 'c', 0x01, {"t"}, status(), &kOpenReadFile},
    {Msg::ErrorFileRead, "error file piece", 'c', 0x02, ints(0), shape(Shape::Piece), &kFilePiece},
    {Msg::ErrorFileClose, "error file close", 'c', 0x03, ints(0), status(), &kCloseReadFile},
    {Msg::Unknown, "unknown reply", 0x00, kNoSub, noRequest(), shape(Shape::Ack), &kUnknown},
};

constexpr bool inOrder()
{
    for (int i = 0; i < int(Msg::Count); ++i) {
        if (int(kTable[i].id) != i)
            return false;
    }
    return sizeof kTable / sizeof kTable[0] == std::size_t(Msg::Count);
}
static_assert(inOrder(), "one row per message, in the order of Msg");
} // namespace Rows

constexpr const Message& row(Msg id) { return Rows::kTable[int(id)]; }

// ---- how an export runs its row ----
enum class Carrier : uint8_t {
    Channel, // the client of the export's channel, checked against the channel count
    Target,  // the target-level client
};

enum RowFlag : uint8_t {
    Collapse = 1,      // every failing reply gives ResultCode::ReplyFailed
    ClearsOutputs = 2, // the outputs' slots read 0 until a reply fills them
    QuietLink = 4,     // a missing link is logged only under LogFlag::Errors
};

// A request field the export checks before anything is sent: outside min..max the call gives 1.
struct RowCheck
{
    int8_t field = -1;
    int32_t min = 0;
    int32_t max = 0;
    const char* label = nullptr; // logged under LogFlag::Errors, with the value
};

struct RowOptions
{
    uint8_t flags = 0;
    RowCheck check = {};
    const char* call = nullptr; // the client's call as the log names it, when not the export's own
};

// Where an output comes from: one of the last three values the client's value-carrying replies
// brought (a reply of n values fills the last n), or a list of the reply's values.
enum Slot : int8_t { V1 = 0, V2 = 1, V3 = 2, List = -1 };

// The client's calls as the log names them, where several exports share one.
constexpr const char* kGetBitCall = "getXBit(long int, long int, long int, long int*)";
constexpr const char* kSetBitCall = "setXBit(long int, long int, long int, long int, long int)";

} // namespace CommandTable

// The version every export carries.
#define ACM_EXPORT_VERSION "ACM_1.0"

// ---- the exports ----
// Every exported function in the public header's order, as an X-macro:
//   GROUP(title)                     a heading of the loader's table
//   HAND(ret, name, params)          written by hand in api/, over the client's own code
//   ROW(name, params, carrier, message, args, outputs, options, log)
//                                    made from its row alone: it returns CncLong, runs `message`
//                                    on the client `carrier` names (Channel: the client of its
//                                    `channel` parameter, checked against the channel count;
//                                    Target: the target client) with the request fields `args`,
//                                    and writes `outputs` from the reply's values
// The tokens of a row are read where the list is expanded: ARGS(fields...) the request's scalar
// fields, .array(entries, paired, count) its array; OUTS(OUT(slot, pointer)...) the outputs,
// slot V1..V3 the last three values a reply brought (a reply of n values fills the last n),
// LIST(count, pointer) a list of the reply's values; OPTS(flags, check, call) with flags
// Collapse (every failure gives 3), ClearsOutputs (the outputs' slots read 0 until a reply
// fills them) and QuietLink (a missing link is logged only with the errors flag), a check
// CHECK(field, min, max, label) of a request field, and the client's call as the log names it
// when it is not the export's own; LOG(signature, items...) the line logged after the call
// (out: the result; PTR(p): a pointer's address), NOLOG for none.
#define ACM_EXPORT_TABLE(GROUP, HAND, ROW) \
    GROUP("targets and connection") \
    HAND(bool, addTargetCnc, (int cncID, int maxDncCh, const char* ip, int asyncMask)) \
    HAND(bool, removeTargetCnc, (int cncID)) \
    HAND(bool, connect, (int cncID)) \
    HAND(bool, disconnect, (int cncID)) \
    HAND(bool, getTcpConnectFlag, (int cncID)) \
    ROW(CheckTcpWdt, (int cncID), Target, Watchdog, ARGS(), OUTS(), OPTS(Collapse), NOLOG) \
    HAND(bool, setErrCallbackFunc, (ErrCallbackFunc callback, int cncID)) \
    HAND(CncLong, getErrorDeb, (CncLong debugFlags, int cncID)) \
    GROUP("controller variables and bits") \
    HAND(CncLong, registerVars, (CncLong* addresses, int count, int cncID)) \
    HAND(CncLong, removeVars, (CncLong* addresses, int count, int cncID)) \
    HAND(CncLong, clearVars, (int cncID)) \
    HAND(CncLong, readVars, (CncLong* addresses, int count, CncLong* values, int cncID)) \
    HAND(CncLong, writeVars, (CncLong* addresses, int count, CncLong* values, int cncID)) \
    HAND(CncLong, registerBits, (CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID)) \
    HAND(CncLong, removeBits, (CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID)) \
    HAND(CncLong, readBits, (CncLong channel, CncLong bitType, CncLong* bits, int count, CncLong* values, int cncID)) \
    GROUP("hand motion, handwheel and homing") \
    ROW(jogMotionV_Run, (CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast, int cncID), \
        Channel, JogVRun, ARGS(channel, axis, feed, isNegDir, isFast), OUTS(), OPTS(), \
        LOG("long int jogMotionV_Run(long int, long int, long int, long int, long int, int)", " tmpChanne=", channel, \
            " cncID=", cncID, " tmpAxis=", axis, " tmpFeed=", feed, "tmpIsNegDir=", isNegDir, "tmpIsFast=", isFast, \
            "cncID=", cncID, "out=", out)) \
    ROW(jogMotionV_Stop, (CncLong channel, CncLong axis, int cncID), Channel, JogVStop, ARGS(channel, axis), OUTS(), OPTS(), \
        LOG("long int jogMotionV_Stop(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpAxis=", \
            axis, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionV_MfoSet, (CncLong channel, CncLong mfo, int cncID), Channel, JogVMfo, ARGS(channel, mfo), OUTS(), OPTS(), \
        LOG("long int jogMotionV_MfoSet(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpMfo=", \
            mfo, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionV_FastOnSet, (CncLong channel, CncLong isFast, int cncID), Channel, JogVFast, ARGS(channel, isFast), \
        OUTS(), OPTS(), \
        LOG("long int jogMotionV_FastOnSet(long int, long int, int)", " tmpChannel=", channel, " tmpIsFast=", isFast, \
            "cncID=", cncID, "out=", out)) \
    ROW(jogMotionV_Para, (CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast, int cncID), \
        Channel, JogVPara, ARGS(channel, axis, feed, isNegDir, isFast), OUTS(), OPTS(), \
        LOG("long int jogMotionV_Para(long int, long int, long int, long int, long int, int)", " tmpChannel=", channel, \
            " tmpAxis=", axis, "tmpFeed==", feed, "tmpIsNegDir==", isNegDir, "tmpIsFast==", isFast, "cncID=", cncID, \
            "out=", out)) \
    ROW(jogMotionV_AxesRun, (CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID), Channel, JogVAxesRun, \
        ARGS(channel, axisHBits, axisLBits), OUTS(), OPTS(), \
        LOG("long int jogMotionV_AxesRun(long int, long int, long int, int)", " tmpChannel=", channel, \
            " tmpAxisHBits=", axisHBits, "tmpAxisLBits==", axisLBits, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionV_AxesStop, (CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID), Channel, JogVAxesStop, \
        ARGS(channel, axisHBits, axisLBits), OUTS(), OPTS(), \
        LOG("long int jogMotionV_AxesStop(long int, long int, long int, int)", " tmpChannel=", channel, \
            " tmpAxisHBits=", axisHBits, " tmpAxisLBits=", axisLBits, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionP_Run, (CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs, CncLong isMecCoord, int cncID), \
        Channel, JogPRun, ARGS(channel, axis, feed, len, isAbs, isMecCoord), OUTS(), OPTS(), \
        LOG("long int jogMotionP_Run(long int, long int, long int, long int, long int, long int, int)", " tmpChanne=", \
            channel, " cncID=", cncID, " tmpAxis=", axis, " tmpFeed=", feed, "tmpLen=", len, "tmpIsAbs=", isAbs, \
            "tmpIsMecCoord=", isMecCoord, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionP_MfoSet, (CncLong channel, CncLong mfo, int cncID), Channel, JogPMfo, ARGS(channel, mfo), OUTS(), OPTS(), \
        LOG("long int jogMotionP_MfoSet(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpMfo=", \
            mfo, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionP_Stop, (CncLong channel, CncLong axis, int cncID), Channel, JogPStop, ARGS(channel, axis), OUTS(), OPTS(), \
        LOG("long int jogMotionP_Stop(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpAxis=", \
            axis, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionP_IsStop, (CncLong channel, CncLong axis, CncLong mode, CncLong* isStop, int cncID), Channel, JogPIsStop, \
        ARGS(channel, axis, mode), OUTS(OUT(V3, isStop)), \
        OPTS(ClearsOutputs, CHECK(), "jogMotionP_MotionIsStop(long int, long int, long int, long int*)"), \
        LOG("long int jogMotionP_IsStop(long int, long int, long int, long int*, int)", " tmpChanne=", channel, \
            " cncID=", cncID, " tmpAxis=", axis, "tmpMode=", mode, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionP_Para, (CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs, CncLong isMecCoord, int cncID), \
        Channel, JogPPara, ARGS(channel, axis, feed, len, isAbs, isMecCoord), OUTS(), OPTS(), \
        LOG("long int jogMotionP_Para(long int, long int, long int, long int, long int, long int, int)", \
            " tmpChannel=", channel, " tmpAxis=", axis, " tmpFeed=", feed, "tmpLen=", len, "tmpIsAb==", isAbs, \
            "tmpIsMecCoord==", isMecCoord, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionP_AxesRun, (CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID), Channel, JogPAxesRun, \
        ARGS(channel, axisHBits, axisLBits), OUTS(), OPTS(), \
        LOG("long int jogMotionP_AxesRun(long int, long int, long int, int)", " tmpChannel=", channel, \
            " tmpAxisHBits=", axisHBits, " tmpAxisLBits=", axisLBits, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionP_AxesStop, (CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID), Channel, JogPAxesStop, \
        ARGS(channel, axisHBits, axisLBits), OUTS(), OPTS(), \
        LOG("long int jogMotionP_AxesStop(long int, long int, long int, int)", " tmpChannel=", channel, \
            " tmpAxisHBits=", axisHBits, " tmpAxisLBits=", axisLBits, "cncID=", cncID, "out=", out)) \
    ROW(jogMotionP_AxesIsStop, (CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong mode, CncLong* stopHBits, \
        CncLong* stopLBits, int cncID), Channel, JogPAxesIsStop, ARGS(channel, axisHBits, axisLBits, mode), \
        OUTS(OUT(V2, stopHBits), OUT(V3, stopLBits)), OPTS(ClearsOutputs), \
        LOG("long int jogMotionP_AxesIsStop(long int, long int, long int, long int, long int*, long int*, int)", \
            " tmpChannel=", channel, "tmpMode==", mode, " tmpAxisHBits=", PTR(stopHBits), " tmpAxisLBits=", \
            PTR(stopLBits), "cncID=", cncID, "out=", out)) \
    ROW(mpgSelection, (CncLong channel, CncLong mpgId, int cncID), Channel, MpgSelect, ARGS(channel, mpgId), OUTS(), OPTS(), \
        LOG("long int mpgSelection(long int, long int, int)", " tmpChannel=", channel, " tmpMpgId=", mpgId, "cncID=", \
            cncID, "out=", out)) \
    ROW(mpgAxesSet, (CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID), Channel, MpgAxes, \
        ARGS(channel, axisHBits, axisLBits), OUTS(), OPTS(), \
        LOG("long int mpgAxesSet(long int, long int, long int, int)", " tmpChannel=", channel, " tmpAxisHBits=", \
            axisHBits, " tmpAxisLBits=", axisLBits, "cncID=", cncID, "out=", out)) \
    ROW(mpgMfoSet, (CncLong channel, CncLong mfo, int cncID), Channel, MpgMfo, ARGS(channel, mfo), OUTS(), OPTS(), \
        LOG("long int mpgMfoSet(long int, long int, int)", " tmpChannel=", channel, " tmpMfo=", mfo, "cncID=", cncID, \
            "out=", out)) \
    ROW(homeRunAxis, (CncLong channel, CncLong axis, int cncID), Channel, HomeRunAxis, ARGS(channel, axis), OUTS(), OPTS(), \
        LOG("long int homeRunAxis(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpAxis=", axis, \
            "cncID=", cncID, "out=", out)) \
    ROW(homeRunAxes, (CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second, int cncID), \
        Channel, HomeRunAxes, ARGS(channel, axisHBits, axisLBits), OUTS(OUT(V2, first), OUT(V3, second)), OPTS(), \
        LOG("long int homeRunAxes(long int, long int, long int, long int*, long int*, int)", " tmpChannel=", channel, \
            " tmpAxisHBits=", axisHBits, " tmpAxisLBits=", axisLBits, "cncID=", cncID, "out=", out)) \
    ROW(homeAxisIsEnd, (CncLong channel, CncLong axis, CncLong* isEnd, int cncID), Channel, HomeAxisIsEnd, \
        ARGS(channel, axis), OUTS(OUT(V3, isEnd)), OPTS(), NOLOG) \
    ROW(homeAxesIsEnd, (CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second, int cncID), \
        Channel, HomeAxesIsEnd, ARGS(channel, axisHBits, axisLBits), OUTS(OUT(V3, first), OUT(V2, second)), OPTS(), NOLOG) \
    ROW(homeAxisIsInProcess, (CncLong channel, CncLong axis, CncLong* inProcess, int cncID), Channel, HomeAxisInProcess, \
        ARGS(channel, axis), OUTS(OUT(V3, inProcess)), OPTS(), \
        LOG("long int homeAxisIsInProcess(long int, long int, long int*, int)", " tmpChannel=", channel, " tmpAxis=", \
            axis, " tmpAxisLBits=", PTR(inProcess), "cncID=", cncID, "out=", out)) \
    ROW(homeAxesIsInProcess, (CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second, \
        int cncID), Channel, HomeAxesInProcess, ARGS(channel, axisHBits, axisLBits), OUTS(OUT(V3, first), OUT(V2, second)), \
        OPTS(), NOLOG) \
    GROUP("program control") \
    ROW(prgCycleStart, (CncLong channel, int cncID), Channel, PrgCycleStart, ARGS(channel), OUTS(), OPTS(), NOLOG) \
    ROW(prgStop, (CncLong channel, int cncID), Channel, PrgStop, ARGS(channel), OUTS(), OPTS(), NOLOG) \
    ROW(prgPause, (CncLong channel, CncLong pauseValue1, CncLong pauseValue2, int cncID), Channel, PrgPause, \
        ARGS(channel, pauseValue1, pauseValue2), OUTS(), OPTS(), NOLOG) \
    ROW(prgSingleBlockSet, (CncLong channel, CncLong on, int cncID), Channel, PrgSingleBlock, ARGS(channel, on), OUTS(), \
        OPTS(), NOLOG) \
    ROW(prgOptionSkipSet, (CncLong channel, CncLong on, int cncID), Channel, PrgOptionSkip, ARGS(channel, on), OUTS(), \
        OPTS(), NOLOG) \
    ROW(prgMpgTestSet, (CncLong channel, CncLong on, int cncID), Channel, PrgMpgTest, ARGS(channel, on), OUTS(), OPTS(), \
        NOLOG) \
    ROW(prgMpgTestSimuSet, (CncLong channel, CncLong on, int cncID), Channel, PrgMpgTestSimu, ARGS(channel, on), OUTS(), \
        OPTS(), NOLOG) \
    ROW(emStopSet, (CncLong channel, CncLong on, int cncID), Channel, EmStop, ARGS(channel, on), OUTS(), OPTS(), NOLOG) \
    ROW(prgReset, (CncLong channel, int cncID), Channel, PrgReset, ARGS(channel), OUTS(), OPTS(), NOLOG) \
    ROW(reset, (CncLong channel, int cncID), Target, Reset, ARGS(channel), OUTS(), \
        OPTS(QuietLink, CHECK(0, 1, 99, " ParError channel=")), \
        LOG("long int reset(long int, int)", " channel=", channel, " cncID=", cncID, " out=", out)) \
    HAND(char*, getRuningPrg, (CncLong channel, int cncID)) \
    GROUP("bits of the controller's I/O tables") \
    ROW(getIBit, (CncLong channel, CncLong index, CncLong* value, int cncID), Channel, GetBit, ARGS(channel, 0, index), \
        OUTS(OUT(V3, value)), OPTS(0, CHECK(), kGetBitCall), NOLOG) \
    ROW(getOBit, (CncLong channel, CncLong index, CncLong* value, int cncID), Channel, GetBit, ARGS(channel, 1, index), \
        OUTS(OUT(V3, value)), OPTS(0, CHECK(), kGetBitCall), NOLOG) \
    ROW(getCBit, (CncLong channel, CncLong index, CncLong* value, int cncID), Channel, GetBit, ARGS(channel, 2, index), \
        OUTS(OUT(V3, value)), OPTS(0, CHECK(), kGetBitCall), NOLOG) \
    ROW(getSBit, (CncLong channel, CncLong index, CncLong* value, int cncID), Channel, GetBit, ARGS(channel, 3, index), \
        OUTS(OUT(V3, value)), OPTS(0, CHECK(), kGetBitCall), NOLOG) \
    ROW(getABit, (CncLong channel, CncLong index, CncLong* value, int cncID), Channel, GetBit, ARGS(channel, 4, index), \
        OUTS(OUT(V3, value)), OPTS(0, CHECK(), kGetBitCall), NOLOG) \
    ROW(setPlcOBit, (CncLong channel, CncLong index, CncLong value, int cncID), Channel, SetBit, \
        ARGS(channel, 0, index, value, 0), OUTS(), OPTS(0, CHECK(), kSetBitCall), NOLOG) \
    ROW(setCncOBit, (CncLong channel, CncLong index, CncLong value, CncLong extra, int cncID), Channel, SetBit, \
        ARGS(channel, 1, index, value, extra), OUTS(), OPTS(0, CHECK(), kSetBitCall), NOLOG) \
    ROW(setCBit, (CncLong channel, CncLong index, CncLong value, int cncID), Channel, SetBit, \
        ARGS(channel, 2, index, value, 0), OUTS(), OPTS(0, CHECK(), kSetBitCall), NOLOG) \
    ROW(setSBit, (CncLong channel, CncLong index, CncLong value, int cncID), Channel, SetBit, \
        ARGS(channel, 3, index, value, 0), OUTS(), OPTS(0, CHECK(), kSetBitCall), NOLOG) \
    ROW(setABit, (CncLong channel, CncLong index, CncLong value, int cncID), Channel, SetBit, \
        ARGS(channel, 4, index, value, 0), OUTS(), OPTS(0, CHECK(), kSetBitCall), NOLOG) \
    ROW(getIbits, (CncLong channel, CncLong* elements, CncLong count, CncLong* first, CncLong* second, int cncID), \
        Channel, GetInputs, ARGS(channel).array(elements, nullptr, count), OUTS(OUT(V2, first), OUT(V3, second)), \
        OPTS(0, CHECK(), "getIbits(long int, long int*, int, long int*, long int*)"), NOLOG) \
    ROW(setPlcObits, (CncLong channel, CncLong* first, CncLong* second, CncLong count, int cncID), Channel, SetPlcOutputs, \
        ARGS(channel).array(first, second, count), OUTS(), \
        OPTS(0, CHECK(), "setPlcObits(long int, long int*, long int*, int)"), NOLOG) \
    ROW(setCncObits, (CncLong channel, CncLong* first, CncLong* second, CncLong count, CncLong extra, int cncID), Channel, \
        SetCncOutputs, ARGS(channel, extra).array(first, second, count), OUTS(), \
        OPTS(0, CHECK(), "setCncObits(long int, long int*, long int*, int, long int)"), NOLOG) \
    GROUP("axes, servo, alarms and network address") \
    ROW(getAxisMotionStatus, (CncLong channel, CncLong axis, CncLong* status, int cncID), Channel, AxisMotion, \
        ARGS(channel, axis), OUTS(OUT(V3, status)), OPTS(), NOLOG) \
    ROW(getAxesMotionStatus, (CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second, \
        int cncID), Channel, AxesMotion, ARGS(channel, axisHBits, axisLBits), OUTS(OUT(V2, first), OUT(V3, second)), OPTS(), \
        NOLOG) \
    ROW(servoOnAxisSet, (CncLong axis, CncLong on, int cncID), Target, ServoAxisSet, ARGS(axis, on), OUTS(), OPTS(), NOLOG) \
    ROW(servoOnAxesSet, (CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong on, int cncID), Target, \
        ServoAxesSet, ARGS(channel, axisHBits, axisLBits, on), OUTS(), OPTS(), NOLOG) \
    ROW(servoOnAxisGet, (CncLong axis, CncLong* value, int cncID), Target, ServoAxisGet, ARGS(axis), OUTS(OUT(V3, value)), \
        OPTS(), NOLOG) \
    ROW(servoOnAxesGet, (CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second, int cncID), Target, \
        ServoAxesGet, ARGS(axisHBits, axisLBits), OUTS(OUT(V2, first), OUT(V3, second)), OPTS(), NOLOG) \
    ROW(getAxisCoord, (CncLong channel, CncLong axis, CncLong coordKind, CncLong* coord, int cncID), Target, AxisCoord, \
        ARGS(channel, axis, coordKind), OUTS(OUT(V3, coord)), OPTS(), NOLOG) \
    ROW(getAxesCoord, (CncLong channel, CncLong value2, CncLong value3, CncLong value4, CncLong count, CncLong* coords, \
        int cncID), Target, AxesCoord, ARGS(channel, value2, value3, value4), OUTS(LIST(count, coords)), \
        OPTS(0, CHECK(), "getAxesCoord(long int, long int, long int, long int, int, long int*)"), NOLOG) \
    ROW(alarmRead, (CncLong channel, CncLong* first, CncLong* second, CncLong* third, int cncID), Target, AlarmRead, \
        ARGS(channel), OUTS(OUT(V1, first), OUT(V2, second), OUT(V3, third)), OPTS(), NOLOG) \
    HAND(CncLong, udpSetCncIp, (const char* ip, int cncID)) \
    ROW(SetCncStaticIp, (CncLong value1, CncLong value2, CncLong value3, CncLong value4, CncLong value5, CncLong value6, \
        int cncID), Target, StaticIp, ARGS(value1, value2, value3, value4, value5, value6), OUTS(), OPTS(), NOLOG) \
    GROUP("controller type") \
    ROW(setCncType, (CncLong type, CncLong channel, int cncID), Channel, CncType, ARGS(type, channel), OUTS(), OPTS(), \
        LOG("long int setCncType(long int, long int, int)", " type=", type, " cncID=", cncID, " channel=", channel)) \
    GROUP("program text transfer") \
    HAND(CncLong, setTransFileType, (CncLong type, CncLong channel, const char* fileName, int cncID)) \
    HAND(CncLong, getTransFileState, (CncLong type, CncLong channel, const char* fileName, int cncID)) \
    HAND(CncLong, overwrite, (const char* text, CncLong channel, int cncID)) \
    HAND(CncLong, append, (const char* text, CncLong channel, int cncID)) \
    HAND(CncLong, fileEnd, (CncLong channel, int cncID)) \
    HAND(CncLong, uploadFile, (CncLong type, CncLong channel, const char* fileName, const char* text, int cncID)) \
    HAND(CncLong, cycStart, (CncLong channel, const char* fileName, int cncID)) \
    GROUP("controller files and error files") \
    HAND(CncLong, getCncFileInf, (CncLong type, CncLong channel, const char* fileName, char* info, int cncID)) \
    HAND(CncLong, writeCncFile, (CncLong type, const char* fileName, const char* content, int cncID)) \
    HAND(char*, getCncCurrentError, (CncLong selector, int cncID)) \
    HAND(CncLong, getCurErrString, (CncLong channel, CncLong value, char* text, int cncID)) \
    GROUP("remote buffer") \
    HAND(AcmRemoteBuffer*, bufOpen, (const char* ip, int mode, int channel)) \
    HAND(CncLong, bufWrite, (AcmRemoteBuffer* buffer, const char* text)) \
    HAND(CncLong, bufClear, (AcmRemoteBuffer* buffer)) \
    HAND(CncLong, bufClose, (AcmRemoteBuffer* buffer)) \
    HAND(CncLong, getBufValidCnt, (AcmRemoteBuffer* buffer)) \
    HAND(CncLong, getBufState, (AcmRemoteBuffer* buffer)) \
    HAND(char*, getBufStateInf, (AcmRemoteBuffer* buffer)) \
    GROUP("FTP uploads") \
    HAND(CncLong, ftpUploadFile, (CncLong type, CncLong channel, const char* sPath, const char* hostIp, int cncID)) \
    HAND(CncLong, ftpUploadFileDes, (const char* source, const char* destination, const char* hostIp, int cncID)) \
    HAND(CncLong, ftpUpdateSystem, (const char* source, const char* hostIp, int cncID)) \
    HAND(CncLong, ftpMkdir, (const char* desPath, const char* hostIp, int cncID)) \
    HAND(double, getFtpUploadFileProgress, (int cncID))

// The exports added after the first release, under a version node of their own: an application
// built against them asks for that node by name, so a library without them is refused at load
// time (the loader header treats them as absent instead). The first table stays as it was.
#define ACM_EXPORT_VERSION_1_1 "ACM_1.1"
#define ACM_EXPORT_TABLE_1_1(GROUP, HAND, ROW) \
    GROUP("per-target timing (" ACM_EXPORT_VERSION_1_1 ")") \
    HAND(CncLong, setReplyTimeout, (CncLong timeoutMs, int cncID)) \
    HAND(CncLong, setPollInterval, (CncLong intervalMs, int cncID))
