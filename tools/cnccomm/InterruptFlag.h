#pragma once

// SIGINT and SIGTERM as a flag that a loop checks, so that it can end cleanly (disconnect,
// remove the target) instead of the process dying in the middle of a call.
namespace InterruptFlag {
void install();
bool raised();
} // namespace InterruptFlag
