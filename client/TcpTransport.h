#pragma once
#include "Transport.h"

#include <atomic>
#include <mutex>

class IoThread;
class QTcpSocket;

// TCP link to the controller's command port. The socket lives on the given
// IoThread only and is driven with blocking calls, so callers need no event loop.
class TcpTransport : public Transport
{
public:
    explicit TcpTransport(IoThread& ioThread);
    ~TcpTransport() override;

    bool open(const QByteArray& host, quint16 port, int timeoutMs) override;
    bool close(int timeoutMs) override;
    bool isOpen() const override;
    QByteArray exchange(const QByteArray& frame, int frameMode) override;
    QString errorText() const override;
    void shutdown() override;

private:
    void ensureSocket();
    void noteSocketState();
    QByteArray collectReply(const QByteArray& request, int frameMode);

    IoThread& io;
    QTcpSocket* socket = nullptr; // touched only inside io tasks
    std::atomic<bool> connected{false};
    mutable std::mutex errorMutex;
    QString lastError;
};
