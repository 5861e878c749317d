#pragma once
#include "VProtocol_Client.h"
#include "WireCodeTable.h"

// A codec with its own buffers, in any framing.
struct Codec : VProtocol_Client {
    uint8_t out[500] = {};
    explicit Codec(int mode = 0) : VProtocol_Client(out, mode) {}
    Bytes frame(int32_t n) const { return Bytes(out, out + n); }
};
