#include "Systemd.h"

#ifdef CNC_BRIDGE_WITH_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace systemd {
namespace {
void notify(const std::string& state)
{
#ifdef CNC_BRIDGE_WITH_SYSTEMD
    sd_notify(0, state.c_str());
#else
    (void)state;
#endif
}
}

void ready(const std::string& text)
{
    notify("READY=1\nSTATUS=" + text);
}

void reloading()
{
    notify("RELOADING=1");
}

void stopping()
{
    notify("STOPPING=1");
}

void status(const std::string& text)
{
    notify("STATUS=" + text);
}

void watchdog()
{
    notify("WATCHDOG=1");
}

std::chrono::milliseconds watchdogInterval()
{
#ifdef CNC_BRIDGE_WITH_SYSTEMD
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0)
        return std::chrono::milliseconds(usec / 1000 / 2); // twice per period, as systemd advises
#endif
    return std::chrono::milliseconds(0);
}
}
