#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <QLoggingCategory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Harnesses state what must hold with this instead of assert(), which release builds drop.
#define FUZZ_CHECK(condition)                                                                       \
    do {                                                                                            \
        if (!(condition))                                                                           \
            std::abort();                                                                           \
    } while (false)

// A heap copy of exactly the given bytes, so that the address sanitizer catches any read past
// them (the codecs' own buffers are larger than the frames they hold).
inline std::unique_ptr<uint8_t[]> exactCopy(const uint8_t* data, size_t size)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(copy.get(), data, size);
    return copy;
}

namespace {
// The library's diagnostic lines would drown the fuzzer's report and slow every run down.
[[maybe_unused]] const bool kLogQuiet = (QLoggingCategory::setFilterRules(QStringLiteral("acm.debug=false")), true);
} // namespace
