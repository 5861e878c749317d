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
    int8_t count = 0; // Values: how many; StatusAt: the state's offset from the code
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
constexpr Ask ints(int n) { return {"iiiiii" + (6 - n)}; }
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
    {Msg::OscPoints, "samples", 'i', 0x03, ints(2), shape(Shape::CountedList), &kOscPoints, kNoSub, kNoSub, 1, 1, kMaxReadCount},
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

} // namespace CommandTable
