#pragma once
#include <cstdint>

// Little-endian field helpers; every integer on the wire uses this order.
namespace WireFields {
inline void putInt32(uint8_t* p, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    p[0] = uint8_t(u);
    p[1] = uint8_t(u >> 8);
    p[2] = uint8_t(u >> 16);
    p[3] = uint8_t(u >> 24);
}
inline int32_t getInt32(const uint8_t* p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}
inline void putUInt16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline uint16_t getUInt16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
}
