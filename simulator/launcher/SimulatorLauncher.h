/* Starts the cnc-simulator program from C or C++ code (tests, examples, benchmarks) and waits,
 * bounded, until it says it listens. */
#ifndef ACM_SIMULATOR_LAUNCHER_H
#define ACM_SIMULATOR_LAUNCHER_H

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Runs program --listen address; its process id once it prints that it listens (within 5 s),
 * else -1 (the process, if any, is ended). */
pid_t simulatorLaunch(const char* program, const char* address);

/* Sends signal to the process and waits for its end; nothing for an id below 1. */
void simulatorEnd(pid_t pid, int signal);

#ifdef __cplusplus
}
#endif

#endif
