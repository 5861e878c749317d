// The reply parser in one framing (ACM_FUZZ_FRAME_MODE): the whole input as one frame, and the
// frame the client's reader would cut from it. The parser reads only inside the frame, calls at
// most one callback, none for a frame whose check sum fails and none but the unknown-code one
// for a frame it rejects, and returns a known status.
#include "FrameBoundary.h"
#include "FrameMode.h"
#include "FuzzInput.h"
#include "ParseStatus.h"
#include "ReplyToucher.h"

namespace {
void parseFrame(const uint8_t* data, int size)
{
    const auto frame = exactCopy(data, size);
    ReplyToucher codec(frame.get(), ACM_FUZZ_FRAME_MODE);
    const int32_t parsed = codec.analysisReciveBuffer(size);
    FUZZ_CHECK(parsed >= Handled && parsed <= TransferState2);
    FUZZ_CHECK(codec.calls + codec.unknownCalls <= 1);
    if (parsed == BadChecksum)
        FUZZ_CHECK(codec.calls + codec.unknownCalls == 0);
    if (parsed == TooShort) // an unknown code is reported as such, and nothing else is
        FUZZ_CHECK(codec.calls == 0);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2 * kFrameBufferSize)
        return 0;
    parseFrame(data, int(size));
    const FrameBoundary::Cut cut = FrameBoundary::reply(ACM_FUZZ_FRAME_MODE, data, int(size));
    if (cut.verdict == FrameBoundary::Verdict::Complete || cut.verdict == FrameBoundary::Verdict::CompleteWhenQuiet) {
        FUZZ_CHECK(cut.length > 0 && cut.length <= int(size) && cut.length < kFrameBufferSize);
        parseFrame(data, cut.length);
    }
    return 0;
}
