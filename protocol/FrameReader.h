#pragma once
#include <cstdint>
#include <QByteArray>

// Bounded field access to one received frame. Offsets are absolute (from the
// frame's first byte); every read is checked against the frame's payload end,
// which excludes the serial trailer, so a short frame can never make a reader
// look past what was received.
class FrameReader
{
public:
    FrameReader(const uint8_t* frame, int length, int frameMode);

    int headerLen() const { return m_headerLen; }
    int payloadEnd() const { return m_end; }
    bool has(int offset, int size) const { return offset >= 0 && size >= 0 && offset + size <= m_end; }

    // Callers check has() first; out-of-range reads give 0.
    uint8_t byteAt(int offset) const;
    int32_t signedByteAt(int offset) const;
    int32_t int32At(int offset) const;
    // Bytes from offset to the payload end (empty when offset is past it).
    QByteArray tail(int offset) const;
    const uint8_t* data() const { return m_frame; }

private:
    const uint8_t* m_frame;
    int m_headerLen;
    int m_end;
};
