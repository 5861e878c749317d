#include "FtpClient.h"

#include <QHostAddress>
#include <QIODevice>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
// How far the upload runs ahead of the kernel: enough to keep the socket busy, little memory.
constexpr qint64 kUploadWindow = 1 << 20;
constexpr int kUploadChunk = 256 * 1024;

// A line break would end the command early and let the rest pass as a command of its own.
bool isUnsafeArgument(const QByteArray& argument)
{
    return argument.contains('\r') || argument.contains('\n') || argument.contains('\0');
}
}

FtpClient::FtpClient(QObject* parent)
    : QObject(parent), m_control(new QTcpSocket(this)), m_stepTimer(new QTimer(this)), m_startTimer(new QTimer(this))
{
    m_stepTimer->setSingleShot(true);
    m_stepTimer->setTimerType(Qt::PreciseTimer); // a coarse one may end the wait 5 % early
    m_startTimer->setSingleShot(true);
    m_startTimer->setInterval(0);
    QObject::connect(m_stepTimer, &QTimer::timeout, this, &FtpClient::onStepTimeout);
    QObject::connect(m_startTimer, &QTimer::timeout, this, &FtpClient::startNext);
    QObject::connect(m_control, &QTcpSocket::connected, this, &FtpClient::onControlConnected);
    QObject::connect(m_control, &QTcpSocket::readyRead, this, &FtpClient::onControlReadable);
    QObject::connect(m_control, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::UnconnectedState)
            onControlUnconnected();
    });
}

FtpClient::~FtpClient()
{
    // Silence the sockets first: aborting them emits signals into a half-destroyed object.
    m_control->disconnect(this);
    dropTransfer();
    m_control->abort();
}

void FtpClient::setTransferMode(TransferMode) {}

void FtpClient::setStepTimeout(int ms)
{
    m_stepTimeoutMs = ms > 0 ? ms : CommTiming::now().ftpStepMs;
}

int FtpClient::connectToHost(const QString& host, quint16 port)
{
    Queued c;
    c.type = ConnectToHost;
    c.host = host;
    c.port = port;
    return enqueue(c);
}

int FtpClient::login(const QString& user, const QString& password)
{
    Queued c;
    c.type = Login;
    c.path = user.isEmpty() ? QByteArray("anonymous") : user.toLatin1();
    c.password = password.toLatin1();
    return enqueue(c);
}

int FtpClient::put(QIODevice* device, const QString& file, TransferType type)
{
    Queued c;
    c.type = Put;
    c.device = device;
    c.path = file.toLatin1();
    c.transferType = type;
    return enqueue(c);
}

int FtpClient::get(const QString& file, QIODevice* device, TransferType type)
{
    Queued c;
    c.type = Get;
    c.device = device;
    c.path = file.toLatin1();
    c.transferType = type;
    return enqueue(c);
}

int FtpClient::mkdir(const QString& dir)
{
    Queued c;
    c.type = Mkdir;
    c.path = dir.toLatin1();
    return enqueue(c);
}

int FtpClient::close()
{
    Queued c;
    c.type = Close;
    return enqueue(c);
}

FtpClient::Command FtpClient::currentCommand() const
{
    return m_running ? m_current.type : None;
}

QString FtpClient::errorString() const
{
    return m_error;
}

int FtpClient::enqueue(Queued command)
{
    command.id = ++m_lastId;
    m_queue.append(command);
    scheduleStart();
    return command.id;
}

// Commands start from the event loop, never inside the call that queued them, so a slot that
// queues the next command from commandFinished sees that command start afterwards.
void FtpClient::scheduleStart()
{
    if (!m_running && !m_queue.isEmpty())
        m_startTimer->start();
}

