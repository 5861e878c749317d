// The simulated machine: jog, homing, program control, axis status and servo.
#include "ControllerModel.h"

#include "FrameReader.h"
#include "FrameWriter.h"

namespace {
int32_t arg(const FrameReader& r, int i)
{
    return r.int32At(9 + 4 * i);
}
}

template <class Fn>
void ControllerModel::forAxes(int32_t channel, int32_t hBits, int32_t lBits, Fn fn)
{
    for (int bit = 0; bit < 32; ++bit) {
        if (uint32_t(lBits) & (1u << bit))
            fn(bit, axis(channel, bit));
        if (uint32_t(hBits) & (1u << bit))
            fn(32 + bit, axis(channel, 32 + bit));
    }
}

template <class Test>
void ControllerModel::maskOf(int32_t channel, int32_t hBits, int32_t lBits, Test test, FrameWriter& w)
{
    uint32_t high = 0, low = 0;
    forAxes(channel, hBits, lBits, [&](int index, AxisModel& a) {
        if (test(a))
            (index < 32 ? low : high) |= 1u << (index % 32);
    });
    w.int32(int32_t(high)).int32(int32_t(low));
}

void ControllerModel::motion(const FrameReader& r, int sub, int st, FrameWriter& w, Now now)
{
    const int32_t ch = arg(r, 0);
    const int64_t key = axisKey(ch, arg(r, 1));
    if (st == 0) {
        switch (sub) {
        case 1: axis(ch, arg(r, 1)).startJog(arg(r, 2), arg(r, 3) != 0, arg(r, 4) != 0, now); break;
        case 2: case 8: axis(ch, arg(r, 1)).stop(now); break;
        case 5: m_jogParams[key] = JogParameters{arg(r, 2), 0, arg(r, 3), 0}; break;
        case 6:
            forAxes(ch, arg(r, 1), arg(r, 2), [&](int index, AxisModel& a) {
                const JogParameters p = m_jogParams.value(axisKey(ch, index));
                a.startJog(p.feed, p.negative != 0, false, now);
            });
            break;
        case 7: axis(ch, arg(r, 1)).move(arg(r, 3), arg(r, 4) != 0, now); break;
        case 11: m_jogParams[key] = JogParameters{arg(r, 2), arg(r, 3), 0, arg(r, 4)}; break;
        case 12:
            forAxes(ch, arg(r, 1), arg(r, 2), [&](int index, AxisModel& a) {
                const JogParameters p = m_jogParams.value(axisKey(ch, index));
                a.move(p.len, p.absolute != 0, now);
            });
            break;
        case 13: case 15: forAxes(ch, arg(r, 1), arg(r, 2), [&](int, AxisModel& a) { a.stop(now); }); break;
        default: break;
        }
    }
    w.code('r').byte(sub).byte(st);
    if (sub == 10)
        w.int32(axis(ch, arg(r, 1)).isMoving(now) ? 0 : 1);
    else if (sub == 14)
        maskOf(ch, arg(r, 1), arg(r, 2), [&](const AxisModel& a) { return !a.isMoving(now); }, w);
}

void ControllerModel::homing(const FrameReader& r, int sub, int st, FrameWriter& w, Now now)
{
    const int32_t ch = arg(r, 0);
    if (st == 0 && sub == 1)
        axis(ch, arg(r, 1)).startHoming(now);
    if (st == 0 && sub == 2)
        forAxes(ch, arg(r, 1), arg(r, 2), [&](int, AxisModel& a) { a.startHoming(now); });
    w.code('q').byte(sub).byte(st);
    switch (sub) {
    case 2: w.int32(arg(r, 1)).int32(arg(r, 2)); break;
    case 3: w.int32(axis(ch, arg(r, 1)).isHomed(now) ? 1 : 0); break;
    case 4: maskOf(ch, arg(r, 1), arg(r, 2), [&](const AxisModel& a) { return a.isHomed(now); }, w); break;
    case 5: w.int32(axis(ch, arg(r, 1)).isHoming(now) ? 1 : 0); break;
    case 6: maskOf(ch, arg(r, 1), arg(r, 2), [&](const AxisModel& a) { return a.isHoming(now); }, w); break;
    default: break;
    }
}

void ControllerModel::program(const FrameReader& r, int sub, int st, FrameWriter& w, Now now)
{
    if (st == 0) {
        switch (sub) {
        case 1: m_running = 1; break;
        case 2: endProgram(arg(r, 0), false); break;
        case 8: emergencyStop(arg(r, 0), arg(r, 1) != 0, now); break;
        case 9: endProgram(arg(r, 0), true); break;
        default: break;
        }
    }
    w.code('t').byte(sub).byte(st);
    if (sub == 10)
        w.int32(m_alarm[0]).int32(m_alarm[1]).int32(m_alarm[2]);
}

// Servo requests carry no channel; they address channel 1's axes.
void ControllerModel::axes(const FrameReader& r, int sub, int st, FrameWriter& w, Now now)
{
    if (st == 0 && sub == 3)
        axis(1, arg(r, 0)).servoOn = arg(r, 1) != 0;
    if (st == 0 && sub == 4)
        forAxes(arg(r, 0), arg(r, 1), arg(r, 2), [&](int, AxisModel& a) { a.servoOn = arg(r, 3) != 0; });
    w.code('v').byte(sub).byte(st);
    switch (sub) {
    case 1: w.int32(axis(arg(r, 0), arg(r, 1)).isMoving(now) ? 1 : 0); break;
    case 2: maskOf(arg(r, 0), arg(r, 1), arg(r, 2), [&](const AxisModel& a) { return a.isMoving(now); }, w); break;
    case 5: w.int32(axis(1, arg(r, 0)).servoOn ? 1 : 0); break;
    case 6: maskOf(1, arg(r, 0), arg(r, 1), [](const AxisModel& a) { return a.servoOn; }, w); break;
    case 7: w.int32(axis(arg(r, 0), arg(r, 1)).position(now)); break;
    case 8:
        w.byte(4);
        for (int index = 0; index < 4; ++index)
            w.int32(axis(arg(r, 0), index).position(now));
        break;
    default: break;
    }
}
