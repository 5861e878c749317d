#pragma once
#include "VProtocol_Client.h"
#include "WireCodeTable.h"

// A codec with its own buffers, in any framing.
struct Codec : VProtocol_Client {
    uint8_t out[500] = {};
    uint8_t in[500] = {};
    explicit Codec(int mode = 0) { sendBuf = out; recvBuf = in; setFrameMode(mode); }
    Bytes frame(int32_t n) const { return Bytes(out, out + n); }
};
