// The request builders: each one a row of the command table with the caller's arguments.
#include "VProtocol_Client.h"
#include "FrameMode.h"
#include "TextField.h"

using CommandCodec::Args;
using CommandTable::Msg;

namespace {

constexpr int kProgramTextLimit = 480;

// The declaration's file type byte.
uint8_t fileTypeByte(int32_t fileType)
{
    switch (fileType) {
    case 1: return 0x01;
    case 2: return 0x03;
    case 3: return 0x04;
    case 17: return 0x11;
    default: return 0x05;
    }
}

// The text's sendable bytes, counted one past the limit so a longer text is refused.
int32_t textLength(const char* text)
{
    return int32_t(TextField::sendableLength(text, kProgramTextLimit + 1));
}

// Names and data of the binary file requests go as their whole UTF-8 form: cutting it at the
// number of characters would drop the end of any text that is not plain ASCII.
Args withBytes(Args args, const QByteArray& bytes)
{
    args.data(bytes.constData(), bytes.size());
    return args;
}

} // namespace

int32_t VProtocol_Client::request(Msg id, const Args& args)
{
    return CommandCodec::build(sendBuf, kFrameBufferSize, frameMode, id, args);
}

// ---- fixed-layout requests ----
int32_t VProtocol_Client::CmdJogMotionV_Run(int32_t ch, int32_t axis, int32_t feed, int32_t neg, int32_t fast) { return request(Msg::JogVRun, {ch, axis, feed, neg, fast}); }
int32_t VProtocol_Client::CmdJogMotionV_Stop(int32_t ch, int32_t axis) { return request(Msg::JogVStop, {ch, axis}); }
int32_t VProtocol_Client::CmdJogMotionV_MfoSet(int32_t ch, int32_t mfo) { return request(Msg::JogVMfo, {ch, mfo}); }
int32_t VProtocol_Client::CmdJogMotionV_FastOnSet(int32_t ch, int32_t fast) { return request(Msg::JogVFast, {ch, fast}); }
int32_t VProtocol_Client::CmdJogMotionV_Para(int32_t ch, int32_t axis, int32_t feed, int32_t neg, int32_t fast) { return request(Msg::JogVPara, {ch, axis, feed, neg, fast}); }
int32_t VProtocol_Client::CmdJogMotionV_AxesRun(int32_t ch, int32_t h, int32_t l) { return request(Msg::JogVAxesRun, {ch, h, l}); }
int32_t VProtocol_Client::CmdJogMotionV_AxesStop(int32_t ch, int32_t h, int32_t l) { return request(Msg::JogVAxesStop, {ch, h, l}); }
int32_t VProtocol_Client::CmdJogMotionP_Run(int32_t ch, int32_t axis, int32_t feed, int32_t len, int32_t abs, int32_t mec) { return request(Msg::JogPRun, {ch, axis, feed, len, abs, mec}); }
int32_t VProtocol_Client::CmdJogMotionP_Stop(int32_t ch, int32_t axis) { return request(Msg::JogPStop, {ch, axis}); }
int32_t VProtocol_Client::CmdJogMotionP_MfoSet(int32_t ch, int32_t mfo) { return request(Msg::JogPMfo, {ch, mfo}); }
int32_t VProtocol_Client::CmdJogMotionP_MotionIsStop(int32_t ch, int32_t axis, int32_t mode) { return request(Msg::JogPIsStop, {ch, axis, mode}); }
int32_t VProtocol_Client::CmdJogMotionP_Para(int32_t ch, int32_t axis, int32_t feed, int32_t len, int32_t abs, int32_t mec) { return request(Msg::JogPPara, {ch, axis, feed, len, abs, mec}); }
int32_t VProtocol_Client::CmdJogMotionP_AxesRun(int32_t ch, int32_t h, int32_t l) { return request(Msg::JogPAxesRun, {ch, h, l}); }
int32_t VProtocol_Client::CmdJogMotionP_AxesStop(int32_t ch, int32_t h, int32_t l) { return request(Msg::JogPAxesStop, {ch, h, l}); }
int32_t VProtocol_Client::CmdJogMotionP_AxesIsStop(int32_t ch, int32_t h, int32_t l, int32_t mode) { return request(Msg::JogPAxesIsStop, {ch, h, l, mode}); }
int32_t VProtocol_Client::CmdHomeRunAxis(int32_t ch, int32_t axis) { return request(Msg::HomeRunAxis, {ch, axis}); }
int32_t VProtocol_Client::CmdHomeRunAxes(int32_t ch, int32_t h, int32_t l) { return request(Msg::HomeRunAxes, {ch, h, l}); }
int32_t VProtocol_Client::CmdHomeAxisIsEnd(int32_t ch, int32_t axis) { return request(Msg::HomeAxisIsEnd, {ch, axis}); }
int32_t VProtocol_Client::CmdHomeAxesIsEnd(int32_t ch, int32_t h, int32_t l) { return request(Msg::HomeAxesIsEnd, {ch, h, l}); }
int32_t VProtocol_Client::CmdHomeAxisIsInProcess(int32_t ch, int32_t axis) { return request(Msg::HomeAxisInProcess, {ch, axis}); }
int32_t VProtocol_Client::CmdHomeAxesIsInProcess(int32_t ch, int32_t h, int32_t l) { return request(Msg::HomeAxesInProcess, {ch, h, l}); }
int32_t VProtocol_Client::CmdMpgSelection(int32_t ch, int32_t id) { return request(Msg::MpgSelect, {ch, id}); }
int32_t VProtocol_Client::CmdMpgAxesSet(int32_t ch, int32_t h, int32_t l) { return request(Msg::MpgAxes, {ch, h, l}); }
int32_t VProtocol_Client::CmdMpgMfoSet(int32_t ch, int32_t mfo) { return request(Msg::MpgMfo, {ch, mfo}); }
int32_t VProtocol_Client::CmdPrgCycleStart(int32_t ch) { return request(Msg::PrgCycleStart, {ch}); }
int32_t VProtocol_Client::CmdPrgStop(int32_t ch) { return request(Msg::PrgStop, {ch}); }
int32_t VProtocol_Client::CmdPrgPause(int32_t ch, int32_t a2, int32_t a3) { return request(Msg::PrgPause, {ch, a2, a3}); }
int32_t VProtocol_Client::CmdPrgSingleBlockSet(int32_t ch, int32_t v) { return request(Msg::PrgSingleBlock, {ch, v}); }
int32_t VProtocol_Client::CmdPrgOptionSkipSet(int32_t ch, int32_t v) { return request(Msg::PrgOptionSkip, {ch, v}); }
int32_t VProtocol_Client::CmdPrgMpgTestSet(int32_t ch, int32_t v) { return request(Msg::PrgMpgTest, {ch, v}); }
int32_t VProtocol_Client::CmdPrgMpgTestSimuSet(int32_t ch, int32_t v) { return request(Msg::PrgMpgTestSimu, {ch, v}); }
int32_t VProtocol_Client::CmdEmStopSet(int32_t ch, int32_t v) { return request(Msg::EmStop, {ch, v}); }
int32_t VProtocol_Client::CmdPrgReset(int32_t ch) { return request(Msg::PrgReset, {ch}); }
int32_t VProtocol_Client::CmdAlarmRead(int32_t ch) { return request(Msg::AlarmRead, {ch}); }
int32_t VProtocol_Client::CmdGetXBit(int32_t ch, int32_t kind, int32_t index) { return request(Msg::GetBit, {ch, kind, index}); }
int32_t VProtocol_Client::CmdSetXBit(int32_t ch, int32_t kind, int32_t index, int32_t value, int32_t extra) { return request(Msg::SetBit, {ch, kind, index, value, extra}); }
int32_t VProtocol_Client::CmdGetAxisMotionStatus(int32_t ch, int32_t axis) { return request(Msg::AxisMotion, {ch, axis}); }
int32_t VProtocol_Client::CmdGetAxesMotionStatus(int32_t ch, int32_t h, int32_t l) { return request(Msg::AxesMotion, {ch, h, l}); }
int32_t VProtocol_Client::CmdServoOnAxisSet(int32_t a1, int32_t a2) { return request(Msg::ServoAxisSet, {a1, a2}); }
int32_t VProtocol_Client::CmdServoOnAxesSet(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return request(Msg::ServoAxesSet, {a1, a2, a3, a4}); }
int32_t VProtocol_Client::CmdServoOnAxisGet(int32_t a1) { return request(Msg::ServoAxisGet, {a1}); }
int32_t VProtocol_Client::CmdServoOnAxesGet(int32_t a1, int32_t a2) { return request(Msg::ServoAxesGet, {a1, a2}); }
int32_t VProtocol_Client::CmdGetAxisCoord(int32_t a1, int32_t a2, int32_t a3) { return request(Msg::AxisCoord, {a1, a2, a3}); }
int32_t VProtocol_Client::CmdGetAxesCoord(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return request(Msg::AxesCoord, {a1, a2, a3, a4}); }
int32_t VProtocol_Client::CmdSetCncStaticIp(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6) { return request(Msg::StaticIp, {a1, a2, a3, a4, a5, a6}); }
int32_t VProtocol_Client::CmdBusParameterInit() { return request(Msg::BusInit, {}); }
int32_t VProtocol_Client::CmdBusAxisParameterWr(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) { return request(Msg::BusAxisParWr, {a1, a2, a3, a4, a5}); }
int32_t VProtocol_Client::CmdBusAxisParameterRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return request(Msg::BusAxisParRd, {a1, a2, a3, a4}); }
int32_t VProtocol_Client::CmdBusAxisParameterWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) { return request(Msg::BusAxisParWrRd, {a1, a2, a3, a4, a5}); }
int32_t VProtocol_Client::CmdBusAxisParametersWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return request(Msg::BusAxisParsWrRd, {a1, a2, a3, a4}); }
int32_t VProtocol_Client::CmdBusAxisParameterFileLS(int32_t a1, int32_t a2, int32_t a3) { return request(Msg::BusAxisParFile, {a1, a2, a3}); }
int32_t VProtocol_Client::CmdBusAxesParameterFileLS(int32_t a1, int32_t a2) { return request(Msg::BusAxesParFile, {a1, a2}); }
int32_t VProtocol_Client::CmdBusAxisMisCmdRun(int32_t a1, int32_t a2) { return request(Msg::BusAxisMisCmd, {a1, a2}); }
int32_t VProtocol_Client::CmdBusGetSlvInfo(int32_t a1) { return request(Msg::BusSlaveInfo, {a1}); }
int32_t VProtocol_Client::CmdBusGetSlvHardAxisList() { return request(Msg::BusSlaveAxes, {}); }
int32_t VProtocol_Client::CmdBusGetSlvNum() { return request(Msg::BusSlaveCount, {}); }
int32_t VProtocol_Client::CmdBusIsReady() { return request(Msg::BusIsReady, {}); }
int32_t VProtocol_Client::CmdBusIsTimeOut() { return request(Msg::BusIsTimeOut, {}); }
int32_t VProtocol_Client::CmdSetOscAxis(int32_t ch, int32_t axis, int32_t type) { return request(Msg::OscAxis, {ch, axis, type}); }
int32_t VProtocol_Client::CmdSetOscTransEn(int32_t v) { return request(Msg::OscTransfer, {v}); }
int32_t VProtocol_Client::CmdCheckTcpWdt() { return request(Msg::Watchdog, {}); }
int32_t VProtocol_Client::CmdReadCountVars(int32_t start, int32_t count) { return request(Msg::ReadCount, {start, count}); }
int32_t VProtocol_Client::CmdFileEnd() { return request(Msg::FileEnd, {}); }
int32_t VProtocol_Client::CmdBinFileClose() { return request(Msg::BinClose, {}); }
int32_t VProtocol_Client::CmdBinFileRead() { return request(Msg::BinRead, {}); }
int32_t VProtocol_Client::CmdBinFileReRead() { return request(Msg::BinReRead, {}); }
int32_t VProtocol_Client::CmdGetCurErrStringData() { return request(Msg::ErrorTextData, {}); }
int32_t VProtocol_Client::CmdGetCncCurrentErrorRead() { return request(Msg::ErrorFileRead, {}); }
int32_t VProtocol_Client::CmdGetCncCurrentErrorClose() { return request(Msg::ErrorFileClose, {}); }

