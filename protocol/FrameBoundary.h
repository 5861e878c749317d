#pragma once
#include <cstdint>

// Where one frame ends in a byte stream. The readers on both sides collect bytes until
// these say a frame is complete, so a frame split over several reads is never cut, and a
// frame is only ever cut where no longer frame can follow: at the TCP length field, or,
// on a serial line, where the frame's layout ends. A layout of unknown length (text, data)
// ends where its check sum passes and the line then stays quiet.
namespace FrameBoundary {

enum class Verdict {
    NeedMore,          // not complete yet
    Complete,          // length is the frame
    CompleteWhenQuiet, // length is the frame unless more bytes follow soon
    Broken,            // can never become a frame that fits its buffer (kLongestReply, kLongestRequest)
};

struct Cut
{
    Verdict verdict;
    int length;
};

Cut reply(int frameMode, const uint8_t* data, int length);
Cut request(int frameMode, const uint8_t* data, int length);

} // namespace FrameBoundary
