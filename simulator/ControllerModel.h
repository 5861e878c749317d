#pragma once
#include <QByteArray>
#include <QMap>
#include <cstdint>
#include <mutex>

// The simulated controller's state and its normal replies to each request.
class ControllerModel
{
public:
    static constexpr int kDefaultStatus = 0x7FFF; // "use the request's normal success status"

    // Reply frame (TCP framing) to one request frame; empty = the controller stays silent.
    QByteArray reply(const QByteArray& request, int status = kDefaultStatus);

    int32_t variable(int32_t address) const;
    void setVariable(int32_t address, int32_t value);
    void raiseAlarm(int32_t a, int32_t b, int32_t c);
    int32_t axisPosition(int32_t channel, int32_t axis) const;

private:
    mutable std::mutex m_lock;
    QMap<int32_t, int32_t> m_vars;
    QMap<int64_t, int32_t> m_axes; // (channel << 32 | axis) -> position
    QMap<int64_t, int32_t> m_bits; // (channel, kind, index) -> value
    int32_t m_alarm[3] = {0, 0, 0};
    int32_t m_running = 0;
};
