#include "TcpTransport.h"

#include "FrameBoundary.h"
#include "FrameMode.h"
#include "IoThread.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QTcpSocket>

namespace {
constexpr int kReplyWaitMs = 600;
constexpr int kReplyWaits = 3;
const char* const kReadySig = "bool AsynchronousClient::myReadyRead()";
}

TcpTransport::TcpTransport(IoThread& ioThread) : io(ioThread) {}

TcpTransport::~TcpTransport()
{
    shutdown();
}

void TcpTransport::ensureSocket()
{
    if (socket)
        return;
    socket = new QTcpSocket();
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void TcpTransport::noteSocketState()
{
    const bool up = socket && socket->state() == QAbstractSocket::ConnectedState;
    connected.store(up);
    if (socket) {
        std::lock_guard<std::mutex> lock(errorMutex);
        lastError = socket->errorString();
    }
}

bool TcpTransport::open(const QByteArray& host, quint16 port, int timeoutMs)
{
    bool ok = false;
    io.call([&] {
        ensureSocket();
        if (socket->state() == QAbstractSocket::ConnectedState) {
            ok = true;
        } else {
            if (socket->state() != QAbstractSocket::UnconnectedState)
                socket->abort();
            socket->connectToHost(QString::fromLatin1(host), port, QIODevice::ReadWrite,
                                  QAbstractSocket::AnyIPProtocol);
            ok = socket->waitForConnected(timeoutMs);
            if (!ok)
                socket->abort();
        }
        noteSocketState();
    });
    return ok;
}

bool TcpTransport::close(int timeoutMs)
{
    bool closed = true;
    io.call([&] {
        if (!socket)
            return;
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            closed = socket->waitForDisconnected(timeoutMs);
        noteSocketState();
    });
    return closed;
}

bool TcpTransport::isOpen() const
{
    return connected.load();
}

QString TcpTransport::errorText() const
{
    std::lock_guard<std::mutex> lock(errorMutex);
    return lastError;
}

// Collects bytes until they form one complete reply, within three waits.
QByteArray TcpTransport::collectReply(int frameMode)
{
    QByteArray reply;
    if (socket->bytesAvailable() > 0)
        qDebug().noquote() << kReadySig << "1 Error." << socket->bytesAvailable();
    reply += socket->readAll();
    QElapsedTimer clock;
    clock.start();
    const qint64 budget = qint64(kReplyWaitMs) * kReplyWaits;
    int emptyWaits = 0;
    while (emptyWaits < kReplyWaits && reply.size() < kFrameBufferSize) {
        const int complete = FrameBoundary::replyLength(
            frameMode, reinterpret_cast<const uint8_t*>(reply.constData()), reply.size());
        if (complete > 0)
            return reply.left(complete);
        const qint64 left = budget - clock.elapsed();
        if (left <= 0 || socket->state() != QAbstractSocket::ConnectedState)
            break;
        if (socket->waitForReadyRead(int(qMin<qint64>(left, kReplyWaitMs))))
            reply += socket->readAll();
        else
            ++emptyWaits;
    }
    if (reply.isEmpty())
        qDebug().noquote() << kReadySig << "2 Error." << 0;
    return reply;
}

QByteArray TcpTransport::exchange(const QByteArray& frame, int frameMode)
{
    QByteArray reply;
    io.call([&] {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
            noteSocketState();
            return;
        }
        // A late reply of an earlier request must not be taken for this one.
        for (int round = 0; round < 64; ++round) {
            if (!socket->waitForReadyRead(0) && socket->bytesAvailable() == 0)
                break;
            if (socket->readAll().isEmpty())
                break;
        }
        if (socket->write(frame) == frame.size())
            socket->waitForBytesWritten(kReplyWaitMs);
        reply = collectReply(frameMode);
        noteSocketState();
    });
    return reply;
}

void TcpTransport::shutdown()
{
    io.call([&] {
        if (!socket)
            return;
        socket->abort();
        delete socket;
        socket = nullptr;
        noteSocketState();
    });
}
