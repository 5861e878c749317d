#include "ControllerModel.h"
#include "FrameMode.h"
#include "FrameReader.h"
#include "FrameWriter.h"
#include "VProtocol_Client.h"
#include <vector>

namespace {
int64_t axisKey(int32_t ch, int32_t axis) { return (int64_t(ch) << 32) | uint32_t(axis); }
int64_t bitKey(int32_t ch, int32_t kind, int32_t index) { return (int64_t(ch) << 40) | (int64_t(kind & 0xFF) << 32) | uint32_t(index); }
// Requests whose success is reported as state 1 rather than 0.
bool succeedsWithOne(uint8_t code, int sub)
{
    return code == 'p' || code == 0x83 || code == 0x84 || (code == 'c' && sub != 2) || (code == 'i');
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

int32_t ControllerModel::axisPosition(int32_t channel, int32_t axis) const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_axes.value(axisKey(channel, axis), 0);
}

QByteArray ControllerModel::reply(const QByteArray& request, int status)
{
    const uint8_t* req = reinterpret_cast<const uint8_t*>(request.constData());
    const FrameReader r(req, request.size(), FrameTcp);
    if (!r.has(7, 1))
        return QByteArray();
    const uint8_t code = r.byteAt(7);
    const int sub = r.byteAt(8);
    auto arg = [&](int i) { return r.int32At(9 + 4 * i); };
    const int st = status != kDefaultStatus ? status : (succeedsWithOne(code, sub) ? 1 : 0);

    uint8_t buf[kFrameBufferSize];
    FrameWriter w(buf, sizeof buf, FrameTcp);
    std::lock_guard<std::mutex> g(m_lock);
    switch (code) {
    case 'A': {
        const int32_t start = r.int32At(8), count = r.int32At(12);
        if (count < 0 || count > 100)
            return QByteArray();
        w.code('A').byte(count);
        for (int i = 0; i < count; ++i)
            w.int32(m_vars.value(start + i, 0));
        break;
    }
    case 'B': {
        const int count = r.byteAt(8);
        std::vector<int32_t> values;
        for (int i = 0; i < count; ++i) {
            const int32_t a = r.int32At(9 + 4 * i);
            if (!VProtocol_Client::isValidVarAddress(a) || !r.has(9 + 4 * i, 4)) {
                w.code(0xC2);
                return QByteArray(reinterpret_cast<char*>(buf), w.finishReply());
            }
            values.push_back(m_vars.value(a, 0));
        }
        w.code('B').byte(count);
        for (int32_t v : values)
            w.int32(v);
        break;
    }
    case 'D': {
        const int count = r.byteAt(8);
        for (int i = 0; i < count; ++i) {
            const int32_t a = r.int32At(9 + 8 * i);
            if (!VProtocol_Client::isValidVarAddress(a) || !r.has(9 + 8 * i, 8)) {
                w.code(0xC4);
                return QByteArray(reinterpret_cast<char*>(buf), w.finishReply());
            }
            m_vars[a] = r.int32At(13 + 8 * i);
        }
        w.code('D');
        break;
    }
    case 'p': w.code('p').byte(st); break;
    case 'x': w.code('x').byte(st).int32(0).int32(0); break;
    case 'y': case 0x80: case 0x81: w.code(code).byte(st); break;
    case 0x84: w.code(code).byte(st).byte(0); break;
    case 'c':
        w.code('c').byte(sub);
        if (sub == 2)
            w.byte(0);
        else
            w.byte(st);
        break;
    case 'd':
        w.code('d').byte(sub);
        if (sub == 1 || sub == 6)
            w.byte(0).byte(0).byte(st);
        else if (sub != 4)
            w.byte(st);
        break;
    case 'e': w.code('e').byte(sub); break;
    case 'f': w.code('f').byte(sub).byte(0).byte(st); break;
    case 'g': w.code('g').byte(sub).text(m_running ? "O1234" : "O0001", 100).byte(0); break;
    case 'i':
        w.code('i').byte(sub).byte(st);
        if (sub == 3)
            w.byte(0);
        break;
    case 'q':
        w.code('q').byte(sub).byte(st);
        if (sub == 2 || sub == 4 || sub == 6)
            w.int32(arg(1)).int32(arg(2));
        else if (sub == 3 || sub == 5)
            w.int32(1);
        break;
    case 'r':
        if (st == 0 && sub == 1)
            m_axes[axisKey(arg(0), arg(1))] += arg(3) ? -arg(2) : arg(2);
        if (st == 0 && sub == 7)
            m_axes[axisKey(arg(0), arg(1))] += arg(3);
        w.code('r').byte(sub).byte(st);
        if (sub == 10)
            w.int32(1);
        else if (sub == 14)
            w.int32(0).int32(0);
        break;
    case 't':
        if (st == 0 && sub == 1)
            m_running = 1;
        if (st == 0 && (sub == 2 || sub == 9))
            m_running = 0;
        w.code('t').byte(sub).byte(st);
        if (sub == 10)
            w.int32(m_alarm[0]).int32(m_alarm[1]).int32(m_alarm[2]);
        break;
    case 'u':
        if (sub == 2 && st == 0)
            m_bits[bitKey(arg(0), arg(1), arg(2))] = arg(3);
        w.code('u').byte(sub).byte(st);
        if (sub == 1)
            w.int32(m_bits.value(bitKey(arg(0), arg(1), arg(2)), 0));
        break;
    case 'v':
        w.code('v').byte(sub).byte(st);
        if (sub == 1 || sub == 5)
            w.int32(0);
        else if (sub == 7)
            w.int32(m_axes.value(axisKey(arg(0), arg(1)), 0));
        else if (sub == 2 || sub == 6)
            w.int32(0).int32(0);
        else if (sub == 8) {
            w.byte(4);
            for (int axis = 0; axis < 4; ++axis)
                w.int32(m_axes.value(axisKey(arg(0), axis), 0));
        }
        break;
    case 'w': w.code('w').byte(sub).byte(st); break;
    case 0x82:
        w.code(0x82).byte(sub);
        if (sub == 3 || sub == 4 || sub == 11)
            w.int32(st);
        else
            w.byte(st);
        break;
    case 0x83: w.code(0x83).byte(sub).byte(st); break;
    case 0x85: w.code(0x85).byte(sub); if (sub == 1) w.byte(st); break;
    default:
        return QByteArray();
    }
    const int n = w.finishReply();
    return QByteArray(reinterpret_cast<char*>(buf), n);
}
