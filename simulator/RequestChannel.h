#pragma once
#include <QByteArray>

#include <cstdint>
#include <optional>

// The channel a request frame (TCP framing) addresses, for scripts that pick one channel's
// requests. Motion, program, bit and oscilloscope requests carry it as their first int32;
// the program transfer, reset, start and running-program requests as a byte.
class RequestChannel
{
public:
    // Whether some request of this code (and sub-code; -1 any) carries a channel.
    static bool carried(uint8_t code, int sub);
    // The channel of this request; none when its kind carries none or the frame is too short.
    static std::optional<int32_t> of(const QByteArray& request);
};