// ---- variables, bit arrays, oscilloscope ----
int32_t VProtocol_Client::CmdReadVars(const int32_t* addresses, int32_t count) { return request(Msg::ReadVars, Args().array(addresses, nullptr, count)); }
int32_t VProtocol_Client::CmdWriteVars(const int32_t* addresses, const int32_t* values, int32_t count) { return request(Msg::WriteVars, Args().array(addresses, values, count)); }
int32_t VProtocol_Client::CmdGetIbits(int32_t ch, const int32_t* elements, int32_t count) { return request(Msg::GetInputs, Args{ch}.array(elements, nullptr, count)); }
int32_t VProtocol_Client::CmdSetPlcObits(int32_t ch, const int32_t* first, const int32_t* second, int32_t count) { return request(Msg::SetPlcOutputs, Args{ch}.array(first, second, count)); }
int32_t VProtocol_Client::CmdSetCncObits(int32_t ch, const int32_t* first, const int32_t* second, int32_t count, int32_t extra) { return request(Msg::SetCncOutputs, Args{ch, extra}.array(first, second, count)); }
int32_t VProtocol_Client::CmdGetOscPoint(int32_t ch, int32_t count) { return request(Msg::OscPoints, {ch, count}); }

// ---- program text, program start, controller state ----
int32_t VProtocol_Client::CmdSetTransFileType(int32_t ch, int32_t fileType, const char* fileName, bool query)
{
    return request(query ? Msg::DeclareQuery : Msg::Declare, Args{ch, fileTypeByte(fileType)}.data(fileName, 0));
}

