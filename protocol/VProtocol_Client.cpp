#include "VProtocol_Client.h"
#include "VariableAddress.h"
#include "FrameMode.h"

VProtocol_Client::VProtocol_Client(uint8_t* sendBuffer, int mode)
    : sendBuf(sendBuffer)
{
    setFrameMode(mode);
}

void VProtocol_Client::setFrameMode(int32_t mode)
{
    frameMode = (mode == FrameSerialStation || mode == FrameSerialColon) ? mode : FrameTcp;
}

bool VProtocol_Client::isValidVarAddress(int32_t address)
{
    return VariableAddress::isValid(address);
}
