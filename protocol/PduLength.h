#pragma once
#include <cstdint>

// Length of a protocol data unit (command code, sub-code and fields) from its layout, for the
// framings that carry no length field. A serial frame can only be cut where its layout says
// it ends: a check sum that happens to pass over a shorter prefix proves nothing.
namespace PduLength {

// More bytes are needed before the length is known.
constexpr int kNeedMore = 0;
// The layout does not fix the length (text, data): the frame ends where the line falls quiet.
constexpr int kVariable = -1;

// Length of the reply PDU starting at pdu, given the available bytes of it.
int reply(const uint8_t* pdu, int available);
// Length of the request PDU starting at pdu, given the available bytes of it.
int request(const uint8_t* pdu, int available);

} // namespace PduLength
