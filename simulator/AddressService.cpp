#include "AddressService.h"

#include "AddressDatagram.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

bool AddressService::bind(QObject* parent, const QHostAddress& address, quint16 port)
{
    m_socket = new QUdpSocket(parent);
    // Shared, because the library binds the same port on every local address.
    if (!m_socket->bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    QObject::connect(m_socket, &QUdpSocket::readyRead, m_socket, [this] { onReadable(); });
    return true;
}

QList<QByteArray> AddressService::receivedTexts() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_texts;
}

void AddressService::onReadable()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        QByteArray text;
        if (!AddressDatagram::parse(datagram.data(), &text))
            continue; // also our own answer, should it loop back
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_texts.append(text);
        }
        m_socket->writeDatagram(QByteArray("ok"), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}
