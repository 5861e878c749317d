#pragma once
#include "CommandCodec.h"

#include <cstdint>
#include <QByteArray>
#include <QString>

// The request builders by name: each writes one frame of its command table row into sendBuf,
// in the codec's framing, and returns its length (0: the arguments cannot be sent). Replies are
// decoded by CommandCodec::decode. No I/O happens here.
class VProtocol_Client
{
public:
    explicit VProtocol_Client(uint8_t* sendBuffer = nullptr, int mode = 0);

    uint8_t* sendBuf = nullptr; // kFrameBufferSize bytes, the caller's
    int32_t frameMode = 0;

    void setFrameMode(int32_t mode);

    static bool isValidVarAddress(int32_t address);

    // The request of row id into sendBuf, in this codec's framing: its length, or 0.
    int32_t request(CommandTable::Msg id, const CommandCodec::Args& args);

    // ---- motion, program and machine requests ----
    int32_t CmdJogMotionV_Run(int32_t channel, int32_t axis, int32_t feed, int32_t isNegDir, int32_t isFast);
    int32_t CmdJogMotionV_Stop(int32_t channel, int32_t axis);
    int32_t CmdJogMotionV_MfoSet(int32_t channel, int32_t mfo);
    int32_t CmdJogMotionV_FastOnSet(int32_t channel, int32_t isFast);
    int32_t CmdJogMotionV_Para(int32_t channel, int32_t axis, int32_t feed, int32_t isNegDir, int32_t isFast);
    int32_t CmdJogMotionV_AxesRun(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdJogMotionV_AxesStop(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdJogMotionP_Run(int32_t channel, int32_t axis, int32_t feed, int32_t len, int32_t isAbs, int32_t isMecCoord);
    int32_t CmdJogMotionP_Stop(int32_t channel, int32_t axis);
    int32_t CmdJogMotionP_MfoSet(int32_t channel, int32_t mfo);
    int32_t CmdJogMotionP_MotionIsStop(int32_t channel, int32_t axis, int32_t mode);
    int32_t CmdJogMotionP_Para(int32_t channel, int32_t axis, int32_t feed, int32_t len, int32_t isAbs, int32_t isMecCoord);
    int32_t CmdJogMotionP_AxesRun(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdJogMotionP_AxesStop(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdJogMotionP_AxesIsStop(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t mode);
    int32_t CmdHomeRunAxis(int32_t channel, int32_t axis);
    int32_t CmdHomeRunAxes(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdHomeAxisIsEnd(int32_t channel, int32_t axis);
    int32_t CmdHomeAxesIsEnd(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdHomeAxisIsInProcess(int32_t channel, int32_t axis);
    int32_t CmdHomeAxesIsInProcess(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdMpgSelection(int32_t channel, int32_t mpgId);
    int32_t CmdMpgAxesSet(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdMpgMfoSet(int32_t channel, int32_t mfo);
    int32_t CmdPrgCycleStart(int32_t channel);
    int32_t CmdPrgStop(int32_t channel);
    int32_t CmdPrgPause(int32_t channel, int32_t arg2, int32_t arg3);
    int32_t CmdPrgSingleBlockSet(int32_t channel, int32_t value);
    int32_t CmdPrgOptionSkipSet(int32_t channel, int32_t value);
    int32_t CmdPrgMpgTestSet(int32_t channel, int32_t value);
    int32_t CmdPrgMpgTestSimuSet(int32_t channel, int32_t value);
    int32_t CmdEmStopSet(int32_t channel, int32_t value);
    int32_t CmdPrgReset(int32_t channel);
    int32_t CmdAlarmRead(int32_t channel);
    int32_t CmdGetXBit(int32_t channel, int32_t bitKind, int32_t index);
    int32_t CmdSetXBit(int32_t channel, int32_t bitKind, int32_t index, int32_t value, int32_t extra);
    int32_t CmdGetAxisMotionStatus(int32_t channel, int32_t axis);
    int32_t CmdGetAxesMotionStatus(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t CmdServoOnAxisSet(int32_t a1, int32_t a2);
    int32_t CmdServoOnAxesSet(int32_t a1, int32_t a2, int32_t a3, int32_t a4);
    int32_t CmdServoOnAxisGet(int32_t a1);
    int32_t CmdServoOnAxesGet(int32_t a1, int32_t a2);
    int32_t CmdGetAxisCoord(int32_t a1, int32_t a2, int32_t a3);
    int32_t CmdGetAxesCoord(int32_t a1, int32_t a2, int32_t a3, int32_t a4);
    int32_t CmdSetCncStaticIp(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6);
    int32_t CmdBusParameterInit();
    int32_t CmdBusAxisParameterWr(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
    int32_t CmdBusAxisParameterRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4);
    int32_t CmdBusAxisParameterWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
    int32_t CmdBusAxisParametersWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4);
    int32_t CmdBusAxisParameterFileLS(int32_t a1, int32_t a2, int32_t a3);
    int32_t CmdBusAxesParameterFileLS(int32_t a1, int32_t a2);
    int32_t CmdBusAxisMisCmdRun(int32_t a1, int32_t a2);
    int32_t CmdBusGetSlvInfo(int32_t a1);
    int32_t CmdBusGetSlvHardAxisList();
    int32_t CmdBusGetSlvNum();
    int32_t CmdBusIsReady();
    int32_t CmdBusIsTimeOut();
    int32_t CmdSetOscAxis(int32_t channel, int32_t axis, int32_t type);
    int32_t CmdSetOscTransEn(int32_t value);
    int32_t CmdCheckTcpWdt();

    // ---- variables, bit arrays, oscilloscope ----
    int32_t CmdReadCountVars(int32_t startAddress, int32_t count);           // 'A', two int32
    int32_t CmdReadVars(const int32_t* addresses, int32_t count);            // 'B', the variable poll
    int32_t CmdWriteVars(const int32_t* addresses, const int32_t* values, int32_t count); // 'D'
    int32_t CmdGetIbits(int32_t channel, const int32_t* elements, int32_t count);
    int32_t CmdSetPlcObits(int32_t channel, const int32_t* first, const int32_t* second, int32_t count);
    int32_t CmdSetCncObits(int32_t channel, const int32_t* first, const int32_t* second, int32_t count, int32_t extra);
    int32_t CmdGetOscPoint(int32_t channel, int32_t count);

    // ---- program text, program start, controller state ----
    int32_t CmdSetTransFileType(int32_t channel, int32_t fileType, const char* fileName, bool query);
    int32_t CmdAppend(const char* text);
    int32_t CmdOverwrite(const char* text);
    int32_t CmdAppendBytes(const char* data, int32_t length);
    int32_t CmdOverwriteBytes(const char* data, int32_t length);
    int32_t CmdFileEnd();
    int32_t CmdTransFileState();
    int32_t CmdSetCncType(int32_t type, int32_t channel);
    int32_t CmdReset(int32_t channel);
    int32_t CmdCycStart(int32_t channel, const char* programName);
    int32_t CmdGetRuningPrg(int32_t kind, const char* name);

    // ---- binary files, file information, error files ----
    int32_t CmdBinFileOpen(int32_t number, const QString& fileName);
    int32_t CmdBinFileWrite(const QString& data);
    int32_t CmdBinFileClose();
    int32_t CmdBinFileReadOpen(int32_t first, int32_t second, const QString& fileName);
    int32_t CmdBinFileRead();
    int32_t CmdBinFileReRead();
    int32_t CmdGetCncFileInf(const QString& path);
    int32_t CmdGetCurErrString(int32_t first, int32_t second);
    int32_t CmdGetCurErrStringData();
    int32_t CmdGetCncCurrentErrorOpen(const char* fileName);
    int32_t CmdGetCncCurrentErrorRead();
    int32_t CmdGetCncCurrentErrorClose();
};
