#pragma once
#include <QHash>
#include <QHostAddress>

#include <atomic>

class QObject;
class QTcpServer;
class QTcpSocket;

// The controller's sync service: after an FTP upload the library connects and sends the
// four bytes "sync"; each one is counted and answered. Anything else ends the connection.
class SyncService
{
public:
    // Call on the simulator's thread; the server becomes a child of parent.
    bool listen(QObject* parent, const QHostAddress& address, quint16 port);
    int syncCount() const { return m_count; }

private:
    void onReadable(QTcpSocket* socket);

    QTcpServer* m_server = nullptr;
    QHash<QTcpSocket*, QByteArray> m_pending; // bytes of a "sync" not complete yet
    std::atomic<int> m_count{0};
};
