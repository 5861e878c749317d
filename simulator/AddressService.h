#pragma once
#include <QByteArray>
#include <QHostAddress>
#include <QList>

#include <mutex>

class QObject;
class QUdpSocket;

// The controller's address-setting service: receives the address datagram on UDP, records
// the address text and answers, as a controller would; the library ignores the answer.
class AddressService
{
public:
    // Call on the simulator's thread; the socket becomes a child of parent.
    bool bind(QObject* parent, const QHostAddress& address, quint16 port);
    QList<QByteArray> receivedTexts() const;

private:
    void onReadable();

    QUdpSocket* m_socket = nullptr;
    mutable std::mutex m_lock;
    QList<QByteArray> m_texts;
};
