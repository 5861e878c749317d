#include "PduLength.h"

#include "WireFields.h"

#include <algorithm>

namespace PduLength {

namespace {

int countedValues(const uint8_t* pdu, int available, int countAt)
{
    if (available <= countAt)
        return kNeedMore;
    const int count = std::max(0, int(int8_t(pdu[countAt])));
    return countAt + 1 + 4 * count;
}

// An int32 count at countAt followed by that many entries of entrySize bytes.
int int32Counted(const uint8_t* pdu, int available, int countAt, int entrySize)
{
    if (available < countAt + 4)
        return kNeedMore;
    const int64_t count = std::max<int32_t>(0, WireFields::getInt32(pdu + countAt));
    // A count that cannot fit any frame still gives a finite length, which the reader refuses.
    return int(std::min<int64_t>(countAt + 4 + count * entrySize, 1 << 20));
}

// Returned for codes whose replies carry a sub-code.
constexpr int kHasSubCode = -2;

int replyWithoutSub(uint8_t code, const uint8_t* pdu, int available)
{
    switch (code) {
    case 'A': case 'B': return countedValues(pdu, available, 1);
    case 'D': case 0xC2: case 0xC4: case 0xE4: case 0xE6: return 1;
    case 'p': case 'y': case 0x80: case 0x81: return 2;
    case 'x': return 10;
    case 0x84: return kVariable; // status and text
    default: return kHasSubCode;
    }
}

int replyWithSub(uint8_t code, int sub, const uint8_t* pdu, int available)
{
    switch (code) {
    case 'c':
        if (sub == 1 || sub == 3) return 3;
        if (sub == 2) return available < 3 ? kNeedMore : 3 + std::max(0, int(int8_t(pdu[2])));
        return kVariable;
    case 'd':
        if (sub == 1 || sub == 6) return 5;
        if (sub == 2 || sub == 3 || sub == 5 || sub == 8) return 3;
        return kVariable; // the file-end reply is taken whatever it holds
    case 'f': return (sub >= 3 && sub <= 5) ? 4 : kVariable;
    case 'i':
        if (sub == 1 || sub == 2) return 3;
        if (sub == 3) return countedValues(pdu, available, 3);
        return kVariable;
    case 'q':
        if (sub == 1) return 3;
        if (sub == 2 || sub == 4 || sub == 6) return 11;
        if (sub == 3 || sub == 5) return 7;
        return kVariable;
    case 'r':
        if (sub == 10) return 7;
        if (sub == 14) return 11;
        return (sub >= 1 && sub <= 15) ? 3 : kVariable;
    case 's':
        if (sub == 1) return 7;
        if (sub == 2) return 11;
        return (sub == 3 || sub == 4) ? 3 : kVariable;
    case 't':
        if (sub == 10) return 15;
        return (sub >= 1 && sub <= 9) ? 3 : kVariable;
    case 'u':
        if (sub == 1) return 7;
        return sub == 2 ? 3 : kVariable;
    case 'v':
        if (sub == 1 || sub == 5 || sub == 7) return 7;
        if (sub == 2 || sub == 6) return 11;
        if (sub == 3 || sub == 4) return 3;
        if (sub == 8) return countedValues(pdu, available, 3);
        return kVariable;
    case 'w': return (sub >= 1 && sub <= 3) ? 3 : kVariable;
    case 0x82:
        if (sub == 3 || sub == 4 || sub == 11) return 6;
        return (sub >= 1 && sub <= 13) ? 3 : kVariable;
    case 0x83: return (sub >= 1 && sub <= 3) ? 3 : kVariable;
    default: return kVariable; // text, data, or a code this library never sends
    }
}

int requestWithSub(uint8_t code, int sub, const uint8_t* pdu, int available)
{
    // Most requests are the code, the sub-code and a fixed number of int32 fields.
    auto ints = [](int fields) { return 2 + 4 * fields; };
    switch (code) {
    case 'r': {
        static const int fields[16] = {0, 5, 2, 2, 2, 5, 3, 6, 2, 2, 3, 6, 3, 3, 4, 3};
        return (sub >= 1 && sub <= 15) ? ints(fields[sub]) : kVariable;
    }
    case 'q': return (sub >= 1 && sub <= 6) ? ints(sub % 2 == 1 ? 2 : 3) : kVariable;
    case 'w': return (sub >= 1 && sub <= 3) ? ints(sub == 2 ? 3 : 2) : kVariable;
    case 't': {
        static const int fields[11] = {0, 1, 1, 3, 2, 2, 2, 2, 2, 1, 1};
        return (sub >= 1 && sub <= 10) ? ints(fields[sub]) : kVariable;
    }
    case 'u': return sub == 1 ? ints(3) : sub == 2 ? ints(5) : kVariable;
    case 'v': {
        static const int fields[9] = {0, 2, 3, 2, 4, 1, 2, 3, 4};
        return (sub >= 1 && sub <= 8) ? ints(fields[sub]) : kVariable;
    }
    case 0x82: {
        static const int fields[14] = {0, 0, 5, 4, 5, 4, 3, 2, 2, 1, 0, 0, 0, 0};
        return (sub >= 1 && sub <= 13) ? ints(fields[sub]) : kVariable;
    }
    case 'i': return sub == 1 ? ints(3) : sub == 2 ? ints(1) : sub == 3 ? ints(2) : kVariable;
    case 'd':
        if (sub == 4 || sub == 5) return 2;
        if (sub == 8) return 4;
        return kVariable; // file names and program text
    case 'f': return sub == 3 ? 3 : kVariable;
    case 0x83:
        if (sub == 2) return int32Counted(pdu, available, 2, 1);
        return sub == 3 ? 2 : kVariable;
    case 'e': return (sub == 2 || sub == 3) ? 2 : kVariable;
    case 0x85: return sub == 1 ? 4 : sub == 2 ? 2 : kVariable;
    case 'c': return (sub == 2 || sub == 3) ? 2 : kVariable;
    default: return kVariable;
    }
}

bool requestHasSub(uint8_t code)
{
    switch (code) {
    case 'c': case 'd': case 'e': case 'f': case 'g': case 'i': case 'q': case 'r':
    case 't': case 'u': case 'v': case 'w': case 0x82: case 0x83: case 0x85:
        return true;
    default:
        return false;
    }
}

} // namespace

int reply(const uint8_t* pdu, int available)
{
    if (available < 1)
        return kNeedMore;
    const int plain = replyWithoutSub(pdu[0], pdu, available);
    if (plain != kHasSubCode)
        return plain;
    if (available < 2)
        return kNeedMore;
    return replyWithSub(pdu[0], pdu[1], pdu, available);
}

int request(const uint8_t* pdu, int available)
{
    if (available < 1)
        return kNeedMore;
    const uint8_t code = pdu[0];
    switch (code) {
    case 'p': return 1;
    case 'A': return 9;
    case 'B': return available < 2 ? kNeedMore : 2 + 4 * pdu[1];
    case 'D': return available < 2 ? kNeedMore : 2 + 8 * pdu[1];
    case 'x': return int32Counted(pdu, available, 5, 4);
    case 'y': return int32Counted(pdu, available, 5, 8);
    case 0x80: return available < 13 ? kNeedMore : int32Counted(pdu, available, 5, 8) + 4;
    case 0x81: return 25;
    case 0x84: return kVariable;
    default: break;
    }
    if (!requestHasSub(code))
        return kVariable;
    if (available < 2)
        return kNeedMore;
    return requestWithSub(code, pdu[1], pdu, available);
}

} // namespace PduLength
