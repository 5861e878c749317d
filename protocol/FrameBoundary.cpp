#include "FrameBoundary.h"

#include "Checksum.h"
#include "FrameMode.h"
#include "PduLength.h"
#include "WireFields.h"

namespace FrameBoundary {

namespace {

constexpr int kTcpHeader = 7;

Cut needMore() { return {Verdict::NeedMore, 0}; }

// The TCP header's length field decides; a frame too long for the buffer is refused at once
// instead of being waited for.
Cut tcp(const uint8_t* data, int length)
{
    if (length < 6)
        return needMore();
    const int total = WireFields::getUInt16(data + 4) + 6;
    if (total >= kFrameBufferSize || total <= kTcpHeader)
        return {Verdict::Broken, 0};
    return length >= total ? Cut{Verdict::Complete, total} : needMore();
}

bool crcPasses(const uint8_t* data, int length)
{
    if (length < 4)
        return false;
    return WireFields::getUInt16(data + length - 2) == Checksum::crc16(data, uint16_t(length - 2));
}

// ':' replies end in the LRC over station byte and PDU, then a line feed.
bool lrcPasses(const uint8_t* data, int length)
{
    if (length < 4 || data[length - 1] != 0x0A)
        return false;
    return Checksum::lrc(data + 1, uint16_t(length - 3)) == data[length - 2];
}

// prefix: bytes before the PDU; trailer: bytes after it.
Cut serial(const uint8_t* data, int length, int prefix, int trailer, int pduLength, bool (*passes)(const uint8_t*, int))
{
    if (pduLength == PduLength::kNeedMore)
        return needMore();
    if (pduLength == PduLength::kVariable) {
        if (length >= kFrameBufferSize)
            return {Verdict::Broken, 0};
        return passes(data, length) ? Cut{Verdict::CompleteWhenQuiet, length} : needMore();
    }
    const int total = prefix + pduLength + trailer;
    if (total >= kFrameBufferSize)
        return {Verdict::Broken, 0};
    return length >= total ? Cut{Verdict::Complete, total} : needMore();
}

} // namespace

Cut reply(int frameMode, const uint8_t* data, int length)
{
    switch (frameMode) {
    case FrameTcp:
        return tcp(data, length);
    case FrameSerialStation:
        return serial(data, length, 1, 2, PduLength::reply(data + 1, length - 1), crcPasses);
    case FrameSerialColon:
        return serial(data, length, 2, 2, PduLength::reply(data + 2, length - 2), lrcPasses);
    default:
        return {Verdict::Broken, 0};
    }
}

Cut request(int frameMode, const uint8_t* data, int length)
{
    switch (frameMode) {
    case FrameTcp:
        return tcp(data, length);
    case FrameSerialStation:
        return serial(data, length, 1, 2, PduLength::request(data + 1, length - 1), crcPasses);
    case FrameSerialColon:
        return serial(data, length, 2, 2, PduLength::request(data + 2, length - 2), crcPasses);
    default:
        return {Verdict::Broken, 0};
    }
}

} // namespace FrameBoundary
