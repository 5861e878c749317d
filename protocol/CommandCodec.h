#pragma once
// Requests built, frames measured, replies matched and decoded, all from the command table.
// No I/O and no waiting happen here.
#include "CommandTable.h"
#include "ParseStatus.h"

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <initializer_list>

namespace CommandCodec {

using CommandTable::Message;
using CommandTable::Msg;

// What a request carries besides its code: the scalar fields (i, b) in order, the array of a
// counted field (c, n with a, A) and the bytes of a name, text or data field (t, p, d, s).
struct Args
{
    static constexpr int kMostScalars = 8;
    int32_t scalars[kMostScalars] = {};
    int scalarCount = 0;
    const int32_t* first = nullptr;
    const int32_t* second = nullptr;
    int32_t count = 0;
    const char* bytes = nullptr;
    int32_t length = 0; // of bytes; a name (t) ends at its first byte that ends text instead

    Args() = default;
    Args(std::initializer_list<int32_t> values);
    Args& array(const int32_t* entries, const int32_t* pairedWith, int32_t n);
    Args& data(const char* data, int32_t n);
};

// Writes the request of row id into buffer: its length, or 0 when the arguments cannot be sent
// (an array or a value out of the row's bounds, an address no variable has, a frame too long).
int build(uint8_t* buffer, int capacity, int frameMode, Msg id, const Args& args);

// The row of a request's code and sub-code; null when no request has them.
const Message* requestRow(uint8_t code, int sub);
// The row a reply of this code and sub-code decodes by; null when none.
const Message* replyRow(uint8_t code, int sub);
// Whether frames of this code carry a sub-code after it.
bool hasSubCode(uint8_t code);
// Whether some row has this code.
bool isKnownCode(uint8_t code);
// Whether a reply of sub-code replySub answers the request of code and requestSub.
bool subCodeAnswers(uint8_t code, int requestSub, int replySub);

// A reply frame, decoded.
struct Reply
{
    ParseStatus status = TooShort;
    // The row the reply decodes by; Msg::Unknown for a code no row has; null when the frame was
    // too short for its row's fields or failed its check sum.
    const Message* message = nullptr;
    int32_t state = 0;        // the state byte, read as a signed byte; 0 for replies without one
    QVector<int32_t> values;  // the int32 values the reply carries
    QByteArray bytes;         // its text (up to the 0), data or piece
};

Reply decode(const uint8_t* frame, int length, int frameMode);

} // namespace CommandCodec
