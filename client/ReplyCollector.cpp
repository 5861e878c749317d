#include "ReplyCollector.h"

#include "FrameBoundary.h"
#include "FrameMode.h"

#include <QElapsedTimer>
#include <QtGlobal>

namespace ReplyCollector {

QByteArray collect(int frameMode, QByteArray reply, const std::function<QByteArray(int)>& readSome,
                   const std::function<bool()>& linkUp)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 budget = qint64(kReplyWaitMs) * kReplyWaits;
    int emptyWaits = 0;
    while (emptyWaits < kReplyWaits && reply.size() < kFrameBufferSize) {
        const int complete = FrameBoundary::replyLength(
            frameMode, reinterpret_cast<const uint8_t*>(reply.constData()), reply.size());
        if (complete > 0)
            return reply.left(complete);
        const qint64 left = budget - clock.elapsed();
        if (left <= 0 || !linkUp())
            break;
        const QByteArray more = readSome(int(qMin<qint64>(left, kReplyWaitMs)));
        if (more.isEmpty())
            ++emptyWaits;
        reply += more;
    }
    return reply;
}

} // namespace ReplyCollector
