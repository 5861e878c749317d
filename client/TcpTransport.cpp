#include "TcpTransport.h"
#include "LogCategory.h"

#include "ReplyCollector.h"
#include "SocketOps.h"

#include <QDebug>
#include <QElapsedTimer>

namespace {
const char* const kReadySig = "bool AsynchronousClient::myReadyRead()";
}

TcpTransport::~TcpTransport()
{
    shutdown();
}

void TcpTransport::setError(const QString& text)
{
    std::lock_guard<std::mutex> lock(errorMutex);
    lastError = text;
}

QString TcpTransport::errorText() const
{
    std::lock_guard<std::mutex> lock(errorMutex);
    return lastError;
}

bool TcpTransport::isOpen() const
{
    return up.load();
}

bool TcpTransport::openLocked(int timeoutMs)
{
    // The old link goes, but `up` keeps its value until the new one's outcome is known: a renewal
    // on one thread must not look like a lost link to another (an asynchronous client's worker
    // and the caller that looks at its link).
    SocketOps::closeSocket(fd);
    fd = -1;
    QString why;
    readWaitMs = CommTiming::now().replyWaitMs;
    fd = SocketOps::connectTo(host, port, timeoutMs, readWaitMs, &why);
    renewBeforeUse = false;
    keepLongWaits();
    linkRenewed();
    up = fd >= 0;
    if (fd < 0)
        setError(why);
    return fd >= 0;
}

void TcpTransport::closeLocked()
{
    SocketOps::closeSocket(fd);
    fd = -1;
    up = false;
}

void TcpTransport::markClosed(const QString& why)
{
    closeLocked();
    setError(why);
}

bool TcpTransport::open(const QByteArray& newHost, quint16 newPort, int timeoutMs)
{
    std::lock_guard<std::mutex> lock(ioLock);
    host = newHost;
    port = newPort;
    connectTimeoutMs = timeoutMs;
    return openLocked(timeoutMs);
}

bool TcpTransport::close(int)
{
    std::lock_guard<std::mutex> lock(ioLock);
    closeLocked();
    return true;
}

bool TcpTransport::renewAfterFailedWait()
{
    if (!renewBeforeUse)
        return true;
    return openLocked(connectTimeoutMs);
}

bool TcpTransport::checkLinkLocked()
{
    if (fd < 0 || !renewAfterFailedWait())
        return false;
    const SocketOps::ReadResult drained = SocketOps::drain(fd);
    if (drained == SocketOps::ReadResult::Closed) {
        markClosed(QStringLiteral("The remote host closed the connection"));
        return false;
    }
    if (drained == SocketOps::ReadResult::Data)
        qCDebug(acmLog).noquote() << "dropped bytes that came while no request waited";
    return true;
}

bool TcpTransport::checkLink()
{
    std::unique_lock<std::mutex> lock(ioLock, std::try_to_lock);
    if (!lock.owns_lock())
        return up.load(); // an exchange is running on the link: it is in use, so up as far as we know
    return checkLinkLocked();
}

QByteArray TcpTransport::exchange(const QByteArray& frame, int frameMode, int replyBudgetMs)
{
    std::lock_guard<std::mutex> lock(ioLock);
    return exchangeLocked(frame, frameMode, replyBudgetMs, -1, nullptr);
}

QByteArray TcpTransport::exchangePatiently(const QByteArray& frame, int frameMode, int stallMs, int restMs,
                                           const std::function<bool()>& abandoned, bool* silent)
{
    if (silent)
        *silent = false;
    std::lock_guard<std::mutex> lock(ioLock);
    return exchangeLocked(frame, frameMode, stallMs, restMs, abandoned, silent);
}

QByteArray TcpTransport::exchangeLocked(const QByteArray& frame, int frameMode, int replyBudgetMs, int restMs,
                                        const std::function<bool()>& abandoned, bool* silent)
{
    // A late reply of an earlier request must not be taken for this one.
    if (!checkLinkLocked())
        return QByteArray();
    if (!SocketOps::sendAll(fd, frame.constData(), frame.size())) {
        markClosed(QStringLiteral("The remote host closed the connection"));
        return QByteArray();
    }
    const ReplyCollector::Result result = collectLocked(frame, frameMode, replyBudgetMs, restMs, abandoned);
    if (result.outcome == ReplyCollector::Outcome::NothingCame) {
        qCDebug(acmLog).noquote() << kReadySig << "2 Error." << 0;
        if (silent)
            *silent = true;
    }
    return settleLocked(result);
}

// A reply: the answer. A closed link: closed. Anything else may still have a reply under way, so
// the link is renewed before its next use.
QByteArray TcpTransport::settleLocked(const ReplyCollector::Result& result)
{
    if (result.outcome == ReplyCollector::Outcome::Answered)
        return result.frame;
    if (result.outcome == ReplyCollector::Outcome::LinkLost) {
        markClosed(QStringLiteral("The remote host closed the connection"));
        return QByteArray();
    }
    renewBeforeUse = true;
    linkRenewed();
    return QByteArray();
}

ReplyCollector::Result TcpTransport::collectLocked(const QByteArray& frame, int frameMode, int budgetMs, int restMs,
                                                   const std::function<bool()>& abandoned)
{
    QElapsedTimer waited;
    waited.start();
    return ReplyCollector::collect(frameMode, frame, [&](QByteArray& buffer, int waitMs) {
        // A caller with a wait of its own (the remote buffer's 500 ms) gets it as the socket's read
        // wait once, so that its reads too are one blocking call, not a poll and a read.
        if (waitMs >= kOwnReadWaitFromMs && waitMs != readWaitMs && SocketOps::setReadWait(fd, waitMs))
            readWaitMs = waitMs;
        if ((abandoned && abandoned()) || longWaitCut(waited.elapsed()))
            return false;
        return SocketOps::readSome(fd, buffer, waitMs, readWaitMs) != SocketOps::ReadResult::Closed;
    }, budgetMs, restMs);
}

QByteArray TcpTransport::awaitMoreOfReply(const QByteArray& frame, int frameMode, int waitMs,
                                          const std::function<bool()>& abandoned, bool* silent)
{
    *silent = false;
    std::lock_guard<std::mutex> lock(ioLock);
    if (fd < 0)
        return QByteArray();
    const ReplyCollector::Result result = collectLocked(frame, frameMode, waitMs, waitMs, abandoned);
    if (result.outcome == ReplyCollector::Outcome::NothingCame) {
        *silent = true; // the link is as it was: nothing more of that request is under way
        return QByteArray();
    }
    return settleLocked(result);
}

void TcpTransport::distrustLastReply()
{
    std::lock_guard<std::mutex> lock(ioLock);
    if (fd < 0)
        return;
    renewBeforeUse = true;
    linkRenewed();
}

void TcpTransport::shutdown()
{
    std::lock_guard<std::mutex> lock(ioLock);
    closeLocked();
}
