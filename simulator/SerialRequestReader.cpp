#include "SerialRequestReader.h"

#include "Checksum.h"
#include "FrameBoundary.h"
#include "FrameMode.h"
#include "WireFields.h"

SerialRequestReader::SerialRequestReader(int frameMode) : m_mode(frameMode) {}

void SerialRequestReader::append(const QByteArray& bytes)
{
    m_pending += bytes;
}

QList<QByteArray> SerialRequestReader::take(bool quietNow, bool* waitForQuiet)
{
    using FrameBoundary::Verdict;
    const char leadIn = m_mode == FrameSerialColon ? ':' : char(0x01);
    QList<QByteArray> frames;
    *waitForQuiet = false;
    for (;;) {
        const int at = m_pending.indexOf(leadIn); // skip noise before a frame
        m_pending.remove(0, at < 0 ? m_pending.size() : at);
        if (m_pending.isEmpty())
            return frames;
        const auto* data = reinterpret_cast<const uint8_t*>(m_pending.constData());
        const FrameBoundary::Cut cut = FrameBoundary::request(m_mode, data, m_pending.size());
        if (cut.verdict == Verdict::NeedMore)
            break;
        if (cut.verdict == Verdict::CompleteWhenQuiet && !quietNow) {
            *waitForQuiet = true;
            return frames;
        }
        const QByteArray frame = m_pending.left(cut.length);
        if (cut.verdict == Verdict::Broken || !checksumPasses(frame)) {
            m_pending.remove(0, 1); // not a frame at this lead-in: look for the next one
            continue;
        }
        m_pending.remove(0, cut.length);
        frames << frame;
        quietNow = false; // the quiet gap was after the bytes of this frame, not of the next
    }
    if (m_pending.size() > kFrameBufferSize) // garbage that never forms a frame
        m_pending.clear();
    return frames;
}

bool SerialRequestReader::checksumPasses(const QByteArray& frame) const
{
    const auto* data = reinterpret_cast<const uint8_t*>(frame.constData());
    const int n = frame.size();
    return n >= 4 && WireFields::getUInt16(data + n - 2) == Checksum::crc16(data, uint16_t(n - 2));
}
