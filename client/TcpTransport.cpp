#include "TcpTransport.h"

#include "FrameMode.h"
#include "IoThread.h"
#include "ReplyCollector.h"

#include <QDebug>
#include <QTcpSocket>

namespace {
using ReplyCollector::kReplyWaitMs;
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

QByteArray TcpTransport::collectReply(const QByteArray& request, int frameMode)
{
    if (socket->bytesAvailable() > 0)
        qDebug().noquote() << kReadySig << "1 Error." << socket->bytesAvailable();
    const ReplyCollector::Result result = ReplyCollector::collect(frameMode, request, [&](QByteArray& buffer, int waitMs) {
        if (socket->bytesAvailable() == 0 && socket->state() == QAbstractSocket::ConnectedState)
            socket->waitForReadyRead(waitMs);
        buffer += socket->readAll();
        return socket->state() == QAbstractSocket::ConnectedState;
    });
    if (result.outcome == ReplyCollector::Outcome::NothingCame)
        qDebug().noquote() << kReadySig << "2 Error." << 0;
    return result.outcome == ReplyCollector::Outcome::Answered ? result.frame : QByteArray();
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
        reply = collectReply(frame, frameMode);
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
