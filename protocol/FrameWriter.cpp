#include "FrameWriter.h"
#include "Checksum.h"
#include "FrameMode.h"
#include "TextField.h"
#include "WireFields.h"

FrameWriter::FrameWriter(uint8_t* buffer, int capacity, int frameMode)
    : m_buf(buffer), m_capacity(buffer ? capacity : 0), m_mode(frameMode)
{
}

bool FrameWriter::reserve(int count)
{
    if (m_overflow || count < 0 || m_pos + count > m_capacity) {
        m_overflow = true;
        return false;
    }
    return true;
}

FrameWriter& FrameWriter::code(uint8_t commandCode)
{
    m_pos = 0;
    const int h = headerLenForMode(m_mode);
    if (!reserve(h + 1))
        return *this;
    for (int i = 0; i < h; ++i)
        m_buf[i] = 0;
    if (m_mode == FrameSerialStation) {
        m_buf[0] = 0x01;
    } else if (m_mode == FrameSerialColon) {
        m_buf[0] = ':';
        m_buf[1] = 0x01;
    }
    m_pos = h;
    m_buf[m_pos++] = commandCode;
    return *this;
}

FrameWriter& FrameWriter::byte(int32_t value)
{
    if (reserve(1))
        m_buf[m_pos++] = static_cast<uint8_t>(value);
    return *this;
}

FrameWriter& FrameWriter::int32(int32_t value)
{
    if (reserve(4)) {
        WireFields::putInt32(m_buf + m_pos, value);
        m_pos += 4;
    }
    return *this;
}

FrameWriter& FrameWriter::text(const char* text, int limit)
{
    if (!text)
        return *this;
    for (int i = 0; i < limit && !TextField::endsText(text[i]); ++i)
        byte(text[i]);
    return *this;
}

FrameWriter& FrameWriter::bytes(const uint8_t* data, int length)
{
    if (length <= 0 || !data)
        return *this;
    if (reserve(length)) {
        for (int i = 0; i < length; ++i)
            m_buf[m_pos + i] = data[i];
        m_pos += length;
    }
    return *this;
}

int FrameWriter::finishTcp()
{
    if (m_overflow || m_pos < 8 - 1)
        return 0;
    for (int i = 0; i < 4; ++i)
        m_buf[i] = 0;
    WireFields::putUInt16(m_buf + 4, static_cast<uint16_t>(m_pos - 6));
    m_buf[6] = 0;
    return m_pos;
}

int FrameWriter::finishRequest()
{
    if (m_mode == FrameTcp)
        return finishTcp();
    if (!reserve(2))
        return 0;
    WireFields::putUInt16(m_buf + m_pos, Checksum::crc16(m_buf, static_cast<uint16_t>(m_pos)));
    m_pos += 2;
    return m_pos;
}

int FrameWriter::finishReply()
{
    if (m_mode != FrameSerialColon)
        return finishRequest();
    if (!reserve(2))
        return 0;
    m_buf[m_pos] = Checksum::lrc(m_buf + 1, static_cast<uint16_t>(m_pos - 1));
    m_buf[m_pos + 1] = 0x0A;
    m_pos += 2;
    return m_pos;
}
