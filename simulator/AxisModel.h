#pragma once
#include <chrono>
#include <cstdint>

// One simulated axis. Positions advance with time while a continuous jog runs, so a client
// that polls coordinates sees motion; homing takes kHomingMs and ends at position 0.
class AxisModel
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kHomingMs = 100;
    static constexpr int kRapidFactor = 10; // a jog at rapid feed, against its feed

    int32_t position(Clock::time_point now) const;
    bool isMoving(Clock::time_point now) const;
    bool isHomed(Clock::time_point now) const;
    bool isHoming(Clock::time_point now) const;
    bool servoOn = true;

    // Continuous jog at feed units per second (kRapidFactor times that when fast) in the given
    // direction, until stop().
    void startJog(int32_t feed, bool negative, bool fast, Clock::time_point now);
    void stop(Clock::time_point now);
    // Incremental jog: relative move of len (or to len when absolute), done at once.
    void move(int32_t len, bool absolute, Clock::time_point now);
    void startHoming(Clock::time_point now);

private:
    void settle(Clock::time_point now);

    int32_t m_position = 0;
    int32_t m_velocity = 0; // units per second, signed
    Clock::time_point m_since{};
    Clock::time_point m_homingEnd{};
    bool m_homing = false;
    bool m_homed = false;
};
