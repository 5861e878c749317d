// Where frames end, for replies and requests in all three framings (the first byte picks which):
// a cut lies inside the bytes held; a frame of known layout is never cut short (no shorter
// prefix is complete) and stays the same frame whatever follows it; a frame of open length
// takes everything held; a frame that can never fit stays refused.
#include "FrameBoundary.h"
#include "FrameMode.h"
#include "FuzzInput.h"

namespace {
using FrameBoundary::Cut;
using FrameBoundary::Verdict;

Cut cutOf(int selector, const uint8_t* data, int length)
{
    const auto held = exactCopy(data, length);
    const int mode = selector % 3;
    return selector < 3 ? FrameBoundary::reply(mode, held.get(), length) : FrameBoundary::request(mode, held.get(), length);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 2 * kFrameBufferSize)
        return 0;
    const int selector = data[0] % 6;
    const uint8_t* bytes = data + 1;
    const int n = int(size - 1);
    const Cut cut = cutOf(selector, bytes, n);
    const int longest = selector < 3 ? kLongestReply : kLongestRequest;
    switch (cut.verdict) {
    case Verdict::NeedMore:
        FUZZ_CHECK(n <= longest);
        break;
    case Verdict::Complete:
        FUZZ_CHECK(cut.length > 0 && cut.length <= n && cut.length <= longest);
        for (int k = 0; k < cut.length; ++k)
            FUZZ_CHECK(cutOf(selector, bytes, k).verdict == Verdict::NeedMore);
        {
            const Cut exact = cutOf(selector, bytes, cut.length);
            FUZZ_CHECK(exact.verdict == Verdict::Complete && exact.length == cut.length);
        }
        break;
    case Verdict::CompleteWhenQuiet:
        FUZZ_CHECK(selector % 3 != FrameTcp && cut.length == n && n <= longest);
        break;
    case Verdict::Broken:
        for (int more = 1; more <= 8; ++more) {
            const std::unique_ptr<uint8_t[]> longer(new uint8_t[n + more]());
            std::memcpy(longer.get(), bytes, n);
            FUZZ_CHECK(cutOf(selector, longer.get(), n + more).verdict == Verdict::Broken);
        }
        break;
    }
    return 0;
}
