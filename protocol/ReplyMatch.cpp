#include "ReplyMatch.h"

#include "CommandCodec.h"
#include "FrameReader.h"

namespace ReplyMatch {

bool answers(int frameMode, const uint8_t* request, int requestLength, const uint8_t* reply, int replyLength)
{
    const FrameReader req(request, requestLength, frameMode);
    const FrameReader rep(reply, replyLength, frameMode);
    const int h = req.headerLen();
    if (!req.has(h, 1) || !rep.has(h, 1))
        return true;
    const uint8_t asked = req.byteAt(h);
    const uint8_t got = rep.byteAt(h);
    if (!CommandCodec::isKnownCode(got))
        return true;
    if (asked < 0x80 && got == uint8_t(asked | 0x80))
        return true;
    if (got != asked)
        return false;
    if (!CommandCodec::hasSubCode(asked) || !req.has(h + 1, 1) || !rep.has(h + 1, 1))
        return true;
    return CommandCodec::subCodeAnswers(asked, req.byteAt(h + 1), rep.byteAt(h + 1));
}

} // namespace ReplyMatch
