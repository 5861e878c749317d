#include "FrameReader.h"
#include "FrameMode.h"
#include "WireFields.h"

FrameReader::FrameReader(const uint8_t* frame, int length, int frameMode)
    : m_frame(frame), m_headerLen(headerLenForMode(frameMode))
{
    const int trailer = frameMode == FrameTcp ? 0 : 2;
    m_end = length - trailer;
    if (m_end < 0 || !frame)
        m_end = 0;
}

uint8_t FrameReader::byteAt(int offset) const
{
    return has(offset, 1) ? m_frame[offset] : 0;
}

int32_t FrameReader::signedByteAt(int offset) const
{
    return static_cast<int8_t>(byteAt(offset));
}

int32_t FrameReader::int32At(int offset) const
{
    return has(offset, 4) ? WireFields::getInt32(m_frame + offset) : 0;
}

QByteArray FrameReader::tail(int offset) const
{
    if (offset < 0 || offset >= m_end)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(m_frame + offset), m_end - offset);
}
