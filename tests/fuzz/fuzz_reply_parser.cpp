// The reply decoder in one framing (ACM_FUZZ_FRAME_MODE): the whole input as one frame, and the
// frame the client's reader would cut from it. The decoder reads only inside the frame, gives no
// row for a frame whose check sum fails and none but the unknown-code one for a frame it rejects,
// and returns a known status.
#include "FrameBoundary.h"
#include "FrameMode.h"
#include "FuzzInput.h"
#include "ParseStatus.h"
#include "ReplyToucher.h"

namespace {
void parseFrame(const uint8_t* data, int size)
{
    const CommandCodec::Reply r = touchReply(data, size, ACM_FUZZ_FRAME_MODE);
    FUZZ_CHECK(r.status >= Handled && r.status <= BadChecksum);
    if (r.status == BadChecksum)
        FUZZ_CHECK(!r.message);
    if (r.status == TooShort) // an unknown code is reported as such, and nothing else is
        FUZZ_CHECK(!r.message || r.message->id == CommandTable::Msg::Unknown);
    if (r.status == Handled)
        FUZZ_CHECK(r.message && r.message->id != CommandTable::Msg::Unknown);
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
