#pragma once
#include <chrono>
#include <string>

// What the bridge tells systemd when it runs as a Type=notify service. Without libsystemd at
// build time, or outside systemd, each call does nothing.
namespace systemd {
void ready(const std::string& status);
void reloading();
void stopping();
void status(const std::string& text);
void watchdog();
// How often watchdog() must be called; zero when no watchdog is asked for.
std::chrono::milliseconds watchdogInterval();
}
