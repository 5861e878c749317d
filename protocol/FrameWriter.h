#pragma once
#include <cstdint>

// Writes one frame of any framing into a caller's buffer: prefix, command code,
// fields, then the framing's trailer. Every write is bounded by the buffer; a
// frame that would not fit makes finish*() return 0, like a rejected argument.
class FrameWriter
{
public:
    FrameWriter(uint8_t* buffer, int capacity, int frameMode);

    // Writes the framing's prefix and the command code.
    FrameWriter& code(uint8_t commandCode);
    FrameWriter& byte(int32_t value);               // low 8 bits
    FrameWriter& int32(int32_t value);              // little-endian
    // Text up to the first byte that is 0 or has its top bit set, at most limit bytes.
    FrameWriter& text(const char* text, int limit);
    FrameWriter& bytes(const uint8_t* data, int length);

    // Request trailer: TCP header, or CRC-16 in both serial framings. Returns n or 0.
    int finishRequest();
    // Reply trailer: TCP header, CRC-16 (mode 1), or LRC and line feed (mode 2). Returns n or 0.
    int finishReply();

    int length() const { return m_pos; }
    bool overflowed() const { return m_overflow; }

private:
    bool reserve(int count);
    int finishTcp();

    uint8_t* m_buf;
    int m_capacity;
    int m_mode;
    int m_pos = 0;
    bool m_overflow = false;
};
