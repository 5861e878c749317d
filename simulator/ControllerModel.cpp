#include "ControllerModel.h"

#include "FrameMode.h"
#include "FrameReader.h"
#include "FrameWriter.h"
#include "RequestChannel.h"
#include "VProtocol_Client.h"

#include <vector>

namespace {
int64_t bitKey(int32_t ch, int32_t kind, int32_t index)
{
    // Shifted as unsigned: a negative channel from the wire must not be undefined behaviour.
    return int64_t((uint64_t(uint32_t(ch)) << 40) | (uint64_t(kind & 0xFF) << 32) | uint32_t(index));
}
// Requests whose success is reported as state 1 rather than 0.
bool succeedsWithOne(uint8_t code, int sub)
{
    return code == 'p' || code == 0x83 || code == 0x84 || (code == 'c' && sub != 2) || (code == 'i');
}
int32_t arg(const FrameReader& r, int i)
{
    return r.int32At(9 + 4 * i);
}
constexpr int kRefusedWhileStopped = 2;
// The table a bit write lands in, as the reads number them: both output tables are O (1).
constexpr int32_t kReadOutputTable = 1;
int32_t readTableOfWrite(int32_t table)
{
    return table == 0 ? kReadOutputTable : table;
}
}

int32_t ControllerModel::variable(int32_t address) const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_vars.value(address, 0);
}

void ControllerModel::setVariable(int32_t address, int32_t value)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_vars[address] = value;
}

void ControllerModel::raiseAlarm(int32_t a, int32_t b, int32_t c)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_alarm[0] = a;
    m_alarm[1] = b;
    m_alarm[2] = c;
}

int32_t ControllerModel::axisPosition(int32_t channel, int32_t index) const
{
    std::lock_guard<std::mutex> g(m_lock);
    const auto it = m_axes.find(axisKey(channel, index));
    return it == m_axes.end() ? 0 : it->position(AxisModel::Clock::now());
}

void ControllerModel::setEmergencyStop(int32_t channel, bool on)
{
    std::lock_guard<std::mutex> g(m_lock);
    emergencyStop(channel, on, AxisModel::Clock::now());
}

void ControllerModel::resetChannel(int32_t channel)
{
    std::lock_guard<std::mutex> g(m_lock);
    endProgram(channel, true);
}

bool ControllerModel::axisMoving(int32_t channel, int32_t index) const
{
    std::lock_guard<std::mutex> g(m_lock);
    const auto it = m_axes.find(axisKey(channel, index));
    return it != m_axes.end() && it->isMoving(AxisModel::Clock::now());
}

bool ControllerModel::isRunning() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_running != 0;
}

int64_t ControllerModel::axisKey(int32_t channel, int32_t index)
{
    return int64_t((uint64_t(uint32_t(channel)) << 32) | uint32_t(index));
}

AxisModel& ControllerModel::axis(int32_t channel, int32_t index)
{
    return m_axes[axisKey(channel, index)];
}

QByteArray ControllerModel::reply(const QByteArray& request, int status, quint64 session)
{
    const FrameReader r(reinterpret_cast<const uint8_t*>(request.constData()), request.size(), FrameTcp);
    if (!r.has(7, 1))
        return QByteArray();
    const uint8_t code = r.byteAt(7);
    const int sub = r.byteAt(8);
    const int st = status != kDefaultStatus ? status : (succeedsWithOne(code, sub) ? 1 : 0);
    const Now now = AxisModel::Clock::now();

    uint8_t buf[kFrameBufferSize];
    FrameWriter w(buf, sizeof buf, FrameTcp);
    std::lock_guard<std::mutex> g(m_lock);
    // Emergency stop refuses motion and program start unless a test scripted the state.
    const bool startsMotion = (code == 'r' && (sub == 1 || sub == 6 || sub == 7 || sub == 12)) ||
                              (code == 'q' && (sub == 1 || sub == 2)) || (code == 't' && sub == 1) ||
                              (code == 'f' && sub == 4);
    const int32_t channel = RequestChannel::of(request).value_or(0);
    const bool stopped = m_stoppedChannels.contains(channel) || m_awaitingReset.contains(channel);
    const bool refused = stopped && startsMotion && status == kDefaultStatus;
    const int state = refused ? kRefusedWhileStopped : st;
    const std::optional<int> storeState =
        refused ? std::optional<int>(kRefusedWhileStopped)
                : status != kDefaultStatus ? std::optional<int>(status) : std::nullopt;
    bool answered = true;
    switch (code) {
    case 'r': motion(r, sub, state, w, now); break;
    case 'q': homing(r, sub, state, w, now); break;
    case 't': program(r, sub, state, w, now); break;
    case 'v': axes(r, sub, state, w, now); break;
    case 'A': case 'B': case 'D': answered = variables(r, code, status, w); break;
    case 'c': case 'e': case 'i': case 0x83: case 0x84: case 0x85: m_files.reply(r, code, sub, state, w); break;
    case 'd': case 'f':
        answered = ProgramStore::handles(code, sub)
                       ? m_programs.reply(r, code, sub, storeState, w, session)
                       : others(r, code, sub, state, w);
        break;
    default: answered = others(r, code, sub, state, w); break;
    }
    if (!answered)
        return QByteArray();
    const int n = w.finishReply();
    return QByteArray(reinterpret_cast<char*>(buf), n);
}

