#include "ReplyMatch.h"

#include "FrameMode.h"
#include "FrameReader.h"

namespace ReplyMatch {

namespace {

bool hasSubCode(uint8_t code)
{
    switch (code) {
    case 'c': case 'd': case 'e': case 'f': case 'g': case 'i': case 'q': case 'r': case 's':
    case 't': case 'u': case 'v': case 'w': case 0x82: case 0x83: case 0x85:
        return true;
    default:
        return false;
    }
}

bool isKnownReplyCode(uint8_t code)
{
    switch (code) {
    case 'A': case 'B': case 'D': case 'p': case 'x': case 'y': case 0x80: case 0x81: case 0x84:
    case 0xC2: case 0xC4: case 0xE4: case 0xE6:
        return true;
    default:
        return hasSubCode(code);
    }
}

// The sub-codes with which a request's reply may come back.
bool subCodeAnswers(uint8_t code, int requestSub, int replySub)
{
    if (replySub == requestSub)
        return true;
    if (code == 'g' && requestSub == 0x90)
        return replySub == 0xF0;
    if (code == 'e' && (requestSub == 2 || requestSub == 3))
        return replySub >= 2 && replySub <= 4; // 4: the last piece of the file
    if (code == 0x85 && requestSub == 2)
        return replySub == 3; // the last piece of the error text
    return false;
}

} // namespace

bool answers(int frameMode, const uint8_t* request, int requestLength, const uint8_t* reply, int replyLength)
{
    const FrameReader req(request, requestLength, frameMode);
    const FrameReader rep(reply, replyLength, frameMode);
    const int h = req.headerLen();
    if (!req.has(h, 1) || !rep.has(h, 1))
        return true;
    const uint8_t asked = req.byteAt(h);
    const uint8_t got = rep.byteAt(h);
    if (!isKnownReplyCode(got))
        return true;
    if (asked < 0x80 && got == uint8_t(asked | 0x80))
        return true;
    if (got != asked)
        return false;
    if (!hasSubCode(asked) || !req.has(h + 1, 1) || !rep.has(h + 1, 1))
        return true;
    return subCodeAnswers(asked, req.byteAt(h + 1), rep.byteAt(h + 1));
}

} // namespace ReplyMatch
