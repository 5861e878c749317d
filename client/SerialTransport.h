#pragma once
#include "Transport.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class IoThread;
class SerialPortAdapter;

// RS-232 link to the controller. The port lives on the given IoThread only and
// is driven with bounded blocking reads, so callers need no event loop.
class SerialTransport : public Transport
{
public:
    // Applies the line settings to a port before it opens; runs on the IoThread.
    using LineSetup = std::function<void(SerialPortAdapter&)>;

    SerialTransport(IoThread& ioThread, LineSetup setup);
    ~SerialTransport() override;

    // host is the port name; a serial line has no port number, so port is unused.
    // A failed open leaves an open port as it was.
    bool open(const QByteArray& host, quint16 port, int timeoutMs) override;
    bool close(int timeoutMs) override;
    bool isOpen() const override;
    bool checkLink() override;
    using Transport::exchange;
    QByteArray exchange(const QByteArray& frame, int frameMode, int replyBudgetMs) override;
    void distrustLastReply() override;
    QString errorText() const override;
    void shutdown() override;

private:
    void notePortState(const SerialPortAdapter* from);
    void discardStaleBytes();
    void waitForQuietLine();
    QByteArray collectReply(const QByteArray& request, int frameMode, int budgetMs);

    IoThread& io;
    LineSetup lineSetup;
    std::unique_ptr<SerialPortAdapter> port; // touched only inside io tasks
    QString openedName;                      // as given to open(); Qt shortens the port's own name
    std::atomic<bool> portOpen{false};
    bool quietBeforeUse = false; // a reply wait failed or its reply was unusable: more may be on its way
    mutable std::mutex errorMutex;
    QString lastError;
};
