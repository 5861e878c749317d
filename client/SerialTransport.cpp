#include "SerialTransport.h"
#include "CommTiming.h"

#include "FrameMode.h"
#include "IoThread.h"
#include "LogCategory.h"
#include "ReplyCollector.h"
#include "SerialPortAdapter.h"

#include <QElapsedTimer>

namespace {
constexpr int kStaleReadRounds = 64;
}

SerialTransport::SerialTransport(IoThread& ioThread, LineSetup setup) : io(ioThread), lineSetup(std::move(setup)) {}

SerialTransport::~SerialTransport()
{
    shutdown();
}

void SerialTransport::notePortState(const SerialPortAdapter* from)
{
    portOpen.store(port && port->isOpen());
    if (from) {
        std::lock_guard<std::mutex> lock(errorMutex);
        lastError = from->errorText();
    }
}

bool SerialTransport::open(const QByteArray& host, quint16, int)
{
    bool ok = false;
    io.call([&] {
        const QString name = QString::fromLocal8Bit(host);
        if (port && port->isOpen() && openedName == name) {
            ok = true;
            return;
        }
        // The new port replaces the open one only once it is open itself.
        std::unique_ptr<SerialPortAdapter> fresh(new SerialPortAdapter);
        fresh->setPortName(name);
        if (lineSetup)
            lineSetup(*fresh);
        ok = fresh->open();
        if (!ok) {
            notePortState(fresh.get());
            return;
        }
        if (port)
            port->close();
        port = std::move(fresh);
        openedName = name;
        linkRenewed();
        notePortState(port.get());
    });
    return ok;
}

bool SerialTransport::close(int)
{
    io.call([&] {
        if (!port)
            return;
        port->close();
        notePortState(port.get());
    });
    return true;
}

bool SerialTransport::isOpen() const
{
    return portOpen.load();
}

bool SerialTransport::checkLink()
{
    return portOpen.load();
}

QString SerialTransport::errorText() const
{
    std::lock_guard<std::mutex> lock(errorMutex);
    return lastError;
}

// A late reply of an earlier request must not be taken for this one.
void SerialTransport::discardStaleBytes()
{
    for (int round = 0; round < kStaleReadRounds; ++round) {
        if (port->read(0).isEmpty())
            return;
        if (round == 0)
            qCDebug(acmLog).noquote() << "dropped bytes that came while no request waited";
    }
}

// A serial line cannot be reopened to shed a late reply. A reply that missed its wait (or the
// real reply after an unusable one) follows within about one more reply wait, so the line must
// stay quiet that long (not just the gap that ends a frame) before the next request may go out,
// or the late reply would answer it.
void SerialTransport::waitForQuietLine()
{
    QElapsedTimer clock;
    clock.start();
    const CommTiming::Durations timing = CommTiming::now();
    const qint64 bound = qint64(timing.replyWaitMs) * timing.replyWaits;
    while (!port->read(timing.replyWaitMs).isEmpty() && clock.elapsed() < bound) {
    }
    quietBeforeUse = false;
}

QByteArray SerialTransport::collectReply(const QByteArray& request, int frameMode, int budgetMs)
{
    const ReplyCollector::Result result = ReplyCollector::collect(frameMode, request, [&](QByteArray& buffer, int waitMs) {
        if (!port->isOpen())
            return false;
        buffer += port->read(waitMs);
        return true;
    }, budgetMs);
    return result.outcome == ReplyCollector::Outcome::Answered ? result.frame : QByteArray();
}

QByteArray SerialTransport::exchange(const QByteArray& frame, int frameMode, int replyBudgetMs)
{
    QByteArray reply;
    io.call([&] {
        if (!port || !port->isOpen()) {
            notePortState(nullptr);
            return;
        }
        if (quietBeforeUse)
            waitForQuietLine();
        discardStaleBytes();
        if (port->write(frame, CommTiming::now().replyWaitMs))
            reply = collectReply(frame, frameMode, replyBudgetMs);
        quietBeforeUse = reply.isEmpty();
        notePortState(port.get());
    });
    return reply;
}

void SerialTransport::distrustLastReply()
{
    io.call([&] { quietBeforeUse = true; });
}

void SerialTransport::shutdown()
{
    io.call([&] {
        if (!port)
            return;
        port->close();
        port.reset();
        notePortState(nullptr);
    });
}
