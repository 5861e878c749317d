/* Harness of the examples: the simulator as a child process. POSIX only. */
#include "example_support.h"

#include "SimulatorLauncher.h"

#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static pid_t simulator = -1;
static char simulatorProgram[4096];
static char simulatorAddress[64];

void sleepMs(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

void simulatorKill(void)
{
    simulatorEnd(simulator, SIGKILL);
    simulator = -1;
}

int simulatorStartOn(const char* program, const char* address)
{
    simulatorKill();
    if (strlen(program) >= sizeof simulatorProgram || strlen(address) >= sizeof simulatorAddress)
        return 0;
    simulator = simulatorLaunch(program, address);
    if (simulator < 0)
        return 0;
    strcpy(simulatorProgram, program);
    strcpy(simulatorAddress, address);
    return 1;
}

const char* simulatorStart(const char* program)
{
    /* Parallel tests hold some loopback addresses: start at an offset and take the first free one. */
    for (int i = 0; i < 40; ++i) {
        char address[32];
        snprintf(address, sizeof address, "127.0.0.%d", 120 + (int)((getpid() + i) % 40));
        if (simulatorStartOn(program, address))
            return simulatorAddress;
    }
    return NULL;
}

int simulatorRestart(void)
{
    char program[sizeof simulatorProgram], address[sizeof simulatorAddress];
    strcpy(program, simulatorProgram);
    strcpy(address, simulatorAddress);
    /* The old process's listening socket may linger a moment: try for about 2 s. */
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (simulatorStartOn(program, address))
            return 1;
        sleepMs(100);
    }
    return 0;
}

const char* exampleController(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s ADDRESS | SIMULATOR-PROGRAM\n", argv[0]);
        return NULL;
    }
    const char* arg = argv[1];
    if (strspn(arg, "0123456789.:") == strlen(arg))
        return arg;
    const char* address = simulatorStart(arg);
    if (!address) {
        fprintf(stderr, "%s: could not start the simulator %s\n", argv[0], arg);
        return NULL;
    }
    atexit(simulatorKill);
    return address;
}
