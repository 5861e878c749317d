#pragma once
#include <cstdint>

// The application's error callback; C calling convention so any language can supply it.
// The public header declares the same type under the same guard.
#ifndef ACM_ERR_CALLBACK_DEFINED
#define ACM_ERR_CALLBACK_DEFINED
extern "C" {
typedef void (*ErrCallbackFunc)(int32_t errorCmd, int32_t cmdState, const char* detail);
}
#endif
