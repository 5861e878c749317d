#pragma once
#include <cstdint>

// Check sums of the serial framings; the simulator uses the same ones.
namespace Checksum {
// CRC-16 with polynomial 0xA001 (reflected), register starting at 0xFFFF, no final XOR.
uint16_t crc16(const uint8_t* data, uint16_t count);
// Two's complement of the byte sum, so that sum(data) + lrc == 0 (mod 256).
uint8_t lrc(const uint8_t* data, uint16_t count);
}
