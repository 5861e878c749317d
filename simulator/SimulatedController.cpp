#include "SimulatedController.h"
#include "SerialEndpoint.h"
#include "SimulatorThread.h"

#include <QCoreApplication>

SimulatedController::SimulatedController() = default;

SimulatedController::~SimulatedController()
{
    stop();
}

bool SimulatedController::start(const QString& address, quint16 port)
{
    stop();
    if (!address.isEmpty()) {
        m_thread.reset(new SimulatorThread);
        if (m_thread->startListening(address, port))
            return true;
        m_thread.reset();
        return false;
    }
    return startOnFreeHost(kFirstAutoHost, kLastAutoHost - kFirstAutoHost + 1, port);
}

bool SimulatedController::startOnFreeHost(int firstHost, int hosts, quint16 port)
{
    stop();
    const int offset = int(QCoreApplication::applicationPid() % hosts);
    for (int i = 0; i < hosts; ++i) {
        m_thread.reset(new SimulatorThread);
        if (m_thread->startListening(QStringLiteral("127.0.0.%1").arg(firstHost + (offset + i) % hosts), port))
            return true;
    }
    m_thread.reset();
    return false;
}

void SimulatedController::stop()
{
    m_serial.reset();
    if (m_thread)
        m_thread->stopListening();
    m_thread.reset();
}

QString SimulatedController::address() const { return m_thread ? m_thread->address : QString(); }
void SimulatedController::setVerbose(bool on) { if (m_thread) m_thread->verbose = on; }
void SimulatedController::setRecording(bool on) { if (m_thread) m_thread->recordRequests = on; }

void SimulatedController::scriptReply(uint8_t code, int subCode, const ReplyScript& script)
{
    if (!m_thread)
        return;
    std::lock_guard<std::mutex> g(m_thread->lock);
    m_thread->scripts.append({code, subCode, script});
}

void SimulatedController::clearScripts()
{
    if (!m_thread)
        return;
    std::lock_guard<std::mutex> g(m_thread->lock);
    m_thread->scripts.clear();
}

QList<QByteArray> SimulatedController::receivedFrames() const
{
    if (!m_thread)
        return {};
    // Deep copies: the caller's thread never shares Qt's reference-counted data with ours.
    QList<QByteArray> copy;
    std::lock_guard<std::mutex> g(m_thread->lock);
    for (const QByteArray& frame : m_thread->received)
        copy.append(QByteArray(frame.constData(), frame.size()));
    return copy;
}

int SimulatedController::requestCount(uint8_t code, int subCode) const
{
    int count = 0;
    for (const QByteArray& f : receivedFrames())
        if (f.size() > 7 && uint8_t(f[7]) == code && (subCode < 0 || (f.size() > 8 && uint8_t(f[8]) == subCode)))
            ++count;
    return count;
}

void SimulatedController::clearReceived()
{
    if (!m_thread)
        return;
    std::lock_guard<std::mutex> g(m_thread->lock);
    m_thread->received.clear();
}

int SimulatedController::connectionCount() const { return m_thread ? m_thread->connections.load() : 0; }
void SimulatedController::dropConnections() { if (m_thread) m_thread->dropConnections(); }
int32_t SimulatedController::variable(int32_t a) const { return m_thread ? m_thread->model.variable(a) : 0; }
void SimulatedController::setVariable(int32_t a, int32_t v) { if (m_thread) m_thread->model.setVariable(a, v); }
void SimulatedController::raiseAlarm(int32_t a, int32_t b, int32_t c) { if (m_thread) m_thread->model.raiseAlarm(a, b, c); }
void SimulatedController::setEmergencyStop(int32_t ch, bool on) { if (m_thread) m_thread->model.setEmergencyStop(ch, on); }
void SimulatedController::resetChannel(int32_t ch) { if (m_thread) m_thread->model.resetChannel(ch); }
bool SimulatedController::axisMoving(int32_t ch, int32_t axis) const { return m_thread && m_thread->model.axisMoving(ch, axis); }
int32_t SimulatedController::axisPosition(int32_t ch, int32_t axis) const { return m_thread ? m_thread->model.axisPosition(ch, axis) : 0; }
ControllerFiles* SimulatedController::files() { return m_thread ? &m_thread->model.files() : nullptr; }

QByteArray SimulatedController::programText(int32_t ch, const QByteArray& name) const { return m_thread ? m_thread->model.programs().programText(ch, name) : QByteArray(); }
void SimulatedController::setProgramText(int32_t ch, const QByteArray& name, const QByteArray& text) { if (m_thread) m_thread->model.programs().setProgramText(ch, name, text); }
void SimulatedController::setRunningProgram(int32_t ch, const QByteArray& name) { if (m_thread) m_thread->model.programs().setRunningProgram(ch, name); }
void SimulatedController::setRunTime(int runMs) { if (m_thread) m_thread->model.programs().setRunTime(runMs); }
QByteArray SimulatedController::runningProgram(int32_t ch) const { return m_thread ? m_thread->model.programs().runningProgram(ch) : QByteArray(); }
void SimulatedController::setDncCapacity(int bytes, int drainMs) { if (m_thread) m_thread->model.programs().setDncCapacity(bytes, drainMs); }
void SimulatedController::setBusyPhases(int everyNth, int busyMs) { if (m_thread) m_thread->model.programs().setBusyPhases(everyNth, busyMs); }

bool SimulatedController::startAddressService(quint16 port) { return m_thread && m_thread->startAddressService(port); }
QList<QByteArray> SimulatedController::receivedAddressTexts() const
{
    return m_thread ? m_thread->addressService.receivedTexts() : QList<QByteArray>();
}

bool SimulatedController::startSyncService(quint16 port) { return m_thread && m_thread->startSyncService(port); }
int SimulatedController::syncCount() const { return m_thread ? m_thread->syncService.syncCount() : 0; }

bool SimulatedController::startSerial(const QString& devicePath, int frameMode)
{
    m_serial.reset();
    if (!m_thread)
        return false;
    m_serial.reset(new SerialEndpoint(*m_thread));
    if (m_serial->startOn(devicePath, frameMode))
        return true;
    m_serial.reset();
    return false;
}
