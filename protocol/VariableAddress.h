#pragma once
#include <cstdint>

// Controller variables: area * 1000000 + index, area 0..16, index 0..169999.
namespace VariableAddress {

inline bool isValid(int32_t address)
{
    return static_cast<uint32_t>(address) <= 16999999u && address % 1000000 <= 169999;
}

} // namespace VariableAddress
