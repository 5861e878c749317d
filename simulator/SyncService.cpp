#include "SyncService.h"

#include <QTcpServer>
#include <QTcpSocket>

bool SyncService::listen(QObject* parent, const QHostAddress& address, quint16 port)
{
    m_server = new QTcpServer(parent);
    if (!m_server->listen(address, port)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
        while (QTcpSocket* s = m_server->nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { onReadable(s); });
            QObject::connect(s, &QTcpSocket::disconnected, m_server, [this, s] {
                m_pending.remove(s);
                s->deleteLater();
            });
        }
    });
    return true;
}

void SyncService::onReadable(QTcpSocket* socket)
{
    QByteArray bytes = m_pending.take(socket) + socket->readAll();
    while (bytes.size() >= 4) {
        if (!bytes.startsWith("sync")) {
            socket->abort();
            return;
        }
        bytes.remove(0, 4);
        ++m_count;
        socket->write("ok");
    }
    if (!bytes.isEmpty())
        m_pending.insert(socket, bytes);
}
