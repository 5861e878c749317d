#pragma once
#include "CommandCodec.h"
#include "FuzzInput.h"

// Decodes an exact copy of a frame and reads everything the reply holds, as the client does:
// reads past a frame show up under the address sanitizer.
inline CommandCodec::Reply touchReply(const uint8_t* frame, int size, int mode)
{
    const auto copy = exactCopy(frame, size);
    const CommandCodec::Reply r = CommandCodec::decode(copy.get(), size, mode);
    volatile int64_t sink = r.state;
    for (int32_t v : r.values)
        sink = sink + v;
    for (char c : r.bytes)
        sink = sink + c;
    return r;
}
