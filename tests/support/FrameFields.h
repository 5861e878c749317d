#pragma once
// Reading the fields of request frames the simulator received (TCP framing: code at 7,
// sub-code at 8) and making raw reply frames for scripts.
#include "TestSupport.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

inline int32_t int32At(const QByteArray& frame, int offset)
{
    const auto* p = reinterpret_cast<const uint8_t*>(frame.constData()) + offset;
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

inline QByteArray le32(int32_t v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((uint32_t(v) >> (8 * i)) & 0xFF);
    return b;
}

// TCP frame around a PDU.
inline QByteArray tcpFrame(const QByteArray& pdu)
{
    QByteArray f(7, '\0');
    f[4] = char((pdu.size() + 1) & 0xFF);
    f[5] = char((pdu.size() + 1) >> 8);
    return f + pdu;
}

inline std::vector<QByteArray> framesWith(SimulatedController& sim, uint8_t code, int sub)
{
    std::vector<QByteArray> out;
    for (const QByteArray& f : framesWithCode(sim, code))
        if (f.size() > 8 && uint8_t(f[8]) == sub)
            out.push_back(f);
    return out;
}

// A script that answers with these bytes, times times (-1: always).
inline ReplyScript rawReply(const QByteArray& bytes, int times = 1)
{
    ReplyScript s = scriptOf(ReplyScript::Raw, 0, 0, times);
    s.raw = bytes;
    return s;
}

// Bytes 1, 2, ... 255, 1, ...: no 0 byte, so a C string holds them all.
inline QByteArray countingBytes(int size)
{
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b.append(char(1 + i % 255));
    return b;
}
