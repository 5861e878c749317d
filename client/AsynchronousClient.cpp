#include "AsynchronousClient.h"
#include "CommCodes.h"
#include "FrameMode.h"
#include "TcpTransport.h"

#include <QDir>

AsynchronousClient::AsynchronousClient(QObject* parent)
    : QThread(parent), VProtocol_Client(frameBuffer, FrameTcp), transport(new TcpTransport)
{
    QDir().mkpath(QDir::currentPath() + QStringLiteral("/logs"));
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
}

void AsynchronousClient::useLink(std::unique_ptr<Transport> link, int32_t mode)
{
    std::lock_guard<std::mutex> lock(mutex);
    transport = std::move(link);
    setFrameMode(mode);
}

void AsynchronousClient::setErrCallback(ErrCallbackFunc callback)
{
    errCallback = callback;
}

void AsynchronousClient::setReplyWaitMs(int ms)
{
    replyWaitMs = ms;
}

int AsynchronousClient::replyBudgetMs() const
{
    const int own = replyWaitMs.load();
    return own > 0 ? own : CommTiming::now().commandReplyBudgetMs;
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
    if (transport->checkLink())
        return true;
    isConnected = false;
    return false;
}
