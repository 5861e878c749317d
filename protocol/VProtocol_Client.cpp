#include "VProtocol_Client.h"
#include "VariableAddress.h"
#include "FrameMode.h"

VProtocol_Client::VProtocol_Client(uint8_t* sendBuffer, uint8_t* recvBuffer, int mode)
    : sendBuf(sendBuffer), recvBuf(recvBuffer)
{
    setFrameMode(mode);
    maxReadCount = mode == FrameTcp ? 64 : 63;
}

VProtocol_Client::~VProtocol_Client() = default;

void VProtocol_Client::setFrameMode(int32_t mode)
{
    frameMode = (mode == FrameSerialStation || mode == FrameSerialColon) ? mode : FrameTcp;
    headerLen = headerLenForMode(frameMode);
}

bool VProtocol_Client::isValidVarAddress(int32_t address)
{
    return VariableAddress::isValid(address);
}

void VProtocol_Client::onRecCmdReadVars(int32_t, const int32_t*, int32_t) {}
void VProtocol_Client::onReciveCmdGetFileTransState(int32_t) {}
void VProtocol_Client::onReciveCmdSetFileInf(int32_t) {}
void VProtocol_Client::onReciveCmdOverWriteTxt(int32_t) {}
void VProtocol_Client::onReciveCmdAppendTxt(int32_t) {}
void VProtocol_Client::onReciveCmdFileEnd(int32_t) {}
void VProtocol_Client::onReciveCmdTransFileState(int32_t) {}
void VProtocol_Client::onRecCmdWriteVars(int32_t) {}
void VProtocol_Client::onReciveCmdReset(int32_t) {}
void VProtocol_Client::onReciveCmdCycStart(int32_t) {}
void VProtocol_Client::onRecCmdGetCncString(int32_t, const char*) {}
void VProtocol_Client::onRecCmdOpenReadFile(int32_t) {}
void VProtocol_Client::onRecCmdReadFile(const uint8_t*, int32_t) {}
void VProtocol_Client::onRecCmdCloseReadFile(int32_t) {}
void VProtocol_Client::onRecCmdBinFile(int32_t) {}
void VProtocol_Client::onRecCmdErrorInf(int32_t, QByteArray) {}
void VProtocol_Client::onRecCmdErrorData(QByteArray) {}
void VProtocol_Client::onRecCmdSetOscAxis(int32_t) {}
void VProtocol_Client::onRecCmdSetOscTransEn(int32_t) {}
void VProtocol_Client::onRecCmdGetOscPoint(int32_t, int32_t, const int32_t*) {}
void VProtocol_Client::onRecCmdCheckTcpWdt(int32_t) {}
void VProtocol_Client::onRecCmdJogMotionV_Run(int32_t) {}
void VProtocol_Client::onRecCmdJogMotionV_Stop(int32_t) {}
void VProtocol_Client::onRecCmdJogMotionV_MfoSet(int32_t) {}
void VProtocol_Client::onRecCmdJogMotionP_Run(int32_t) {}
void VProtocol_Client::onRecCmdJogMotionP_MfoSet(int32_t) {}
void VProtocol_Client::onRecCmdJogMotionP_Stop(int32_t) {}
void VProtocol_Client::onRecCmdJogMotionP_IsStop(int32_t, const int32_t*) {}
void VProtocol_Client::onRecCmdHomeRunAxis(int32_t) {}
void VProtocol_Client::onRecCmdHomeAxes(int32_t, int32_t, const int32_t*) {}
void VProtocol_Client::onRecCmdValues(int32_t, int32_t, const int32_t*) {}
void VProtocol_Client::onRecCmdStatusS(int32_t) {}
void VProtocol_Client::onRecCmdStatus(int32_t) {}
void VProtocol_Client::onRecCmdAlarmRead(int32_t, int32_t, const int32_t*) {}
void VProtocol_Client::onRecCmdGetAxesCoord(int32_t, int32_t, const int32_t*) {}
void VProtocol_Client::onRecCmdGetCncFileInf(int32_t, const char*) {}
void VProtocol_Client::onRecCmdUnknown() {}
