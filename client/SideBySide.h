#pragma once
#include <functional>
#include <thread>
#include <vector>

// Runs steps that mostly wait (for a controller's reply, for a worker to end) at the same time,
// one thread per step, so that several waits cost about one. The group owns its threads
// alone and is used from one thread; every step has ended when join() or the destructor
// returns. A step must not throw.
class SideBySide
{
public:
    SideBySide() = default;
    ~SideBySide();
    SideBySide(const SideBySide&) = delete;
    SideBySide& operator=(const SideBySide&) = delete;

    // Starts step on a thread of its own; runs it here when no thread can be made.
    void start(const std::function<void()>& step);
    void join();

private:
    std::vector<std::thread> threads;
};
