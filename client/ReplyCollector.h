#pragma once
#include <QByteArray>

#include <functional>

// Gathers the one reply to a request from a link: bytes are collected until the framing says
// a frame is complete, frames that answer some other request are dropped, and all of it within
// three waits of 600 ms in all. A reply split across reads is never cut; a frame that is not
// complete when the budget ends is no reply.
namespace ReplyCollector {

// The waits come from CommTiming: replyWaitMs, replyWaits and, for a serial reply whose layout
// leaves its length open (text, data), quietGapMs: it ends once its check sum passes and the
// line then stays quiet this long.

enum class Outcome {
    Answered,    // frame holds the reply (the parser still judges it)
    NothingCame, // not one byte within the budget
    Incomplete,  // bytes came, but no complete answer within the budget, or a frame too long
    LinkLost,    // the peer closed the link or it failed
};

struct Result
{
    Outcome outcome;
    QByteArray frame;
};

// readSome(buffer, waitMs) appends what arrives within waitMs (nothing when nothing does) and
// returns false once the link is gone.
using ReadSome = std::function<bool(QByteArray& buffer, int waitMs)>;

// budgetMs: the whole wait; the command clients wait three reply waits (budgetMs < 0). restMs >= 0:
// once the first byte has come, the whole answer is due within restMs of it (a long budget waits for
// a late reply, not for the end of a broken one); a negative restMs leaves only the budget.
Result collect(int frameMode, const QByteArray& request, const ReadSome& readSome, int budgetMs = -1,
               int restMs = -1);

} // namespace ReplyCollector
