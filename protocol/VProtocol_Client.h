#pragma once
#include "CommandCodec.h"

#include <cstdint>
#include <QByteArray>
#include <QString>

// Codec of the controller's command protocol: request builders write one frame
// into sendBuf and return its length (0 = rejected); analysisReciveBuffer parses
// one reply in recvBuf and calls at most one reply callback. No I/O happens here.
class VProtocol_Client
{
public:
    VProtocol_Client(uint8_t* sendBuffer = nullptr, uint8_t* recvBuffer = nullptr, int mode = 0);
    virtual ~VProtocol_Client();

    // ---- state, in declaration order ----
    uint8_t* sendBuf = nullptr;
    uint8_t* recvBuf = nullptr;
    int32_t frameMode = 0;
    int32_t maxReadCount = 64;
    int32_t maxWritePairs = 31;
    int32_t headerLen = 7;
    int32_t replyStatus = 0;

    // Switches framing; frameMode and headerLen always change together.
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

    // ---- receive side ----
    int32_t analysisReciveBuffer(int32_t n);

    // ---- reply callbacks, in slot order (2 ... 39); no-ops here ----
    virtual void onRecCmdReadVars(int32_t failed, const int32_t* values, int32_t count);
    virtual void onReciveCmdGetFileTransState(int32_t status);
    virtual void onReciveCmdSetFileInf(int32_t status);
    virtual void onReciveCmdOverWriteTxt(int32_t status);
    virtual void onReciveCmdAppendTxt(int32_t status);
    virtual void onReciveCmdFileEnd(int32_t status);
    virtual void onReciveCmdTransFileState(int32_t status);
    virtual void onRecCmdWriteVars(int32_t failed);
    virtual void onReciveCmdReset(int32_t status);
    virtual void onReciveCmdCycStart(int32_t status);
    virtual void onRecCmdGetCncString(int32_t kind, const char* text);
    virtual void onRecCmdOpenReadFile(int32_t status);
    virtual void onRecCmdReadFile(const uint8_t* data, int32_t frameLength);
    virtual void onRecCmdCloseReadFile(int32_t status);
    virtual void onRecCmdBinFile(int32_t status);
    virtual void onRecCmdErrorInf(int32_t status, QByteArray bytes);
    virtual void onRecCmdErrorData(QByteArray bytes);
    virtual void onRecCmdSetOscAxis(int32_t status);
    virtual void onRecCmdSetOscTransEn(int32_t status);
    virtual void onRecCmdGetOscPoint(int32_t status, int32_t count, const int32_t* values);
    virtual void onRecCmdCheckTcpWdt(int32_t status);
    virtual void onRecCmdJogMotionV_Run(int32_t status);
    virtual void onRecCmdJogMotionV_Stop(int32_t status);
    virtual void onRecCmdJogMotionV_MfoSet(int32_t status);
    virtual void onRecCmdJogMotionP_Run(int32_t status);
    virtual void onRecCmdJogMotionP_MfoSet(int32_t status);
    virtual void onRecCmdJogMotionP_Stop(int32_t status);
    virtual void onRecCmdJogMotionP_IsStop(int32_t status, const int32_t* values);
    virtual void onRecCmdHomeRunAxis(int32_t status);
    virtual void onRecCmdHomeAxes(int32_t status, int32_t count, const int32_t* values);
    virtual void onRecCmdValues(int32_t status, int32_t count, const int32_t* values);
    virtual void onRecCmdStatusS(int32_t status);
    virtual void onRecCmdStatus(int32_t status);
    virtual void onRecCmdAlarmRead(int32_t status, int32_t count, const int32_t* values);
    virtual void onRecCmdGetAxesCoord(int32_t status, int32_t count, const int32_t* values);
    virtual void onRecCmdGetCncFileInf(int32_t status, const char* text);
    virtual void onRecCmdUnknown();

private:
    void dispatch(const CommandCodec::Reply& reply, int32_t length);
    void dispatchOthers(const CommandCodec::Reply& reply);
};
