#pragma once
#include <QByteArray>
#include <QString>

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
    virtual QByteArray exchange(const QByteArray& frame, int frameMode) = 0;
    virtual QString errorText() const = 0;
    // Releases the underlying device; the transport is unusable afterwards.
    virtual void shutdown() = 0;
};
