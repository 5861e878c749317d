#include "RequestChannel.h"

#include "FrameMode.h"
#include "FrameReader.h"

namespace {
constexpr int kCodeAt = 7;
constexpr int kSubAt = 8;
constexpr int kFirstArgAt = 9;

enum class Field { None, Int32, Byte, ByteAfterType };

Field fieldOf(uint8_t code, int sub)
{
    switch (code) {
    case 'r': case 'q': case 'w': case 't': case 'u': case 'x': case 'y': case 0x80:
        return Field::Int32;
    case 'v':
        return (sub == 1 || sub == 2 || sub == 7 || sub == 8) ? Field::Int32 : Field::None;
    case 'i':
        return (sub == 1 || sub == 3) ? Field::Int32 : Field::None;
    case 'd':
        if (sub == 1 || sub == 6)
            return Field::Byte;
        return sub == 8 ? Field::ByteAfterType : Field::None;
    case 'f': case 'g': case 0x85:
        return Field::Byte;
    default:
        return Field::None;
    }
}
}

bool RequestChannel::carried(uint8_t code, int sub)
{
    if (sub >= 0)
        return fieldOf(code, sub) != Field::None;
    for (int s = 0; s < 256; ++s)
        if (fieldOf(code, s) != Field::None)
            return true;
    return false;
}

std::optional<int32_t> RequestChannel::of(const QByteArray& request)
{
    const FrameReader r(reinterpret_cast<const uint8_t*>(request.constData()), request.size(), FrameTcp);
    if (!r.has(kCodeAt, 1))
        return std::nullopt;
    // Requests without a sub-code byte ('x', 'y', 0x80) have their first argument right after the code.
    const uint8_t code = r.byteAt(kCodeAt);
    const bool noSub = code == 'x' || code == 'y' || code == 0x80;
    const int sub = noSub ? -1 : r.byteAt(kSubAt);
    const int at = noSub ? kSubAt : kFirstArgAt;
    switch (noSub ? Field::Int32 : fieldOf(code, sub)) {
    case Field::Int32:
        return r.has(at, 4) ? std::optional<int32_t>(r.int32At(at)) : std::nullopt;
    case Field::Byte:
        return r.has(at, 1) ? std::optional<int32_t>(r.byteAt(at)) : std::nullopt;
    case Field::ByteAfterType:
        return r.has(at + 1, 1) ? std::optional<int32_t>(r.byteAt(at + 1)) : std::nullopt;
    default:
        return std::nullopt;
    }
}
