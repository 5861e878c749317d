#pragma once
#include <QByteArray>
#include <QString>

#include <atomic>
#include "CommTiming.h"

// A byte link to one controller. exchange() sends one request frame and returns its reply
// frame: empty when no complete reply to that request came in time.
class Transport
{
public:
    virtual ~Transport() = default;
    virtual bool open(const QByteArray& host, quint16 port, int timeoutMs) = 0;
    // Returns true when the link is closed afterwards.
    virtual bool close(int timeoutMs) = 0;
    // The link as last seen; never blocks.
    virtual bool isOpen() const = 0;
    // Looks at the link now: drops bytes nobody asked for and notices a peer that closed it.
    // Returns whether it is still up. Never blocks behind a running exchange.
    virtual bool checkLink() = 0;
    // replyBudgetMs: how long the reply may take in all (CommTiming's command reply budget unless given).
    virtual QByteArray exchange(const QByteArray& frame, int frameMode, int replyBudgetMs) = 0;
    QByteArray exchange(const QByteArray& frame, int frameMode)
    {
        return exchange(frame, frameMode, CommTiming::now().commandReplyBudgetMs);
    }
    // The last exchange returned a frame that was no usable answer to its request (an error
    // reply, an unknown code, fields missing), so the controller may still send the real one:
    // before the next request, the link sheds whatever more that request brings, as after a
    // failed reply wait. Called before the next exchange, by the thread that ran the last one.
    virtual void distrustLastReply() = 0;
    virtual QString errorText() const = 0;
    // Releases the underlying device; the transport is unusable afterwards.
    virtual void shutdown() = 0;

    // Changes whenever the next request will not go on the connection the last one went on: an
    // open, or a failed reply wait after which the next use reconnects. The controller forgets
    // what a connection declared (the file a text goes to) with the connection.
    quint64 linkGeneration() const { return generation.load(); }

    // A disconnect or a removal: an exchange that has waited longer than CommTiming's command
    // reply budget (a longer reply wait the application chose) gives up at its next read, the link
    // closed; a wait within that budget ends as it always did. The next open lifts it. Any thread.
    void cutLongWaits() { longWaitsCut = true; }

protected:
    void linkRenewed() { ++generation; }
    void keepLongWaits() { longWaitsCut = false; }
    bool longWaitCut(qint64 waitedMs) const
    {
        return longWaitsCut.load() && waitedMs >= CommTiming::now().commandReplyBudgetMs;
    }

private:
    std::atomic<quint64> generation{0};
    std::atomic<bool> longWaitsCut{false};
};
