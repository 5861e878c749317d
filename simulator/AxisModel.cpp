#include "AxisModel.h"

#include <limits>

namespace {
int32_t clampToInt32(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}
}

int32_t AxisModel::position(Clock::time_point now) const
{
    if (m_homing)
        return now >= m_homingEnd ? 0 : m_position;
    if (m_velocity == 0)
        return m_position;
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_since).count();
    return clampToInt32(int64_t(m_position) + int64_t(m_velocity) * ms / 1000);
}

bool AxisModel::isMoving(Clock::time_point now) const
{
    return m_velocity != 0 || isHoming(now);
}

bool AxisModel::isHomed(Clock::time_point now) const
{
    return m_homed || (m_homing && now >= m_homingEnd);
}

bool AxisModel::isHoming(Clock::time_point now) const
{
    return m_homing && now < m_homingEnd;
}

void AxisModel::settle(Clock::time_point now)
{
    m_position = position(now);
    if (m_homing && now >= m_homingEnd) {
        m_homing = false;
        m_homed = true;
    }
    m_since = now;
}

void AxisModel::startJog(int32_t feed, bool negative, bool fast, Clock::time_point now)
{
    settle(now);
    const int64_t speed = (feed < 0 ? -int64_t(feed) : int64_t(feed)) * (fast ? kRapidFactor : 1);
    m_velocity = clampToInt32(negative ? -speed : speed);
}

void AxisModel::stop(Clock::time_point now)
{
    settle(now);
    m_velocity = 0;
}

void AxisModel::move(int32_t len, bool absolute, Clock::time_point now)
{
    stop(now);
    m_position = absolute ? len : clampToInt32(int64_t(m_position) + len);
}

void AxisModel::startHoming(Clock::time_point now)
{
    stop(now);
    m_homing = true;
    m_homed = false;
    m_homingEnd = now + std::chrono::milliseconds(kHomingMs);
}