void FtpClient::startNext()
{
    if (m_running || m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    m_running = true;
    m_step = Idle;
    const QPointer<FtpClient> alive(this);
    emit commandStarted(m_current.id);
    if (alive && m_running)
        begin();
}

bool FtpClient::controlReady() const
{
    return m_greeted && m_control->state() == QAbstractSocket::ConnectedState;
}

void FtpClient::begin()
{
    touch();
    switch (m_current.type) {
    case ConnectToHost:
        abortControl();
        m_step = AwaitConnected;
        m_control->connectToHost(m_current.host, m_current.port);
        return;
    case Close:
        if (!controlReady()) {
            abortControl();
            finish(false);
            return;
        }
        sendCommand("QUIT", QByteArray(), AwaitQuit);
        return;
    case Login:
        if (controlReady())
            sendCommand("USER", m_current.path, AwaitUser);
        else
            fail(tr("Not connected"));
        return;
    case Mkdir:
        if (controlReady())
            sendCommand("MKD", m_current.path, AwaitMkd);
        else
            fail(tr("Not connected"));
        return;
    case Put:
    case Get:
        beginTransfer();
        return;
    case None:
        finish(false);
        return;
    }
}

void FtpClient::beginTransfer()
{
    if (!controlReady()) {
        fail(tr("Not connected"));
        return;
    }
    if (!m_current.device || !m_current.device->isOpen()) {
        fail(tr("The local file is not open"));
        return;
    }
    m_transferred = 0;
    m_total = m_current.type == Put ? m_current.device->size() : 0;
    m_transferOpen = m_transferReply = m_uploadEnded = m_dataClosed = m_progressReported = false;
    sendCommand("TYPE", m_current.transferType == Binary ? "I" : "A", AwaitType);
}

void FtpClient::sendCommand(const QByteArray& verb, const QByteArray& argument, Step next)
{
    if (isUnsafeArgument(argument)) {
        fail(tr("A line break or a zero byte in the argument of %1").arg(QString::fromLatin1(verb)));
        return;
    }
    m_step = next;
    m_control->write(argument.isEmpty() ? verb + "\r\n" : verb + ' ' + argument + "\r\n");
    touch();
}

void FtpClient::touch()
{
    if (m_running)
        m_stepTimer->start(m_stepTimeoutMs);
}

void FtpClient::onControlConnected()
{
    if (m_running && m_step == AwaitConnected) {
        m_step = AwaitGreeting;
        touch();
    }
}

void FtpClient::onControlReadable()
{
    touch();
    m_parser.feed(m_control->readAll());
    const QPointer<FtpClient> alive(this);
    FtpReply reply;
    for (;;) {
        const FtpReplyParser::Status status = m_parser.next(&reply);
        if (status == FtpReplyParser::NeedMore)
            return;
        if (status == FtpReplyParser::Malformed) {
            if (m_running)
                fail(tr("Malformed reply from the server"), true);
            else
                abortControl();
            return;
        }
        onReply(reply);
        if (!alive)
            return;
    }
}

void FtpClient::onControlUnconnected()
{
    if (m_silencingControl)
        return;
    m_greeted = false;
    const QPointer<FtpClient> alive(this);
    if (m_control->bytesAvailable() > 0)
        onControlReadable(); // the server's last words, e.g. its reply to QUIT
    if (!alive || !m_running)
        return;
    switch (m_step) {
    case Idle:
        return;
    case AwaitQuit:
        finish(false);
        return;
    case AwaitConnected:
        fail(tr("Connecting to %1 failed: %2").arg(m_current.host, m_control->errorString()));
        return;
    default:
        fail(tr("Connection closed by the server: %1").arg(m_control->errorString()));
        return;
    }
}

QString FtpClient::failedText(const char* what, const FtpReply& reply) const
{
    return tr("%1 failed: %2").arg(QLatin1String(what), QString::fromLatin1(reply.codeAndText()));
}

void FtpClient::onReply(const FtpReply& reply)
{
    if (!m_running)
        return; // e.g. "421 timeout" before the server hangs up
    switch (m_step) {
    case Idle:
    case AwaitConnected:
        return;
    case AwaitGreeting:
        if (reply.isPreliminary())
            return; // "120 ready in n minutes": the greeting follows
        if (reply.isCompletion()) {
            m_greeted = true;
            finish(false);
        } else {
            fail(tr("Connecting to %1 failed: %2").arg(m_current.host, QString::fromLatin1(reply.codeAndText())), true);
        }
        return;
    case AwaitUser:
        if (reply.isCompletion())
            finish(false);
        else if (reply.code == 331)
            sendCommand("PASS", m_current.password, AwaitPass);
        else
            fail(failedText("Login", reply));
        return;
    case AwaitPass:
        if (reply.isCompletion())
            finish(false);
        else
            fail(failedText("Login", reply));
        return;
    case AwaitMkd:
        if (reply.isCompletion())
            finish(false);
        else
            fail(failedText("Making the directory", reply));
        return;
    case AwaitQuit:
        abortControl();
        finish(false);
        return;
    case AwaitType:
        if (reply.isCompletion())
            openDataPort();
        else
            fail(failedText(m_current.type == Put ? "Upload" : "Download", reply));
        return;
    case AwaitPort:
        if (reply.isCompletion())
            sendCommand(m_current.type == Put ? "STOR" : "RETR", m_current.path, AwaitTransfer);
        else
            fail(failedText(m_current.type == Put ? "Upload" : "Download", reply));
        return;
    case AwaitTransfer:
        onTransferReply(reply);
        return;
    }
}

void FtpClient::onTransferReply(const FtpReply& reply)
{
    if (reply.isPreliminary()) {
        m_transferOpen = true;
        if (m_current.type == Get) {
            // "150 Opening BINARY mode data connection for f (1234 bytes)" is how servers say the size.
            static const QRegularExpression size(QStringLiteral("\\((\\d+) bytes\\)"));
            const QRegularExpressionMatch m = size.match(QString::fromLatin1(reply.text));
            if (m.hasMatch())
                m_total = m.captured(1).toLongLong();
        }
        pumpUpload();
        return;
    }
    if (!reply.isCompletion()) {
        fail(failedText(m_current.type == Put ? "Upload" : "Download", reply));
        return;
    }
    m_transferReply = true;
    maybeFinishTransfer();
}

void FtpClient::openDataPort()
{
    bool isV4 = false;
    const quint32 local = m_control->localAddress().toIPv4Address(&isV4);
    if (!isV4) {
        fail(tr("Active transfers need an IPv4 control connection"));
        return;
    }
    m_listener = new QTcpServer(this);
    QObject::connect(m_listener, &QTcpServer::newConnection, this, &FtpClient::onDataConnection);
    if (!m_listener->listen(QHostAddress(local), 0)) {
        fail(tr("Opening a data port failed: %1").arg(m_listener->errorString()));
        return;
    }
    const quint16 port = m_listener->serverPort();
    const QByteArray argument = QByteArray::number(local >> 24) + ',' + QByteArray::number((local >> 16) & 0xff) + ',' +
                                QByteArray::number((local >> 8) & 0xff) + ',' + QByteArray::number(local & 0xff) + ',' +
                                QByteArray::number(port >> 8) + ',' + QByteArray::number(port & 0xff);
    sendCommand("PORT", argument, AwaitPort);
}

void FtpClient::onDataConnection()
{
    if (!m_listener)
        return;
    while (QTcpSocket* socket = m_listener->nextPendingConnection()) {
        // Only the server we talk to may deliver or take the data.
        if (m_data || !socket->peerAddress().isEqual(m_control->peerAddress(), QHostAddress::ConvertV4MappedToIPv4)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_data = socket;
        m_data->setParent(this); // the listener goes before the transfer ends
        QObject::connect(m_data, &QTcpSocket::bytesWritten, this, &FtpClient::onDataBytesWritten);
        QObject::connect(m_data, &QTcpSocket::readyRead, this, &FtpClient::onDataReadable);
        QObject::connect(m_data, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
            if (state == QAbstractSocket::UnconnectedState)
                onDataUnconnected();
        });
    }
    if (!m_data)
        return;
    m_listener->close();
    touch();
    if (m_current.type == Put)
        pumpUpload();
    else
        onDataReadable();
}

bool FtpClient::reportProgress()
{
    m_progressReported = true;
    const QPointer<FtpClient> alive(this);
    emit dataTransferProgress(m_transferred, m_total);
    return alive;
}

void FtpClient::onDataBytesWritten(qint64 bytes)
{
    m_transferred += bytes;
    touch();
    if (reportProgress())
        pumpUpload();
}

void FtpClient::pumpUpload()
{
    if (m_current.type != Put || !m_data || !m_transferOpen || m_uploadEnded)
        return;
    if (!m_current.device) {
        fail(tr("The local file was closed during the upload"));
        return;
    }
    if (m_chunk.size() != kUploadChunk)
        m_chunk.resize(kUploadChunk);
    while (m_data->bytesToWrite() < kUploadWindow) {
        const qint64 n = m_current.device->read(m_chunk.data(), m_chunk.size());
        if (n < 0) {
            fail(tr("Reading the local file failed: %1").arg(m_current.device->errorString()));
            return;
        }
        if (n == 0) {
            m_uploadEnded = true;
            break;
        }
        m_data->write(m_chunk.constData(), n);
    }
    if (!m_uploadEnded)
        return;
    // An empty file moves no bytes; its progress is still reported once.
    if (!m_progressReported && !reportProgress())
        return;
    m_data->disconnectFromHost(); // the end of the data connection is the end of the file
}

void FtpClient::onDataReadable()
{
    if (m_current.type != Get || !m_data)
        return;
    const QByteArray bytes = m_data->readAll();
    if (bytes.isEmpty())
        return;
    touch();
    if (!m_current.device || m_current.device->write(bytes) != bytes.size()) {
        fail(tr("Writing the local file failed: %1")
                 .arg(m_current.device ? m_current.device->errorString() : tr("the file was closed")));
        return;
    }
    m_transferred += bytes.size();
    reportProgress();
}

void FtpClient::onDataUnconnected()
{
    if (!m_running || !m_data)
        return;
    if (m_current.type == Put && !m_uploadEnded) {
        fail(tr("Upload failed: the data connection ended before the whole file was sent: %1")
                 .arg(m_data->errorString()));
        return;
    }
    if (m_current.type == Get) {
        const QPointer<FtpClient> alive(this);
        onDataReadable();
        if (!alive || !m_running)
            return;
        if (m_data->error() != QAbstractSocket::RemoteHostClosedError &&
            m_data->error() != QAbstractSocket::UnknownSocketError) {
            fail(tr("Download failed: %1").arg(m_data->errorString()));
            return;
        }
    }
    m_dataClosed = true;
    maybeFinishTransfer();
}

void FtpClient::maybeFinishTransfer()
{
    if (!m_transferReply)
        return;
    if (m_current.type == Put) {
        // The server can only have seen the whole file after we ended the data connection.
        if (!m_uploadEnded)
            fail(tr("Upload failed: the server ended the transfer before the whole file was sent"));
        else
            finish(false);
        return;
    }
    if (m_dataClosed)
        finish(false);
}

void FtpClient::onStepTimeout()
{
    if (m_running)
        fail(tr("No answer from the server within %1 ms").arg(m_stepTimeoutMs), true);
}

void FtpClient::fail(const QString& text, bool dropControl)
{
    m_error = text;
    if (dropControl)
        abortControl(); // a late answer must not pass for the reply to a later command
    finish(true);
}

void FtpClient::finish(bool error)
{
    dropTransfer();
    m_stepTimer->stop();
    m_step = Idle;
    if (error)
        m_queue.clear();
    const QPointer<FtpClient> alive(this);
    emit commandFinished(m_current.id, error);
    if (!alive)
        return;
    m_running = false;
    m_current = Queued();
    if (m_queue.isEmpty())
        emit done(error);
    else
        scheduleStart();
}

void FtpClient::abortControl()
{
    m_silencingControl = true;
    m_control->abort();
    m_silencingControl = false;
    m_parser.reset();
    m_greeted = false;
}

// Also called from the data socket's own signals, hence deleteLater.
void FtpClient::dropTransfer()
{
    if (m_data) {
        m_data->disconnect(this);
        m_data->abort();
        m_data->deleteLater();
        m_data = nullptr;
    }
    if (m_listener) {
        m_listener->disconnect(this);
        m_listener->close();
        m_listener->deleteLater();
        m_listener = nullptr;
    }
}
