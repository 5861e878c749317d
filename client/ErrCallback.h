#pragma once
#include <cstdint>

// The application's error callback; C calling convention so any language can supply it.
extern "C" { typedef void (*ErrCallbackFunc)(int32_t errorCmd, int32_t cmdState, const char* detail); }
