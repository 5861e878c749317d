#include "ReplyCollector.h"

#include "CommTiming.h"
#include "LogCategory.h"

#include "FrameBoundary.h"
#include "ReplyMatch.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QtGlobal>

namespace ReplyCollector {

namespace {

const uint8_t* bytesOf(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

bool answersRequest(int frameMode, const QByteArray& request, const QByteArray& frame)
{
    return ReplyMatch::answers(frameMode, bytesOf(request), request.size(), bytesOf(frame), frame.size());
}

} // namespace

Result collect(int frameMode, const QByteArray& request, const ReadSome& readSome, int budgetMs, int restMs)
{
    QElapsedTimer clock;
    clock.start();
    const CommTiming::Durations timing = CommTiming::now();
    qint64 budget = budgetMs >= 0 ? budgetMs : qint64(timing.replyWaitMs) * timing.replyWaits;
    QByteArray buffer;
    bool anyByte = false;
    for (;;) {
        const FrameBoundary::Cut cut = FrameBoundary::reply(frameMode, bytesOf(buffer), buffer.size());
        if (cut.verdict == FrameBoundary::Verdict::Broken)
            return {Outcome::Incomplete, QByteArray()};
        const qint64 left = budget - clock.elapsed();
        bool complete = cut.verdict == FrameBoundary::Verdict::Complete;
        if (cut.verdict == FrameBoundary::Verdict::CompleteWhenQuiet) {
            const int before = buffer.size();
            const bool up = readSome(buffer, int(qBound(qint64(0), left, qint64(timing.quietGapMs))));
            if (up && buffer.size() > before)
                continue; // the line did not fall quiet: the frame goes on
            complete = true; // quiet, or gone for good: either way nothing more follows
        }
        if (complete) {
            const QByteArray frame = buffer.left(cut.length);
            buffer.remove(0, cut.length);
            if (answersRequest(frameMode, request, frame)) {
                if (!buffer.isEmpty()) // the next request has not gone yet: nothing can be its answer
                    qCDebug(acmLog).noquote() << "dropped" << buffer.size() << "bytes that came after the reply";
                return {Outcome::Answered, frame};
            }
            qCDebug(acmLog).noquote() << "dropped a frame that answers no waiting request:" << frame.toHex(' ');
            continue; // keep waiting for this request's own
        }
        if (left <= 0)
            return {anyByte ? Outcome::Incomplete : Outcome::NothingCame, QByteArray()};
        const int before = buffer.size();
        if (!readSome(buffer, int(qMin<qint64>(left, timing.replyWaitMs))))
            return {Outcome::LinkLost, QByteArray()};
        if (!anyByte && buffer.size() > before && restMs >= 0)
            budget = qMin(budget, clock.elapsed() + restMs);
        anyByte = anyByte || buffer.size() > before;
    }
}

} // namespace ReplyCollector
