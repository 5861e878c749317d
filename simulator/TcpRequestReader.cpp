#include "TcpRequestReader.h"

#include "FrameBoundary.h"
#include "FrameMode.h"

TcpRequestReader::Taken TcpRequestReader::take(QByteArray& pending)
{
    Taken taken;
    for (;;) {
        const FrameBoundary::Cut cut =
            FrameBoundary::request(FrameTcp, reinterpret_cast<const uint8_t*>(pending.constData()), pending.size());
        if (cut.verdict == FrameBoundary::Verdict::Broken) { // a length no frame can have
            taken.broken = true;
            return taken;
        }
        if (cut.verdict != FrameBoundary::Verdict::Complete)
            break;
        taken.frames << pending.left(cut.length);
        pending.remove(0, cut.length);
    }
    taken.broken = pending.size() > kFrameBufferSize; // garbage that never forms a frame
    return taken;
}
