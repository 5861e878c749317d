#pragma once
#include <cstdint>

// The rule for text sent to the controller: it ends at its first byte that is 0 or has the top
// bit set, so only 7-bit characters ever go on the wire.
namespace TextField {

inline bool endsText(char c)
{
    return static_cast<signed char>(c) <= 0;
}

// Bytes of text before the byte that ends it, counting at most limit of them.
inline int64_t sendableLength(const char* text, int64_t limit = INT64_MAX)
{
    int64_t n = 0;
    while (n < limit && !endsText(text[n]))
        ++n;
    return n;
}

// Offset of the first byte with the top bit set before the text's terminating 0; -1 when there
// is none. Such a text is refused whole: cutting it there would send a program that ends early.
inline int64_t firstUnsendable(const char* text)
{
    for (int64_t n = 0; text[n] != 0; ++n) {
        if (static_cast<signed char>(text[n]) < 0)
            return n;
    }
    return -1;
}

} // namespace TextField
