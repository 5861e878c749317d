// The remote buffer's reply path: queued text blocks go out one at a time and the fuzzer answers
// each (input: records of a length byte and that many reply bytes, TCP framing), through the
// same filter of wrong-kind replies as the connection. The state stays one of the six, with a
// text; a stopped stream says so; and a block leaves the queue only after the controller
// acknowledged the one before it: nothing is lost or skipped.
#include "FrameMode.h"
#include "FuzzInput.h"
#include "ParseStatus.h"
#include "ReplyMatch.h"
#include "ReplyToucher.h"
#include "VRemoteBuffer.h"

#include <QByteArray>

namespace {
const QByteArray kTransferStateQuery = QByteArray::fromHex("000000000300006405");
}

struct RemoteBufferReplyProbe
{
    static constexpr int kBlocks = 4;

    VRemoteBuffer buffer{QByteArray("127.0.0.1"), VRemoteBuffer::DncMode, 1};

    RemoteBufferReplyProbe()
    {
        for (int i = 0; i < kBlocks; ++i) {
            const QByteArray text = "G01 X" + QByteArray::number(i) + "\n";
            const int n = buffer.frameMaker.CmdAppend(text.constData());
            buffer.frameQueue << QByteArray(reinterpret_cast<const char*>(buffer.frameMakerBuf.get()), n);
        }
        buffer.setState(VRemoteBuffer::NeedsDeclaration);
    }

    // Whether this reply tells that the controller stored the block it answers.
    static bool acknowledges(const QByteArray& reply)
    {
        const CommandCodec::Reply r = touchReply(reinterpret_cast<const uint8_t*>(reply.constData()), reply.size(), FrameTcp);
        return r.status == Handled && r.message->id == CommandTable::Msg::Append && (r.state == 0 || r.state == 2);
    }

    void run(const uint8_t* data, size_t size)
    {
        int sent = 0;     // blocks taken from the queue
        bool acked = true; // the last block taken was stored
        for (size_t at = 0; at < size;) {
            const size_t length = data[at++];
            const QByteArray reply(reinterpret_cast<const char*>(data + at), int(std::min(length, size - at)));
            at += size_t(reply.size());
            std::lock_guard<std::mutex> lock(buffer.mutex);
            const VRemoteBuffer::Step step = buffer.nextStep();
            if (step == VRemoteBuffer::Step::SendNext) {
                FUZZ_CHECK(acked);
                ++sent;
                acked = false;
            } else if (step == VRemoteBuffer::Step::Wait || step == VRemoteBuffer::Step::Stall) {
                if (step == VRemoteBuffer::Step::Wait) // all sent, and the last one stored
                    FUZZ_CHECK(acked && sent == kBlocks);
                continue;
            } else if (step == VRemoteBuffer::Step::Declare) {
                buffer.currentFrame = buffer.declarationFrame(buffer.workerCodec);
            } else if (step == VRemoteBuffer::Step::Poll) {
                buffer.currentFrame = kTransferStateQuery; // built by the worker after a 50 ms pause
            }
            const QByteArray& request = buffer.currentFrame;
            const bool answers = ReplyMatch::answers(FrameTcp, reinterpret_cast<const uint8_t*>(request.constData()), request.size(),
                                                     reinterpret_cast<const uint8_t*>(reply.constData()), reply.size());
            const QByteArray taken = answers ? reply : QByteArray(); // the connection drops the others
            if (step == VRemoteBuffer::Step::SendNext || step == VRemoteBuffer::Step::Resend)
                acked = acked || acknowledges(taken);
            const bool streaming = buffer.takeReply(taken);
            const int32_t state = buffer.state;
            FUZZ_CHECK(state >= VRemoteBuffer::Ready && state <= VRemoteBuffer::Idle);
            FUZZ_CHECK(buffer.stateText.load() != nullptr);
            if (!streaming) {
                FUZZ_CHECK(state == VRemoteBuffer::Closed);
                return;
            }
        }
    }
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 256)
        return 0;
    RemoteBufferReplyProbe probe;
    probe.run(data, size);
    return 0;
}
