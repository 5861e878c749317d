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

// Offset of the first byte before the terminating 0 that does not begin a well-formed UTF-8
// character (overlong forms, surrogates and code points past U+10FFFF included); -1 when there
// is none. Stops at the 0, also inside a character cut short.
inline int64_t firstNonUtf8(const char* text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    for (int64_t n = 0; s[n] != 0;) {
        const unsigned char c = s[n];
        const int tail = c < 0x80 ? 0 : c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : -1;
        if (tail < 0)
            return n;
        // The lead byte narrows its second byte's range; the others lie in 0x80..0xBF.
        const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        for (int k = 1; k <= tail; ++k) {
            if (s[n + k] < (k == 1 ? low : 0x80) || s[n + k] > (k == 1 ? high : 0xBF))
                return n;
        }
        n += 1 + tail;
    }
    return -1;
}

} // namespace TextField
