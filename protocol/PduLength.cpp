#include "PduLength.h"

#include "CommandCodec.h"
#include "WireFields.h"

#include <algorithm>

namespace PduLength {

using CommandTable::Message;
using CommandTable::Shape;

namespace {

// A count that cannot fit any frame still gives a finite length, which the reader refuses.
constexpr int64_t kLongestCounted = 1 << 20;

int countedValues(const uint8_t* pdu, int available, int countAt)
{
    if (available <= countAt)
        return kNeedMore;
    const int count = std::max(0, int(int8_t(pdu[countAt])));
    return countAt + 1 + 4 * count;
}

// The offset of a PDU's first field: after the code and its sub-code.
int fieldsAt(const Message& m)
{
    return m.sub == CommandTable::kNoSub ? 1 : 2;
}

// The row of the PDU's code and sub-code, or why there is none yet: kNeedMore while the sub-code
// has not come, kVariable when no row has them.
int rowOf(const uint8_t* pdu, int available, const Message* (*lookUp)(uint8_t, int), const Message** row)
{
    if (available < 1)
        return kNeedMore;
    const bool sub = CommandCodec::hasSubCode(pdu[0]);
    if (sub && available < 2)
        return kNeedMore;
    *row = lookUp(pdu[0], sub ? pdu[1] : CommandTable::kNoSub);
    return *row ? 1 : kVariable;
}

int64_t int32Count(const uint8_t* pdu)
{
    return std::min<int64_t>(std::max<int32_t>(0, WireFields::getInt32(pdu)), kLongestCounted);
}

} // namespace

int reply(const uint8_t* pdu, int available)
{
    if (available >= 1 && !CommandCodec::isKnownCode(pdu[0]))
        return available < 2 ? kNeedMore : kVariable;
    const Message* m = nullptr;
    const int found = rowOf(pdu, available, CommandCodec::replyRow, &m);
    if (!m)
        return found;
    const int at = fieldsAt(*m);
    switch (m->answer.shape) {
    case Shape::Ack: return at;
    case Shape::ErrorReply: return 1;
    case Shape::Status: return at + 1;
    case Shape::StatusAt: return m->answer.count + 1;
    case Shape::Values: return at + 1 + 4 * m->answer.count;
    case Shape::CountedList: return countedValues(pdu, available, at + 1);
    case Shape::Counted: return countedValues(pdu, available, at);
    case Shape::ValueStatus: return at + 4;
    case Shape::Piece: return available <= at ? kNeedMore : at + 1 + std::max(0, int(int8_t(pdu[at])));
    default: return kVariable; // text or data: the reply is taken whatever it holds
    }
}

int request(const uint8_t* pdu, int available)
{
    const Message* m = nullptr;
    const int found = rowOf(pdu, available, CommandCodec::requestRow, &m);
    if (!m)
        return found;
    int64_t at = fieldsAt(*m);
    int64_t count = 0;
    for (const char* f = m->ask.fields; *f; ++f) {
        switch (*f) {
        case 'i': at += 4; break;
        case 'b': at += 1; break;
        case 'c':
            if (available <= at)
                return kNeedMore;
            count = pdu[at];
            at += 1;
            break;
        case 'n': case 's':
            if (available < at + 4)
                return kNeedMore;
            count = int32Count(pdu + at);
            at += 4 + (*f == 's' ? count : 0);
            break;
        case 'a': at += 4 * count; break;
        case 'A': at += 8 * count; break;
        default: return kVariable; // a name, text or data
        }
    }
    return int(std::min(at, kLongestCounted));
}

} // namespace PduLength
