#include "SerialEndpoint.h"

#include "Checksum.h"
#include "FrameBoundary.h"
#include "FrameMode.h"
#include "FrameReader.h"
#include "FrameWriter.h"
#include "RequestChannel.h"
#include "SimulatorThread.h"
#include "WireFields.h"

#include <QSerialPort>
#include <QTimer>

#include <cstdio>

namespace {
QByteArray framed(const uint8_t* buf, int n)
{
    return n > 0 ? QByteArray(reinterpret_cast<const char*>(buf), n) : QByteArray();
}

// Moves the command code and its fields from one framing into another.
QByteArray reframe(const QByteArray& frame, int fromMode, int toMode, bool asReply)
{
    const FrameReader r(reinterpret_cast<const uint8_t*>(frame.constData()), frame.size(), fromMode);
    if (!r.has(r.headerLen(), 1))
        return QByteArray();
    const QByteArray fields = r.tail(r.headerLen() + 1);
    uint8_t buf[kFrameBufferSize];
    FrameWriter w(buf, sizeof buf, toMode);
    w.code(r.byteAt(r.headerLen())).bytes(reinterpret_cast<const uint8_t*>(fields.constData()), fields.size());
    return framed(buf, asReply ? w.finishReply() : w.finishRequest());
}

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
    m_pending += port.readAll();
    takeFrames(port, quiet, false);
}

// Serves every complete request held. A request whose layout leaves its length open waits for
// the line to fall quiet (quietNow: the quiet timer fired with no byte since).
void SerialEndpoint::takeFrames(QSerialPort& port, QTimer& quiet, bool quietNow)
{
    using FrameBoundary::Verdict;
    const char leadIn = m_mode == FrameSerialColon ? ':' : char(0x01);
    quiet.stop();
    for (;;) {
        const int at = m_pending.indexOf(leadIn); // skip noise before a frame
        m_pending.remove(0, at < 0 ? m_pending.size() : at);
        if (m_pending.isEmpty())
            return;
        const auto* data = reinterpret_cast<const uint8_t*>(m_pending.constData());
        const FrameBoundary::Cut cut = FrameBoundary::request(m_mode, data, m_pending.size());
        if (cut.verdict == Verdict::NeedMore)
            break;
        if (cut.verdict == Verdict::CompleteWhenQuiet && !quietNow) {
            quiet.start(kQuietGapMs);
            return;
        }
        const QByteArray frame = m_pending.left(cut.length);
        if (cut.verdict == Verdict::Broken || !checksumPasses(frame)) {
            m_pending.remove(0, 1); // not a frame at this lead-in: look for the next one
            continue;
        }
        m_pending.remove(0, cut.length);
        answer(port, frame);
        quietNow = false;
    }
    if (m_pending.size() > kFrameBufferSize) // garbage that never forms a frame
        m_pending.clear();
}

bool SerialEndpoint::checksumPasses(const QByteArray& frame) const
{
    const auto* data = reinterpret_cast<const uint8_t*>(frame.constData());
    const int n = frame.size();
    return n >= 4 && WireFields::getUInt16(data + n - 2) == Checksum::crc16(data, uint16_t(n - 2));
}

void SerialEndpoint::answer(QSerialPort& port, const QByteArray& request)
{
    const QByteArray tcpRequest = reframe(request, m_mode, FrameTcp, false);
    if (tcpRequest.isEmpty())
        return;
    {
        std::lock_guard<std::mutex> g(m_controller.lock);
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
        reply = reframe(m_controller.model.reply(tcpRequest, scripted ? script.status : ControllerModel::kDefaultStatus),
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
