#pragma once
#include <cstdint>

// The numbers the library hands to the application: result codes, the errorCmd values
// of error reports, and the bits of the debug flags.

namespace ResultCode {
constexpr int32_t Success = 0;              // answered without failure, or queued
constexpr int32_t ArgumentOutOfRange = 1;   // unknown target, bad channel, a method's own check
constexpr int32_t ReplyFailed = 3;          // a reply failed, for the calls that collapse failures
constexpr int32_t QueueFull = 4;            // the command queue holds two frames already
constexpr int32_t TransferStalled = 5;      // a program text transfer stopped: the controller kept refusing
                                            // a full block, or the command queue stayed full
constexpr int32_t NeedsAsyncMode = 6;       // bit registration on a synchronous client
constexpr int32_t NotConnected = 7;         // the link is not up
constexpr int32_t UdpPortNotBound = 10;     // the address-setting port could not be bound
constexpr int32_t RestartTransfer = 12;     // the link was renewed since the file declaration, so the
                                            // controller no longer holds it: nothing sent, declare again
constexpr int32_t ControllerFailure = 100;  // state 0 of the file, watchdog and sampling replies
constexpr int32_t ParametersRejected = 101; // state 1: "parameters error."
constexpr int32_t RefusedWhileRunning = 102;
constexpr int32_t MemoryFullOrNoFile = 103;
constexpr int32_t NoValidReply = 111;       // nothing, or nothing that answered the request, in time
constexpr int32_t ExecutionAlarm = 200;     // state 100 of the transfer replies

// A failing reply's state s becomes 100 + s.
constexpr int32_t fromState(int32_t state) { return ControllerFailure + state; }
} // namespace ResultCode

// Results of single operations on controller files, error texts and samples.
namespace ResultCode {
constexpr int32_t FileOpenFailed = 100;      // writeCncFile: the open failed; nothing else was sent
constexpr int32_t FileWriteFailed = 101;     // writeCncFile: a piece failed; no close was sent
constexpr int32_t FileCloseFailed = 102;     // writeCncFile: the close failed
constexpr int32_t ErrorTextHeadFailed = 112; // getCurErrString: the length request failed
constexpr int32_t ErrorTextDataFailed = 113; // getCurErrString: a text request failed or brought nothing
// Status characters of getCncCurrentError besides the result codes above.
constexpr int32_t ErrorFileNotReady = 8;     // the controller did not prepare the file in time
constexpr int32_t ErrorFileBadSelector = 9;  // the selector names no channel 0..8
} // namespace ResultCode

// Caller buffers that the exports fill without being told their size (the error text of
// getCurErrString, the file information of getCncFileInf): the call writes at most this many
// bytes, the text's bytes and then a terminating 0, so a caller's buffer of this size is
// always enough. A longer text is cut to the first TextBytes - 1 bytes.
namespace CallerBuffer {
constexpr int32_t TextBytes = 1024;
} // namespace CallerBuffer

// Reply states with a meaning of their own.
namespace ControllerState {
constexpr int32_t ExecutionAlarm = 100; // the transfer and file replies: the controller raised an alarm
constexpr int32_t RefusedHere = -1;     // a report no reply gave: the library refused the call itself
} // namespace ControllerState

// Which reply an error report comes from.
namespace ErrorCmd {
constexpr int32_t VariableRead = 0; // also the oscilloscope points
constexpr int32_t FileDeclaration = 1; // also the execution alarm of overwrite and append
constexpr int32_t Overwrite = 2;
constexpr int32_t Append = 3;
constexpr int32_t FileEnd = 4; // also the controller type
constexpr int32_t VariableWrite = 6;
constexpr int32_t Reset = 7;
constexpr int32_t CycleStart = 8;
constexpr int32_t UnknownCommand = 9;
constexpr int32_t OpenReadFile = 11;
constexpr int32_t ReadFile = 12;
constexpr int32_t FileStep = 13; // close, binary file, error information, oscilloscope set-up
constexpr int32_t FtpList = 20; // an FTP list stopped on a failure; the state is the failed command's type
} // namespace ErrorCmd

// Bits of a client's logFlags.
namespace LogFlag {
constexpr int32_t Errors = 1;   // command, parameter and reply error lines
constexpr int32_t Progress = 2; // connection changes and per-transfer lines
} // namespace LogFlag
