/* Harness of the examples, not part of the library: finds the controller an example talks to.
 * An example takes either the address of a running controller (for instance a cnc-simulator
 * started by hand) or the path of the cnc-simulator program, which is then started as a child
 * process on a free loopback address of its own and stopped when the example ends. */
#ifndef EXAMPLE_SUPPORT_H
#define EXAMPLE_SUPPORT_H

#ifdef __cplusplus
extern "C" {
#endif

/* The controller's address from argv[1]: a numeric address is used as it is; anything else is
 * taken for the simulator program and started. NULL (with a message) when neither works. */
const char* exampleController(int argc, char** argv);

/* Starts the simulator program on the first free address of 127.0.0.120..159; the address,
 * or NULL. */
const char* simulatorStart(const char* program);
/* Starts the simulator program on this address; 1 when it listens, else 0. */
int simulatorStartOn(const char* program, const char* address);
/* Ends the simulator at once, as a power cut would: no connection is closed politely. */
void simulatorKill(void);
/* Starts it again on the same address; 1 when it listens, else 0. */
int simulatorRestart(void);

void sleepMs(long ms);

#ifdef __cplusplus
}
#endif

#endif
