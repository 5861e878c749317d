#pragma once
#include "AxisModel.h"
#include "ControllerFiles.h"
#include "ProgramStore.h"

#include <QByteArray>
#include <QMap>
#include <QSet>

#include <cstdint>
#include <mutex>

class FrameReader;
class FrameWriter;

// The simulated controller's state and its normal replies to each request.
//
// Machine behaviour: a continuous jog moves its axis at `feed` units per second until
// stopped; an incremental jog moves at once; homing takes 100 ms and ends at 0; cycle
// start sets the run state, stop and reset clear it; emergency stop (value 1) stops every
// axis and the program and raises alarm (1, channel, 1001), and refuses that channel's motion
// and program starts (by name too) with state 2 until it is released and the channel reset; that
// reset clears the alarm. A continuous jog at rapid feed runs kRapidFactor times its feed.
// Bits: the write requests number the tables as the library's writes do (0 the PLC's O, 1 the
// CNC's O, 2 C, 3 S, 4 A) and land in the table the reads name (1 O, 2 C, 3 S, 4 A). Axis bit
// masks: bit i of the low word is axis i, bit i of the high word axis 32 + i.
class ControllerModel
{
public:
    static constexpr int kDefaultStatus = 0x7FFF; // "use the request's normal success status"
    static constexpr int32_t kEmergencyAlarm = 1001;

    // Reply frame (TCP framing) to one request frame; empty = the controller stays silent.
    // session: the connection the request came on (see ProgramStore).
    QByteArray reply(const QByteArray& request, int status = kDefaultStatus, quint64 session = 0);

    int32_t variable(int32_t address) const;
    void setVariable(int32_t address, int32_t value);
    void raiseAlarm(int32_t a, int32_t b, int32_t c);
    // As the emergency-stop request of channel does: pressed (on) or released.
    void setEmergencyStop(int32_t channel, bool on);
    // As the channel's reset request does.
    void resetChannel(int32_t channel);
    int32_t axisPosition(int32_t channel, int32_t axis) const;
    bool axisMoving(int32_t channel, int32_t axis) const;
    bool isRunning() const;
    ControllerFiles& files() { return m_files; }
    ProgramStore& programs() { return m_programs; }

private:
    using Now = AxisModel::Clock::time_point;
    // Each returns false when the request gets no reply.
    bool variables(const FrameReader& r, uint8_t code, int status, FrameWriter& w);
    void motion(const FrameReader& r, int sub, int st, FrameWriter& w, Now now);
    void homing(const FrameReader& r, int sub, int st, FrameWriter& w, Now now);
    void program(const FrameReader& r, int sub, int st, FrameWriter& w, Now now);
    void axes(const FrameReader& r, int sub, int st, FrameWriter& w, Now now);
    bool others(const FrameReader& r, uint8_t code, int sub, int st, FrameWriter& w);

    // Key of one axis of one channel in the axis and jog tables.
    static int64_t axisKey(int32_t channel, int32_t index);
    AxisModel& axis(int32_t channel, int32_t index);
    // Applies fn to each axis of channel whose bit is set in the two masks.
    template <class Fn> void forAxes(int32_t channel, int32_t hBits, int32_t lBits, Fn fn);
    // The masks of the axes among hBits/lBits for which test holds.
    template <class Test> void maskOf(int32_t channel, int32_t hBits, int32_t lBits, Test test, FrameWriter& w);
    void stopEverything(Now now);
    void emergencyStop(int32_t channel, bool on, Now now);
    // Stop and reset of a channel: its program ends; a reset also clears the alarm once no
    // emergency stop is pressed.
    void endProgram(int32_t channel, bool reset);

    struct JogParameters { int32_t feed = 0, len = 0, negative = 0, absolute = 0; };

    mutable std::mutex m_lock;
    QMap<int32_t, int32_t> m_vars;
    QMap<int64_t, AxisModel> m_axes;          // (channel << 32 | axis)
    QMap<int64_t, JogParameters> m_jogParams; // set by the parameter requests, used by the axes runs
    QMap<int64_t, int32_t> m_bits;            // (channel, kind, index) -> value
    int32_t m_alarm[3] = {0, 0, 0};
    int32_t m_running = 0;
    QSet<int32_t> m_stoppedChannels;  // whose emergency stop is pressed
    QSet<int32_t> m_awaitingReset;    // released, but not reset yet: motion is still refused
    ControllerFiles m_files;
    ProgramStore m_programs; // the text transfer and the start by name
};
