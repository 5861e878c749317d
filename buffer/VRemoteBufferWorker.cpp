#include "VRemoteBuffer.h"
#include "CommTiming.h"

#include "FrameMode.h"
#include "ParseStatus.h"
#include "TcpTransport.h"
#include "LogCategory.h"

#include <QDebug>

#include <chrono>

// The worker of the remote buffer: connect, declare the file, then send the queued frames one
// at a time as the controller's replies allow.

namespace {
// Reply states of the transfer requests.
constexpr int32_t kStateOk = 0;
constexpr int32_t kStateParameters = 1;
constexpr int32_t kStateBusy = 2;        // blocks: stored, but the controller takes no more yet
constexpr int32_t kStateInUse = 2;       // declaration: the file is being executed
constexpr int32_t kStateMemoryFull = 3;  // blocks: not stored
constexpr int32_t kStateAlarm = 100;
constexpr int32_t kTransferNotReady = 1; // transfer-state query

const char* const kParametersError = "parameters error.";
const char* const kExecutionAlarm = "CNC系统执行错误报警";
const char* const kConnectFailed = "Connection to the controller failed.";
const char* const kLinkClosed = "Connection closed by the controller; stream stopped.";
const char* const kNoValidReply = "No valid reply from the controller; stream stopped.";
const char* const kStalled = "No reply from the controller within 10 s; stream stopped.";
static_assert(CommTiming::Durations{}.bufferStallLimitMs == 10000, "kStalled names the stall limit");
const char* const kErrorReply = "Error reply from the controller.";
} // namespace

void VRemoteBuffer::run()
{
    if (!transport->open(ip, port, CommTiming::now().bufferConnectMs)) {
        std::lock_guard<std::mutex> lock(mutex); // also the last touch of members: see the destructor
        setState(Closed, kConnectFailed);
        return;
    }
    connected = true;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!stopFlag)
            setState(NeedsDeclaration);
    }
    bool streaming = true;
    while (streaming && !stopFlag) {
        Step step;
        {
            std::lock_guard<std::mutex> lock(mutex);
            step = nextStep();
        }
        switch (step) {
        case Step::Wait:
            pause(CommTiming::now().bufferIdleSleepMs, true);
            if (!transport->checkLink()) { // a connection dropped while idle is not silent either
                std::lock_guard<std::mutex> lock(mutex);
                stopStream(kLinkClosed);
                streaming = false;
            }
            break;
        case Step::Stall:
            pause(CommTiming::now().bufferStallSleepMs, false);
            break;
        case Step::Poll: {
            pause(CommTiming::now().bufferResendPauseMs, false); // the pace of the polling
            const int32_t n = workerCodec.CmdTransFileState();
            currentFrame = QByteArray(reinterpret_cast<const char*>(workerCodec.sendBuf), n);
            streaming = exchange(currentFrame);
            break;
        }
        case Step::Declare:
            if (declaredOnce)
                pause(CommTiming::now().bufferResendPauseMs, false);
            declaredOnce = true;
            currentFrame = declarationFrame(workerCodec);
            streaming = exchange(currentFrame);
            break;
        case Step::Resend:
            pause(CommTiming::now().bufferResendPauseMs, false);
            streaming = exchange(currentFrame);
            break;
        case Step::SendNext:
            streaming = exchange(currentFrame);
            break;
        }
    }
    transport->close(CommTiming::now().bufferConnectMs);
    connected = false;
    std::lock_guard<std::mutex> lock(mutex); // the last touch of members: see the destructor
}

VRemoteBuffer::Step VRemoteBuffer::nextStep()
{
    switch (state) {
    case Ready:
    case Idle:
        if (frameQueue.isEmpty()) {
            setState(Idle, "Command queue is empty.");
            return Step::Wait;
        }
        currentFrame = frameQueue.takeFirst();
        return Step::SendNext;
    case Busy:
        return Step::Poll;
    case NeedsDeclaration:
        return Step::Declare;
    case Refused:
        return currentFrame.isEmpty() ? Step::Stall : Step::Resend;
    default:
        return Step::Stall;
    }
}

void VRemoteBuffer::pause(int ms, bool waitForWork)
{
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopFlag || (waitForWork && !frameQueue.isEmpty()); });
}

void VRemoteBuffer::stopStream(const char* why)
{
    setState(Closed, why);
}

