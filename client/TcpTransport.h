#pragma once
#include "ReplyCollector.h"
#include "Transport.h"

#include <atomic>
#include <functional>
#include <mutex>

// TCP link to the controller's command port over the operating system's socket, driven on
// whichever thread calls (the command's caller, or an asynchronous client's worker); calls
// are serialised by the transport's own lock, so no thread and no event loop is needed.
//
// After a reply wait that failed, or a reply the caller could not use, the next use opens a
// fresh connection first: whatever else the controller sends for that request then arrives on
// a closed socket and can never be taken for the answer to a later request. Bytes that arrive
// while no request waits are dropped before the next request goes.
class TcpTransport : public Transport
{
public:
    TcpTransport() = default;
    ~TcpTransport() override;

    bool open(const QByteArray& host, quint16 port, int timeoutMs) override;
    bool close(int timeoutMs) override;
    bool isOpen() const override;
    bool checkLink() override;
    using Transport::exchange;
    QByteArray exchange(const QByteArray& frame, int frameMode, int replyBudgetMs) override;
    // As exchange, for a link with one request at a time on it, where a late reply can only be
    // this request's: waits up to stallMs for the reply to begin and restMs more for its end.
    // The wait ends early, the link closed, once abandoned() says so (checked every read wait).
    // silent, when given, tells whether an empty result means that not one byte came.
    QByteArray exchangePatiently(const QByteArray& frame, int frameMode, int stallMs, int restMs,
                                 const std::function<bool()>& abandoned, bool* silent);
    // After a reply the caller may not take as final (an error reply, on a link with one request
    // at a time): waits up to waitMs, sending nothing, for more of frame's answer. Returns what
    // came; empty with silent set when nothing did (the link stays as it was), empty otherwise
    // when a broken frame came (the next use reconnects) or the link closed.
    QByteArray awaitMoreOfReply(const QByteArray& frame, int frameMode, int waitMs, const std::function<bool()>& abandoned,
                                bool* silent);
    void distrustLastReply() override;
    QString errorText() const override;
    void shutdown() override;

private:
    // Waits at least this long are given to the socket as its read wait; shorter ones (the quiet
    // gap) poll.
    static constexpr int kOwnReadWaitFromMs = 200;

    // All of these run with ioLock held.
    bool openLocked(int timeoutMs);
    void closeLocked();
    void markClosed(const QString& why);
    bool checkLinkLocked();
    bool renewAfterFailedWait();
    void setError(const QString& text);
    QByteArray settleLocked(const ReplyCollector::Result& result);
    ReplyCollector::Result collectLocked(const QByteArray& frame, int frameMode, int budgetMs, int restMs,
                                         const std::function<bool()>& abandoned);
    QByteArray exchangeLocked(const QByteArray& frame, int frameMode, int budgetMs, int restMs,
                              const std::function<bool()>& abandoned, bool* silent = nullptr);

    std::mutex ioLock;
    int fd = -1;
    bool renewBeforeUse = false;
    int readWaitMs = 0; // how long one read on fd blocks
    QByteArray host;
    quint16 port = 0;
    int connectTimeoutMs = 500;
    std::atomic<bool> up{false};
    mutable std::mutex errorMutex;
    QString lastError = QStringLiteral("Unknown error");
};
