#include "InterruptFlag.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t interrupted = 0;

extern "C" void raiseFlag(int)
{
    interrupted = 1;
}
}

namespace InterruptFlag {
void install()
{
    std::signal(SIGINT, raiseFlag);
    std::signal(SIGTERM, raiseFlag);
}

bool raised()
{
    return interrupted != 0;
}
} // namespace InterruptFlag
