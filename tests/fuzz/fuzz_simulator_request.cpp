// The simulator's request path: a byte stream in one of the three framings (the first byte picks
// it) is cut into requests by the readers of its TCP server and serial endpoint, each request goes to the
// controller model (status and session from the second byte), and every reply it makes is one
// whole frame of that framing with a passing check sum, answering its request.
#include "ControllerModel.h"
#include "FrameBoundary.h"
#include "FrameMode.h"
#include "FramingConverter.h"
#include "FuzzInput.h"
#include "ParseStatus.h"
#include "ReplyMatch.h"
#include "ReplyToucher.h"
#include "SerialRequestReader.h"
#include "TcpRequestReader.h"

#include <QList>

namespace {
const uint8_t* bytesOf(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

QList<QByteArray> tcpRequests(QByteArray stream)
{
    return TcpRequestReader::take(stream).frames;
}

QList<QByteArray> serialRequests(int mode, const QByteArray& stream)
{
    SerialRequestReader reader(mode);
    reader.append(stream);
    bool waitForQuiet = false;
    QList<QByteArray> requests = reader.take(false, &waitForQuiet);
    if (waitForQuiet)
        requests += reader.take(true, &waitForQuiet);
    return requests;
}

void checkReply(int mode, const QByteArray& request, const QByteArray& reply)
{
    if (reply.isEmpty())
        return;
    const FrameBoundary::Cut cut = FrameBoundary::reply(mode, bytesOf(reply), reply.size());
    FUZZ_CHECK(cut.verdict == FrameBoundary::Verdict::Complete || cut.verdict == FrameBoundary::Verdict::CompleteWhenQuiet);
    FUZZ_CHECK(cut.length == reply.size());
    FUZZ_CHECK(ReplyMatch::answers(mode, bytesOf(request), request.size(), bytesOf(reply), reply.size()));
    FUZZ_CHECK(touchReply(bytesOf(reply), reply.size(), mode).status != BadChecksum);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 4 * kFrameBufferSize)
        return 0;
    const int mode = data[0] % 3;
    // Mostly the normal replies; sometimes a status a script would force.
    const int status = data[1] < 192 ? ControllerModel::kDefaultStatus : data[1] - 192;
    const quint64 session = data[1] % 3;
    const QByteArray stream(reinterpret_cast<const char*>(data + 2), int(size - 2));
    ControllerModel model;
    const QList<QByteArray> requests = mode == FrameTcp ? tcpRequests(stream) : serialRequests(mode, stream);
    for (const QByteArray& request : requests) {
        if (mode == FrameTcp) {
            checkReply(mode, request, model.reply(request, status, session));
            continue;
        }
        const QByteArray tcpRequest = FramingConverter::convert(request, mode, FrameTcp, false);
        if (tcpRequest.isEmpty())
            continue;
        const QByteArray tcpReply = model.reply(tcpRequest, status, session);
        checkReply(FrameTcp, tcpRequest, tcpReply);
        checkReply(mode, request, FramingConverter::convert(tcpReply, FrameTcp, mode, true));
    }
    return 0;
}