bool ControllerModel::variables(const FrameReader& r, uint8_t code, int status, FrameWriter& w)
{
    // These replies carry no state: a scripted failure is the error reply.
    if (code != 'A' && status != kDefaultStatus && status != 0) {
        w.code(uint8_t(code | 0x80));
        return true;
    }
    if (code == 'A') {
        const int32_t start = r.int32At(8), count = r.int32At(12);
        if (count < 0 || count > 100)
            return false;
        w.code('A').byte(count);
        for (int i = 0; i < count; ++i)
            w.int32(m_vars.value(start + i, 0));
        return true;
    }
    const int count = r.byteAt(8);
    const int stride = code == 'B' ? 4 : 8;
    std::vector<int32_t> values;
    for (int i = 0; i < count; ++i) {
        const int32_t a = r.int32At(9 + stride * i);
        if (!VProtocol_Client::isValidVarAddress(a) || !r.has(9 + stride * i, stride)) {
            w.code(uint8_t(code | 0x80));
            return true;
        }
        if (code == 'B')
            values.push_back(m_vars.value(a, 0));
    }
    if (code == 'D') {
        for (int i = 0; i < count; ++i)
            m_vars[r.int32At(9 + 8 * i)] = r.int32At(13 + 8 * i);
        m_files.variablesWritten(m_vars);
        w.code('D');
        return true;
    }
    w.code('B').byte(count);
    for (int32_t v : values)
        w.int32(v);
    return true;
}

bool ControllerModel::others(const FrameReader& r, uint8_t code, int sub, int st, FrameWriter& w)
{
    switch (code) {
    case 'p': w.code('p').byte(st); break;
    case 'x': w.code('x').byte(st).int32(0).int32(0); break;
    case 'y': case 0x80: case 0x81: w.code(code).byte(st); break;
    case 'd':
        w.code('d').byte(sub);
        if (sub == 1 || sub == 6)
            w.byte(0).byte(0).byte(st);
        else if (sub != 4)
            w.byte(st);
        break;
    case 'f':
        if (st == 0 && sub == 3)
            endProgram(r.byteAt(9), true);
        w.code('f').byte(sub).byte(0).byte(st);
        break;
    case 'g': {
        // The running program's name: the one the program store runs on the channel, else
        // "O1234" while a cycle runs; an idle channel c names its last program "O000c".
        const int channel = r.byteAt(9);
        QByteArray name = m_programs.runningProgram(channel);
        if (name.isEmpty())
            name = m_running ? QByteArray("O1234") : QByteArray("O") + QByteArray::number(channel).rightJustified(4, '0');
        w.code('g').byte(sub).text(name.constData(), 100).byte(0);
        break;
    }
    case 'u':
        if (sub == 2 && st == 0)
            m_bits[bitKey(arg(r, 0), readTableOfWrite(arg(r, 1)), arg(r, 2))] = arg(r, 3);
        w.code('u').byte(sub).byte(st);
        if (sub == 1)
            w.int32(m_bits.value(bitKey(arg(r, 0), arg(r, 1), arg(r, 2)), 0));
        break;
    case 'w': w.code('w').byte(sub).byte(st); break;
    case 0x82:
        w.code(0x82).byte(sub);
        if (sub == 3 || sub == 4 || sub == 11)
            w.int32(st);
        else
            w.byte(st);
        break;
    default:
        return false;
    }
    return true;
}

void ControllerModel::stopEverything(Now now)
{
    for (AxisModel& a : m_axes)
        a.stop(now);
    m_running = 0;
}

void ControllerModel::emergencyStop(int32_t channel, bool on, Now now)
{
    if (!on) {
        if (m_stoppedChannels.remove(channel))
            m_awaitingReset.insert(channel);
        return;
    }
    m_stoppedChannels.insert(channel);
    stopEverything(now);
    m_alarm[0] = 1;
    m_alarm[1] = channel;
    m_alarm[2] = kEmergencyAlarm;
}

void ControllerModel::endProgram(int32_t channel, bool reset)
{
    m_running = 0;
    m_programs.endRun(channel);
    if (reset && !m_stoppedChannels.contains(channel))
        m_awaitingReset.remove(channel);
    if (reset && m_stoppedChannels.isEmpty() && m_awaitingReset.isEmpty())
        m_alarm[0] = m_alarm[1] = m_alarm[2] = 0;
}
