#pragma once
#include <QByteArray>
#include <QString>

// A byte link to one controller. exchange() sends one request frame and
// returns the bytes of its reply (empty when none came in time).
class Transport
{
public:
    virtual ~Transport() = default;
    virtual bool open(const QByteArray& host, quint16 port, int timeoutMs) = 0;
    // Returns true when the link is closed afterwards.
    virtual bool close(int timeoutMs) = 0;
    // Never blocks behind a running exchange.
    virtual bool isOpen() const = 0;
    virtual QByteArray exchange(const QByteArray& frame, int frameMode) = 0;
    virtual QString errorText() const = 0;
    // Releases the underlying device; the transport is unusable afterwards.
    virtual void shutdown() = 0;
};
