#include "SideBySide.h"

#include <system_error>

SideBySide::~SideBySide()
{
    join();
}

void SideBySide::start(const std::function<void()>& step)
{
    try {
        threads.emplace_back(step);
    } catch (const std::system_error&) {
        step();
    }
}

void SideBySide::join()
{
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
}
