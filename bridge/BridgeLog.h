#pragma once
#include <string>

// One line on stderr per event: "<time> <level> <who>: <what>", who being a machine's name or
// "bridge". Under systemd (stderr going to the journal) the line starts with the journal's
// priority prefix instead of time and level. Lines of several threads never interleave.
enum class LogLevel { Error, Warning, Info, Debug };

// "error", "warning", "info" or "debug"; false for any other text.
bool parseLogLevel(const std::string& text, LogLevel& level);
// Lines less severe than level are left out (the default: info).
void setLogLevel(LogLevel level);
void bridgeLog(LogLevel level, const std::string& who, const std::string& what);
