#include "FrameBoundary.h"
#include "Checksum.h"
#include "FrameMode.h"
#include "WireFields.h"

namespace {

int tcpLength(const uint8_t* data, int length)
{
    if (length < 6)
        return 0;
    const int total = WireFields::getUInt16(data + 4) + 6;
    return length >= total ? total : 0;
}

// Smallest prefix of at least minimum bytes whose last two bytes are the CRC-16 of the rest.
int crcLength(const uint8_t* data, int length, int minimum)
{
    for (int k = minimum; k <= length; ++k) {
        const uint16_t crc = Checksum::crc16(data, static_cast<uint16_t>(k - 2));
        if (WireFields::getUInt16(data + k - 2) == crc)
            return k;
    }
    return 0;
}

// A ':' reply ends in its LRC and a line feed; an LF inside the payload does not end it.
int lrcLength(const uint8_t* data, int length)
{
    for (int k = 4; k <= length; ++k) {
        if (data[k - 1] != 0x0A)
            continue;
        if (Checksum::lrc(data + 1, static_cast<uint16_t>(k - 3)) == data[k - 2])
            return k;
    }
    return 0;
}

}

namespace FrameBoundary {

int requestLength(int frameMode, const uint8_t* data, int length)
{
    switch (frameMode) {
    case FrameTcp:
        return tcpLength(data, length);
    case FrameSerialStation:
        return crcLength(data, length, 4);
    case FrameSerialColon:
        return crcLength(data, length, 5);
    default:
        return 0;
    }
}

int replyLength(int frameMode, const uint8_t* data, int length)
{
    switch (frameMode) {
    case FrameTcp:
        return tcpLength(data, length);
    case FrameSerialStation:
        return crcLength(data, length, 4);
    case FrameSerialColon:
        return lrcLength(data, length);
    default:
        return 0;
    }
}

}
