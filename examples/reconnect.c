/* Reconnecting after a controller restart.
 *
 * When the controller goes away (a restart, a power cut), the connections it had are dead:
 * commands on a synchronous client then return 7 at once, and stay at 7. The library does not
 * reconnect by itself; the application calls connect again, which opens the closed connections
 * afresh. This example restarts the bundled simulator under a connected target.
 *
 * Usage: reconnect SIMULATOR-PROGRAM */
#include "AsyncCommModule.h"
#include "example_support.h"

#include <stdio.h>

enum { CNC = 1 };

/* The application's supervision step: probe the controller; when it does not answer, connect
 * again, a bounded number of times (each failed connect costs at most 500 ms). */
static int ensureConnected(int cnc)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (CheckTcpWdt(cnc) == 0)
            return 1;
        if (!connect(cnc))
            sleepMs(250);
    }
    return 0;
}

int main(int argc, char** argv)
{
    /* The harness starts the simulator, so that it can kill and restart it below. */
    const char* started = argc > 1 ? simulatorStart(argv[1]) : NULL;
    if (!started) {
        fprintf(stderr, "usage: reconnect SIMULATOR-PROGRAM\n");
        return 2;
    }
    char address[64];
    snprintf(address, sizeof address, "%s", started);

    if (!addTargetCnc(CNC, 1, address, 0) || !connect(CNC))
        return 1;
    CncLong variable = 1000300, value = 42;
    int ok = writeVars(&variable, 1, &value, CNC) == 0 && CheckTcpWdt(CNC) == 0;
    printf("connected; watchdog answers, variable written\n");

    /* The controller dies: every command now finds no link. */
    simulatorKill();
    CncLong down = CheckTcpWdt(CNC);
    printf("after the power cut: CheckTcpWdt = %ld, getTcpConnectFlag = %d\n", (long)down, getTcpConnectFlag(CNC));
    ok = ok && down == 7 && !getTcpConnectFlag(CNC);

    /* It comes back (on the same address); the application connects again. */
    ok = ok && simulatorRestart();
    ok = ok && ensureConnected(CNC);
    printf("after the restart: %s\n", ok ? "connected again" : "still down");

    /* A restarted controller has forgotten what it was told: write it again. */
    CncLong back = -1;
    ok = ok && readVars(&variable, 1, &back, CNC) == 0 && back == 0;
    ok = ok && writeVars(&variable, 1, &value, CNC) == 0 && readVars(&variable, 1, &back, CNC) == 0 && back == 42;

    disconnect(CNC);
    removeTargetCnc(CNC);
    simulatorKill();
    printf("%s\n", ok ? "reconnect: ok" : "reconnect: FAILED");
    return ok ? 0 : 1;
}