bool VRemoteBuffer::exchange(const QByteArray& frame)
{
    replyFlag = 2;
    bool silent = false;
    const CommTiming::Durations timing = CommTiming::now();
    QByteArray reply = transport->exchangePatiently(frame, FrameTcp, timing.bufferStallLimitMs, timing.bufferReplyMs,
                                                    [this] { return stopFlag.load(); }, &silent);
    if (!reply.isEmpty() && reply.size() < kFrameBufferSize &&
        CommandCodec::decode(reinterpret_cast<const uint8_t*>(reply.constData()), reply.size(), FrameTcp).status == Refusal)
        reply = answerAfterErrorReply(frame, reply);
    replyFlag = 1;
    std::lock_guard<std::mutex> lock(mutex);
    if (stopFlag)
        return false;
    if (reply.isEmpty()) {
        stopStream(!transport->isOpen() ? kLinkClosed : silent ? kStalled : kNoValidReply);
        return false;
    }
    return takeReply(reply);
}

// A controller may send an error reply and then the request's real answer. Sending the frame
// again at once would let that late answer stand for the second send (a piece held twice, a state
// read from the wrong reply), and a fresh connection would lose the declared file. So the worker
// waits on the same link, as long as a reply that has begun may take to end, for more of this
// request's answer: what comes is the answer; nothing: the error reply stands, and no answer to
// this send can come after the frame goes again.
QByteArray VRemoteBuffer::answerAfterErrorReply(const QByteArray& frame, const QByteArray& errorReply)
{
    bool silent = false;
    const QByteArray later = transport->awaitMoreOfReply(frame, FrameTcp, CommTiming::now().bufferReplyMs,
                                                         [this] { return stopFlag.load(); }, &silent);
    if (!later.isEmpty())
        qCDebug(acmLog).noquote() << "remote buffer: an error reply was followed by the real one, which answers";
    return silent ? errorReply : later;
}

bool VRemoteBuffer::takeReply(const QByteArray& reply)
{
    if (reply.isEmpty() || reply.size() >= kFrameBufferSize) {
        stopStream(kNoValidReply);
        return false;
    }
    const CommandCodec::Reply decoded =
        CommandCodec::decode(reinterpret_cast<const uint8_t*>(reply.constData()), reply.size(), FrameTcp);
    if (decoded.status == Refusal) {
        setState(Refused, kErrorReply);
    } else if (decoded.status != Handled) {
        stopStream(kNoValidReply); // a reply that answers nothing: the frame's fate is unknown
        return false;
    } else {
        onReply(decoded);
    }
    return true;
}

// ---- what each reply means for the stream ----

void VRemoteBuffer::onReply(const CommandCodec::Reply& reply)
{
    switch (reply.message->id) {
    case CommandTable::Msg::Declare: return onDeclared(reply.state);
    case CommandTable::Msg::Overwrite: return onOverwritten(reply.state);
    case CommandTable::Msg::Append: return onAppended(reply.state);
    case CommandTable::Msg::FileEnd: return setState(Ready, "fileEnd Ok");
    case CommandTable::Msg::TransferState: return onTransferState(reply.state);
    default: return;
    }
}

void VRemoteBuffer::onDeclared(int32_t status)
{
    if (status == kStateOk)
        setState(Ready, "SetFileInf Ok");
    else if (status == kStateParameters)
        setState(Refused, kParametersError);
    else if (status == kStateInUse)
        setState(NeedsDeclaration, "target file is been executing.file transmission denied.");
    else
        setState(Refused, "CmdSetFileInf:unknow state. state=" + std::to_string(status));
}

// A block not stored goes again: every state but 0 (stored) and 2 (stored, busy) means the
// controller does not hold it.
void VRemoteBuffer::onOverwritten(int32_t status)
{
    switch (status) {
    case kStateOk: setState(Ready, "OverWriteTxt Ok"); break;
    case kStateParameters: setState(Refused, kParametersError); break;
    case kStateBusy: setState(Busy, "Cnc Busy"); break;
    case kStateMemoryFull: setState(Refused, "DNC 内存已满，此笔数据复写失败"); break;
    case kStateAlarm: setState(Refused, kExecutionAlarm); break;
    default: setState(Refused, "OverWriteTxt:unknow state. state=" + std::to_string(status)); break;
    }
}

void VRemoteBuffer::onAppended(int32_t status)
{
    switch (status) {
    case kStateOk: setState(Ready, "AppendTxt Ok"); break;
    case kStateParameters: setState(Refused, kParametersError); break;
    case kStateBusy: setState(Busy); break;
    case kStateMemoryFull: setState(Refused, "DNC内存已满，此笔数据追加失败"); break;
    case kStateAlarm: setState(Refused, kExecutionAlarm); break;
    default: setState(Refused, "AppendTxt:unknow state. state=" + std::to_string(status)); break;
    }
}

void VRemoteBuffer::onTransferState(int32_t status)
{
    if (status == kStateOk)
        setState(Ready, "RequestSendNext ok");
    else if (status == kTransferNotReady)
        setState(Busy);
}
