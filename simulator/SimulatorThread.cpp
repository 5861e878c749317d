#include "SimulatorThread.h"
#include "FrameMode.h"
#include "RequestChannel.h"
#include "RequestKind.h"
#include "TcpRequestReader.h"
#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <future>
#include <memory>
#include <vector>
#include <cstdio>

bool SimulatorThread::startListening(const QString& addr, quint16 port)
{
    // An address that does not parse would become the null address, which listens on every interface.
    if (QHostAddress(addr).isNull())
        return false;
    address = addr;
    m_port = port;
    return startServing();
}

void SimulatorThread::stopListening()
{
    stopServing();
}

// Runs task on the simulator's loop and waits for it. The hand-over uses only std
// primitives (a locked list that the loop drains on a short timer, then a promise): Qt's
// own cross-thread calls synchronise through futexes that race detectors cannot follow.
bool SimulatorThread::runOnLoop(const std::function<void()>& task)
{
    if (!m_context)
        return false;
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    {
        std::lock_guard<std::mutex> g(m_tasksLock);
        m_tasks.push_back([task, done] {
            task();
            done->set_value();
        });
    }
    return finished.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

void SimulatorThread::runTasks()
{
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard<std::mutex> g(m_tasksLock);
        tasks.swap(m_tasks);
    }
    for (const std::function<void()>& task : tasks)
        task();
}

void SimulatorThread::dropConnections()
{
    runOnLoop([this] {
        for (QTcpSocket* s : m_context.load()->findChildren<QTcpSocket*>())
            s->abort();
    });
}

bool SimulatorThread::startAddressService(quint16 port)
{
    auto ok = std::make_shared<bool>(false);
    const QHostAddress host(address);
    return runOnLoop([this, ok, host, port] { *ok = addressService.bind(m_context.load(), host, port); }) && *ok;
}

bool SimulatorThread::startSyncService(quint16 port)
{
    auto ok = std::make_shared<bool>(false);
    const QHostAddress host(address);
    return runOnLoop([this, ok, host, port] { *ok = syncService.listen(m_context.load(), host, port); }) && *ok;
}

void SimulatorThread::serve()
{
    QObject context;
    QTcpServer server(&context);
    const bool ok = server.listen(QHostAddress(address), m_port);
    m_context = ok ? &context : nullptr;
    reportReady(ok);
    if (!ok)
        return;
    QTimer tasks(&context);
    QObject::connect(&tasks, &QTimer::timeout, &context, [this] { runTasks(); });
    tasks.start(5);
    QObject::connect(&server, &QTcpServer::newConnection, &context, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            s->setParent(&context);
            m_sessions.insert(s, ++m_lastSession);
            ++connections;
            QObject::connect(s, &QTcpSocket::readyRead, &context, [this, s] { onReadable(s); });
            QObject::connect(s, &QTcpSocket::disconnected, &context, [this, s] {
                --connections;
                m_pending.remove(s);
                m_held.remove(s);
                model.programs().endSession(m_sessions.take(s));
                s->deleteLater();
            });
        }
    });
    exec();
    m_context = nullptr;
    for (QTcpSocket* s : context.findChildren<QTcpSocket*>())
        s->abort();
}

void SimulatorThread::onReadable(QTcpSocket* socket)
{
    // Work on a copy: answering may close the socket, which drops its entry from m_pending.
    QByteArray pending = m_pending.take(socket) + socket->readAll();
    const QPointer<QTcpSocket> alive(socket);
    const TcpRequestReader::Taken taken = TcpRequestReader::take(pending);
    for (const QByteArray& frame : taken.frames) {
        answer(socket, frame);
        if (!alive || socket->state() != QAbstractSocket::ConnectedState)
            return;
    }
    if (taken.broken) {
        socket->abort();
        return;
    }
    if (!pending.isEmpty())
        m_pending.insert(socket, pending);
}

// One byte now, the rest after pauses, for as long as the connection lasts.
void SimulatorThread::dribble(QTcpSocket* socket, const QByteArray& bytes, int pauseMs)
{
    if (bytes.isEmpty())
        return;
    socket->write(bytes.left(1));
    socket->flush();
    QTimer::singleShot(pauseMs, socket, [this, socket, rest = bytes.mid(1), pauseMs] { dribble(socket, rest, pauseMs); });
}

bool SimulatorThread::takeScript(uint8_t code, int sub, std::optional<int32_t> channel, ReplyScript& out)
{
    std::lock_guard<std::mutex> g(lock);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = scripts.size() - 1; i >= 0; --i) { // the newest script wins
            Script& s = scripts[i];
            if (s.code != code || (pass == 0 ? s.sub != sub : s.sub != -1))
                continue;
            if (s.script.channel >= 0 && channel != s.script.channel)
                continue;
            out = s.script;
            if (s.script.times > 0 && --s.script.times == 0)
                scripts.removeAt(i);
            return true;
        }
    }
    return false;
}

void SimulatorThread::answer(QTcpSocket* socket, const QByteArray& request)
{
    {
        std::lock_guard<std::mutex> g(lock);
        if (recordRequests)
            received.append(request);
    }
    socket->write(m_held.take(socket)); // the earlier request's reply, one behind
    const uint8_t code = request.size() > 7 ? uint8_t(request[7]) : 0;
    const int sub = request.size() > 8 ? uint8_t(request[8]) : 0; // no sub-code byte: scripts for 0 or any match
    ReplyScript script;
    const bool scripted = takeScript(code, sub, RequestChannel::of(request), script);
    QByteArray reply;
    if (scripted && script.kind != ReplyScript::Before && (script.kind == ReplyScript::Raw || !script.raw.isEmpty()))
        reply = script.raw;
    else
        reply = model.reply(request, scripted ? script.status : ControllerModel::kDefaultStatus, m_sessions.value(socket));
    if (verbose)
        std::fprintf(stderr, "sim %s <- %s: %s\nsim %s -> %s\n", qPrintable(address),
                     qPrintable(RequestKind::describe(code, sub)), request.toHex(' ').constData(), qPrintable(address),
                     reply.toHex(' ').constData());
    if (!scripted) {
        socket->write(reply);
        return;
    }
    switch (script.kind) {
    case ReplyScript::Silence:
        return;
    case ReplyScript::Close:
        socket->disconnectFromHost();
        return;
    case ReplyScript::Truncate:
        socket->write(reply.left(reply.size() / 2));
        return;
    case ReplyScript::CloseMidReply:
        socket->write(reply.left(qMax(1, reply.size() / 2)));
        socket->disconnectFromHost(); // the half goes out first
        return;
    case ReplyScript::BadChecksum:
        if (reply.size() > 5)
            reply[4] = char(uint8_t(reply[4]) + 1); // TCP has no check sum: the length field lies instead
        socket->write(reply);
        return;
    case ReplyScript::Before:
        socket->write(script.raw);
        socket->flush();
        if (script.delayMs < 0)
            m_held.insert(socket, reply);
        else
            QTimer::singleShot(script.delayMs, socket, [socket, reply] { socket->write(reply); });
        return;
    case ReplyScript::Delay:
        QTimer::singleShot(script.delayMs, socket, [socket, reply] { socket->write(reply); });
        return;
    case ReplyScript::Split: {
        const int half = reply.size() / 2;
        socket->write(reply.left(half));
        socket->flush();
        QTimer::singleShot(script.delayMs, socket, [socket, rest = reply.mid(half)] { socket->write(rest); });
        return;
    }
    case ReplyScript::Dribble:
        dribble(socket, reply, script.delayMs);
        return;
    default:
        socket->write(reply);
    }
}
