#pragma once
#include <cstdint>

// Whether a complete reply frame answers a request frame of the same framing. A reply echoes
// its request's command code and sub-code (a few replies carry a sub-code of their own), or
// carries the code + 0x80 as an error reply. A reply of another known kind answers some other
// request (a late one, or a confused controller's) and must not be taken for this one. A frame
// too short to show its kind, or of a kind no request has, is garbage: it is handed on, so the
// parser rejects it.
namespace ReplyMatch {

bool answers(int frameMode, const uint8_t* request, int requestLength, const uint8_t* reply, int replyLength);

} // namespace ReplyMatch
