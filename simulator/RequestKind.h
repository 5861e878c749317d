#pragma once
#include <QString>

#include <cstdint>

// The kinds of request the library sends, by their code: what a rule may name and what
// --verbose shows beside the bytes.
namespace RequestKind {
// Whether the library ever sends a request with this code (a rule for another could never match).
bool isSent(uint8_t code);
// "'r' 1 jog" for code 'r', sub-code 1; the sub-code is left out for requests without one.
QString describe(uint8_t code, int sub);
} // namespace RequestKind
