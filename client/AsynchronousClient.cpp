#include "AsynchronousClient.h"
#include "LogCategory.h"
#include "CommCodes.h"

#include "FrameMode.h"
#include "IoThread.h"
#include "ParseStatus.h"
#include "TcpTransport.h"

#include <QDebug>
#include <QDir>

#include <chrono>
#include <exception>
#include <thread>

AsynchronousClient::AsynchronousClient(QObject* parent)
    : QThread(parent), VProtocol_Client(nullptr, nullptr, FrameTcp)
{
    QDir().mkpath(QDir::currentPath() + QStringLiteral("/logs"));
    sendBuf = new uint8_t[kFrameBufferSize]();
    recvBuf = new uint8_t[kFrameBufferSize]();
    transport.reset(new TcpTransport);
}

AsynchronousClient::~AsynchronousClient()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        threadStop = true;
    }
    workerWake.notify_all();
    wait();
    {
        // Pairs with the lock the worker takes last (see run): a hand-over that race
        // detectors can see, unlike QThread::wait's own futex.
        std::lock_guard<std::mutex> lock(mutex);
    }
    transport->shutdown();
    transport.reset();
    serialTransport.reset();
    serialIo.reset();
    delete[] sendBuf;
    delete[] recvBuf;
    sendBuf = nullptr;
    recvBuf = nullptr;
}

// The synchronous path talks over the serial port while it is open, so the link check must too.
Transport* AsynchronousClient::syncTransport() const
{
    return serialTransport && serialTransport->isOpen() ? serialTransport.get() : transport.get();
}

// Both paths look at the link now, so a link the peer closed is down at once and a command is
// refused rather than queued for a link that is gone. An asynchronous client's worker may be in
// the middle of an exchange; then the link is in use and counts as up.
bool AsynchronousClient::socketConnected()
{
    if (retired)
        return false;
    if (syncMode == 0) {
        if (!isConnected)
            return false;
        if (transport->checkLink())
            return true;
        isConnected = false; // the worker sees this at its next turn and ends
        wakeWorker();
        return false;
    }
    Transport* link = syncTransport();
    if (link->checkLink())
        return true;
    if (link == transport.get())
        isConnected = false;
    return false;
}

void AsynchronousClient::logDisconnected(const char* signature)
{
    qCDebug(acmLog).noquote() << signature << " SocketDisconnected " << transport->errorText();
}

AsynchronousClient::Exchange AsynchronousClient::queueAndExchange(int32_t frameLength, bool collapseTo3)
{
    const QByteArray frame = frameLength > 0 ? QByteArray(reinterpret_cast<const char*>(sendBuf), frameLength) : QByteArray();
    int32_t result = ResultCode::QueueFull;
    if (cmdQueue.size() <= queueLimit) {
        cmdQueue.append(frame);
        result = ResultCode::Success;
    }
    if (syncMode != 1) {
        wakeWorker();
        return {true, result};
    }
    takeNextFrame();
    if (!sendAndWait())
        return {false, ResultCode::NoValidReply};
    if (replyErrorFlag)
        result = collapseTo3 ? ResultCode::ReplyFailed : replyErrorCode;
    return {true, result};
}

int32_t AsynchronousClient::runCommand(const char* signature, const std::function<int32_t()>& build,
                                       const std::function<void(int32_t)>& writeOutputs, int options)
{
    try {
        std::lock_guard<std::mutex> lock(mutex);
        if (!socketConnected()) {
            if (!(options & LogDisconnectWithFlag) || (logFlags & LogFlag::Errors))
                logDisconnected(signature);
            return ResultCode::NotConnected;
        }
        // No frame (a builder's own refusal, or arguments too long for one frame) is the caller's
        // argument: nothing is sent, and it must not read as a lost reply.
        const int32_t n = build();
        if (n <= 0)
            return ResultCode::ArgumentOutOfRange;
        const Exchange done = queueAndExchange(n, options & CollapseTo3);
        if (done.replied && writeOutputs)
            writeOutputs(done.result);
        return done.result;
    } catch (const std::exception& e) {
        qCDebug(acmLog).noquote() << signature << "exception" << e.what();
    } catch (...) {
        qCDebug(acmLog).noquote() << signature << "exception";
    }
    return ResultCode::NoValidReply;
}

void AsynchronousClient::takeNextFrame()
{
    nextFromQueue = 1;
    if (cmdQueue.isEmpty()) {
        preparePollFrame();
        return;
    }
    const QByteArray frame = cmdQueue.takeFirst();
    if (!frame.isEmpty()) {
        sendState = 2;
        sendFrame = frame;
    }
}

bool AsynchronousClient::sendAndWait()
{
    if (sendFrame.isEmpty())
        return false;
    sendState = 2;
    Transport* link = syncTransport();
    const QByteArray reply = link->exchange(sendFrame, frameMode);
    const bool ok = takeReply(*link, reply);
    sendState = 1;
    sendFrame.clear();
    return ok;
}

bool AsynchronousClient::takeReply(Transport& link, const QByteArray& reply)
{
    if (reply.isEmpty())
        return false; // no reply: the link has seen to a late one itself
    const bool usable = feedReply(reinterpret_cast<const uint8_t*>(reply.constData()), reply.size());
    if (!usable)
        link.distrustLastReply();
    return usable;
}

bool AsynchronousClient::feedReply(const uint8_t* bytes, int32_t length)
{
    if (!bytes || length < 1 || length > kLongestReply)
        return false;
    std::copy(bytes, bytes + length, recvBuf);
    const int32_t parseStatus = analysisReciveBuffer(length);
    sendState = 1;
    return parseStatus == Handled;
}

void AsynchronousClient::onErrorOccured(int32_t errorCmd, int32_t cmdState, const char* detail)
{
    const char* text = detail ? detail : "";
    if (const ErrCallbackFunc callback = errCallback.load())
        callback(errorCmd, cmdState, text);
    else if (logFlags & LogFlag::Errors)
        qCDebug(acmLog).noquote() << "onErrorOccured" << "errorCmd:" << errorCmd << "cmdState:" << cmdState << "detail:"
                           << QString::fromUtf8(text);
    sendState = 1;
}

// Sleeps rather than spinning: the wait is the same, the core stays free.
void AsynchronousClient::busyWaitMs(int32_t ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
