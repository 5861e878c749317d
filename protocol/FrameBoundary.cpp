#include "FrameBoundary.h"

#include "Checksum.h"
#include "FrameMode.h"
#include "PduLength.h"
#include "WireFields.h"

namespace FrameBoundary {

namespace {

constexpr int kTcpHeader = 7;

Cut needMore() { return {Verdict::NeedMore, 0}; }

// The TCP header's length field decides; a frame longer than longest is refused at once
// instead of being waited for.
Cut tcp(const uint8_t* data, int length, int longest)
{
    if (length < 6)
        return needMore();
    const int total = WireFields::getUInt16(data + 4) + 6;
    if (total > longest || total <= kTcpHeader)
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

// The bytes around a serial PDU and the longest frame allowed.
struct SerialShape
{
    int prefix;  // before the PDU
    int trailer; // after it
    int longest;
    bool (*passes)(const uint8_t*, int);
};

Cut serial(const uint8_t* data, int length, const SerialShape& shape, int pduLength)
{
    if (pduLength == PduLength::kNeedMore)
        return needMore();
    if (pduLength == PduLength::kVariable) {
        if (length > shape.longest)
            return {Verdict::Broken, 0};
        return shape.passes(data, length) ? Cut{Verdict::CompleteWhenQuiet, length} : needMore();
    }
    const int total = shape.prefix + pduLength + shape.trailer;
    if (total > shape.longest)
        return {Verdict::Broken, 0};
    return length >= total ? Cut{Verdict::Complete, total} : needMore();
}

} // namespace

Cut reply(int frameMode, const uint8_t* data, int length)
{
    switch (frameMode) {
    case FrameTcp:
        return tcp(data, length, kLongestReply);
    case FrameSerialStation:
        return serial(data, length, {1, 2, kLongestReply, crcPasses}, PduLength::reply(data + 1, length - 1));
    case FrameSerialColon:
        return serial(data, length, {2, 2, kLongestReply, lrcPasses}, PduLength::reply(data + 2, length - 2));
    default:
        return {Verdict::Broken, 0};
    }
}

Cut request(int frameMode, const uint8_t* data, int length)
{
    switch (frameMode) {
    case FrameTcp:
        return tcp(data, length, kLongestRequest);
    case FrameSerialStation:
        return serial(data, length, {1, 2, kLongestRequest, crcPasses}, PduLength::request(data + 1, length - 1));
    case FrameSerialColon:
        return serial(data, length, {2, 2, kLongestRequest, crcPasses}, PduLength::request(data + 2, length - 2));
    default:
        return {Verdict::Broken, 0};
    }
}

} // namespace FrameBoundary
