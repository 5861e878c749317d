#pragma once
#include <cstdint>

// Where one frame ends in a byte stream. The readers on both sides collect
// bytes until these say a frame is complete, so a reply or request split over
// several reads is never cut.
namespace FrameBoundary {
// Length of the complete request at the start of data, or 0 while more bytes are needed.
int requestLength(int frameMode, const uint8_t* data, int length);
// Length of the complete reply at the start of data, or 0 while more bytes are needed.
int replyLength(int frameMode, const uint8_t* data, int length);
}
