#include "BridgeLog.h"

#include <cstdio>
#include <mutex>

void bridgeLog(const std::string& who, const std::string& what)
{
    static std::mutex lock; // one line at a time
    std::lock_guard<std::mutex> guard(lock);
    std::fprintf(stderr, "%s: %s\n", who.c_str(), what.c_str());
    std::fflush(stderr);
}
