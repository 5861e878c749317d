/* A C program linked directly against the shared library (no dlopen, no Qt application
 * object) that connects a target served by a cnc-simulator process. The library's `connect`
 * must not displace the C library's for Qt's own sockets. Usage: DirectLinkProgram SIMULATOR */
#include "AsyncCommModule.h"

#include "SimulatorLauncher.h"

#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

static pid_t simulator = -1;

/* Starts the simulator on address; true once it says it listens. */
static bool startSimulator(const char* program, const char* address)
{
    simulator = simulatorLaunch(program, address);
    return simulator > 0;
}

static int fail(const char* what, long value)
{
    fprintf(stderr, "DirectLinkProgram: %s (%ld)\n", what, value);
    if (simulator > 0) {
        kill(simulator, SIGTERM);
        waitpid(simulator, NULL, 0);
    }
    return 1;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return fail("usage: DirectLinkProgram SIMULATOR", 0);
    char address[32] = {0};
    /* A free loopback address: parallel tests hold some of them. */
    for (int host = 200 + getpid() % 40, tries = 0; tries < 50 && simulator < 0; ++tries, host = 200 + (host - 199) % 54) {
        snprintf(address, sizeof address, "127.0.0.%d", host);
        startSimulator(argv[1], address);
    }
    if (simulator < 0)
        return fail("no simulator could be started", 0);

    const int cnc = 3;
    if (!addTargetCnc(cnc, 2, address, 0))
        return fail("addTargetCnc", 0);
    if (!connect(cnc))
        return fail("connect", 0);
    CncLong watchdog = CheckTcpWdt(cnc);
    if (watchdog != 0)
        return fail("CheckTcpWdt", watchdog);
    CncLong addresses[2] = {1000001, 1000002};
    CncLong values[2] = {-7, 42};
    CncLong back[2] = {0, 0};
    CncLong written = writeVars(addresses, 2, values, cnc);
    CncLong read = readVars(addresses, 2, back, cnc);
    if (written != 0 || read != 0 || back[0] != -7 || back[1] != 42)
        return fail("variables", read);
    if (jogMotionV_Run(2, 1, 100, 0, 0, cnc) != 0)
        return fail("jogMotionV_Run", 0);
    if (!getTcpConnectFlag(cnc))
        return fail("getTcpConnectFlag", 0);
    if (!disconnect(cnc))
        return fail("disconnect", 0);
    if (jogMotionV_Run(2, 1, 100, 0, 0, cnc) != 7)
        return fail("command after disconnect", 0);
    if (!removeTargetCnc(cnc))
        return fail("removeTargetCnc", 0);
    /* A controller named by host name, from a program without any Qt application object: whether
     * something answers on localhost does not matter here, only that no warning is printed (the
     * test fails on Qt's warning lines). */
    char host[] = "localhost";
    if (!addTargetCnc(cnc, 1, host, 0))
        return fail("addTargetCnc by host name", 0);
    connect(cnc);
    disconnect(cnc);
    removeTargetCnc(cnc);
    kill(simulator, SIGTERM);
    waitpid(simulator, NULL, 0);
    printf("DirectLinkProgram: ok against %s\n", address);
    return 0;
}