int32_t VProtocol_Client::CmdAppend(const char* text) { return text ? CmdAppendBytes(text, textLength(text)) : 0; }
int32_t VProtocol_Client::CmdOverwrite(const char* text) { return text ? CmdOverwriteBytes(text, textLength(text)) : 0; }
int32_t VProtocol_Client::CmdAppendBytes(const char* data, int32_t length) { return request(Msg::Append, Args().data(data, length)); }
int32_t VProtocol_Client::CmdOverwriteBytes(const char* data, int32_t length) { return request(Msg::Overwrite, Args().data(data, length)); }
int32_t VProtocol_Client::CmdTransFileState() { return request(Msg::TransferState, {}); }
int32_t VProtocol_Client::CmdSetCncType(int32_t type, int32_t ch) { return request(Msg::CncType, {type, ch}); }
int32_t VProtocol_Client::CmdReset(int32_t ch) { return request(Msg::Reset, {ch}); }
int32_t VProtocol_Client::CmdCycStart(int32_t ch, const char* programName) { return request(Msg::CycleStart, Args{ch}.data(programName, 0)); }

int32_t VProtocol_Client::CmdGetRuningPrg(int32_t kind, const char* name)
{
    static const Msg byKind[] = {Msg::RunningKind0, Msg::RunningKind1, Msg::RunningKind2,
                                 Msg::RunningKind3, Msg::RunningKind4, Msg::RunningKind5};
    if (kind < 0 || kind > 5)
        return 0;
    return request(byKind[kind], Args().data(name, 0));
}

// ---- binary files, file information, error files ----
int32_t VProtocol_Client::CmdBinFileOpen(int32_t number, const QString& fileName) { return request(Msg::BinOpen, withBytes({number}, fileName.toUtf8())); }
int32_t VProtocol_Client::CmdBinFileWrite(const QString& data) { return request(Msg::BinWrite, withBytes({}, data.toUtf8())); }

int32_t VProtocol_Client::CmdBinFileReadOpen(int32_t first, int32_t second, const QString& fileName)
{
    return request(Msg::BinReadOpen, withBytes({first, second}, fileName.toUtf8()));
}

int32_t VProtocol_Client::CmdGetCncFileInf(const QString& path) { return request(Msg::FileInfo, withBytes({}, path.toLatin1())); }
int32_t VProtocol_Client::CmdGetCurErrString(int32_t first, int32_t second) { return request(Msg::ErrorTextHead, {first, second}); }
int32_t VProtocol_Client::CmdGetCncCurrentErrorOpen(const char* fileName) { return fileName ? request(Msg::ErrorFileOpen, Args().data(fileName, 0)) : 0; }
