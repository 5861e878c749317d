#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

// Literal frame pieces for the codec tests.
using Bytes = std::vector<uint8_t>;

inline Bytes le(int32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(uint32_t(v) >> 24)}; }

inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes r;
    for (const Bytes& p : parts)
        r.insert(r.end(), p.begin(), p.end());
    return r;
}
