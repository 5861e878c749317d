#pragma once
#include <string>

// One line on stderr per event: "<who>: <what>", who being a machine's name or "bridge".
// Lines of several threads never interleave.
void bridgeLog(const std::string& who, const std::string& what);
