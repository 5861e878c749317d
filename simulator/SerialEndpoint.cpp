#include "SerialEndpoint.h"

#include "FrameMode.h"
#include "FramingConverter.h"
#include "RequestChannel.h"
#include "SerialRequestReader.h"
#include "SimulatorThread.h"

#include <QSerialPort>
#include <QTimer>

#include <cstdio>

namespace {
// The check byte that a corrupted reply gets wrong: CRC high byte, or the LRC before the line feed.
int checkByteIndex(const QByteArray& reply, int mode)
{
    return mode == FrameSerialColon ? reply.size() - 2 : reply.size() - 1;
}
}

SerialEndpoint::SerialEndpoint(SimulatorThread& controller) : m_controller(controller) {}

SerialEndpoint::~SerialEndpoint()
{
    stopServing();
}

bool SerialEndpoint::startOn(const QString& devicePath, int frameMode)
{
    if (frameMode != FrameSerialStation && frameMode != FrameSerialColon)
        return false;
    m_path = devicePath;
    m_mode = frameMode;
    m_reader = std::make_unique<SerialRequestReader>(frameMode);
    return startServing();
}

void SerialEndpoint::serve()
{
    QSerialPort port;
    port.setPortName(m_path);
    port.setBaudRate(115200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    const bool ok = port.open(QIODevice::ReadWrite);
    reportReady(ok);
    if (!ok)
        return;
    QTimer quiet;
    quiet.setSingleShot(true);
    QObject::connect(&quiet, &QTimer::timeout, &port, [this, &port, &quiet] { takeFrames(port, quiet, true); });
    QObject::connect(&port, &QSerialPort::readyRead, &port, [this, &port, &quiet] { onReadable(port, quiet); });
    // The other end went away: stop polling a dead device.
    QObject::connect(&port, &QSerialPort::errorOccurred, &port, [&port](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError)
            port.close();
    });
    exec();
    port.close();
}

void SerialEndpoint::onReadable(QSerialPort& port, QTimer& quiet)
{
    m_reader->append(port.readAll());
    takeFrames(port, quiet, false);
}

// Serves every complete request held. A request whose layout leaves its length open waits for
// the line to fall quiet (quietNow: the quiet timer fired with no byte since).
void SerialEndpoint::takeFrames(QSerialPort& port, QTimer& quiet, bool quietNow)
{
    quiet.stop();
    bool waitForQuiet = false;
    for (const QByteArray& frame : m_reader->take(quietNow, &waitForQuiet))
        answer(port, frame);
    if (waitForQuiet)
        quiet.start(kQuietGapMs);
}

void SerialEndpoint::answer(QSerialPort& port, const QByteArray& request)
{
    const QByteArray tcpRequest = FramingConverter::convert(request, m_mode, FrameTcp, false);
    if (tcpRequest.isEmpty())
        return;
    {
        std::lock_guard<std::mutex> g(m_controller.lock);
        if (m_controller.recordRequests)
            m_controller.received.append(tcpRequest);
    }
    const uint8_t code = uint8_t(tcpRequest[7]);
    const int sub = tcpRequest.size() > 8 ? uint8_t(tcpRequest[8]) : 0;
    ReplyScript script;
    const bool scripted = m_controller.takeScript(code, sub, RequestChannel::of(tcpRequest), script);
    QByteArray reply;
    if (scripted && script.kind == ReplyScript::Raw)
        reply = script.raw; // already in the serial framing
    else
        reply = FramingConverter::convert(m_controller.model.reply(tcpRequest, scripted ? script.status : ControllerModel::kDefaultStatus),
                        FrameTcp, m_mode, true);
    if (m_controller.verbose)
        std::fprintf(stderr, "sim %s <- %s\nsim %s -> %s\n", qPrintable(m_path), request.toHex(' ').constData(),
                     qPrintable(m_path), reply.toHex(' ').constData());
    send(port, reply, scripted, script);
}

void SerialEndpoint::send(QSerialPort& port, const QByteArray& reply, bool scripted, const ReplyScript& script)
{
    if (reply.isEmpty())
        return;
    switch (scripted ? script.kind : ReplyScript::Status) {
    case ReplyScript::Silence:
    case ReplyScript::Close: // a serial line has nothing to hang up
        return;
    case ReplyScript::Truncate:
    case ReplyScript::CloseMidReply: // the line stays: what is left is a cut reply
        port.write(reply.left(reply.size() / 2));
        return;
    case ReplyScript::BadChecksum: {
        QByteArray bad = reply;
        bad[checkByteIndex(bad, m_mode)] = char(uint8_t(bad[checkByteIndex(bad, m_mode)]) ^ 0x5A);
        port.write(bad);
        return;
    }
    case ReplyScript::Before:
        port.write(FramingConverter::convert(script.raw, FrameTcp, m_mode, true));
        port.flush();
        QTimer::singleShot(script.delayMs, &port, [&port, reply] { port.write(reply); });
        return;
    case ReplyScript::Delay:
        QTimer::singleShot(script.delayMs, &port, [&port, reply] { port.write(reply); });
        return;
    case ReplyScript::Split: {
        const int half = reply.size() / 2;
        port.write(reply.left(half));
        port.flush();
        QTimer::singleShot(script.delayMs, &port, [&port, rest = reply.mid(half)] { port.write(rest); });
        return;
    }
    default:
        port.write(reply);
    }
}
