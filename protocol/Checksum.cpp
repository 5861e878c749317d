#include "Checksum.h"

namespace Checksum {

uint16_t crc16(const uint8_t* data, uint16_t count)
{
    uint16_t reg = 0xFFFF;
    for (uint16_t i = 0; i < count; ++i) {
        reg ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool out = reg & 1u;
            reg >>= 1;
            if (out)
                reg ^= 0xA001;
        }
    }
    return reg;
}

uint8_t lrc(const uint8_t* data, uint16_t count)
{
    uint8_t sum = 0;
    for (uint16_t i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + data[i]);
    return static_cast<uint8_t>(-sum);
}

}
