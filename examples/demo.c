/* Demo: drive one simulated controller through the library's C interface.
 * Usage: demo [ADDRESS]   (default 127.0.0.5, where tools/run-demo.sh starts cnc-simulator) */
#include "AsyncCommModule.h"

#include <stdio.h>
#include <time.h>

enum { MACHINE = 1, MONITOR = 2 };

static void sleepMs(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

/* Called on the thread that parsed a failing reply. */
static void onControllerError(CncLong errorCmd, CncLong cmdState, const char* detail)
{
    printf("    [error callback] reply %ld reported state %ld: %s\n", (long)errorCmd, (long)cmdState, detail);
}

static void show(const char* what, CncLong result)
{
    printf("  %-44s -> %ld%s\n", what, (long)result, result == 0 ? "" : "  (see result codes)");
}

static void showVariables(const char* when, CncLong* addresses, int count)
{
    CncLong values[4] = {0};
    CncLong result = readVars(addresses, count, values, MONITOR);
    printf("  %-44s -> %ld:", when, (long)result);
    for (int i = 0; i < count; ++i)
        printf(" %ld=%ld", (long)addresses[i], (long)values[i]);
    printf("\n");
}

static void showCoordinate(CncLong channel, CncLong axis)
{
    CncLong position = 0;
    CncLong result = getAxisCoord(channel, axis, 0, &position, MACHINE);
    printf("  channel %ld axis %ld coordinate                  -> %ld: %ld\n", (long)channel, (long)axis, (long)result,
           (long)position);
}

static void showAlarm(void)
{
    CncLong active = 0, channel = 0, number = 0;
    CncLong result = alarmRead(1, &active, &channel, &number, MACHINE);
    printf("  alarmRead                                    -> %ld: active=%ld channel=%ld number=%ld\n", (long)result,
           (long)active, (long)channel, (long)number);
}

int main(int argc, char** argv)
{
    char* address = argc > 1 ? argv[1] : "127.0.0.5";
    printf("AsyncCommModule demo against the controller at %s\n\n", address);

    /* Channel 1 synchronous, channel 2 asynchronous (bit 2); the target-level client synchronous. */
    if (!addTargetCnc(MACHINE, 2, address, 1 << 2) || !addTargetCnc(MONITOR, 1, address, 1)) {
        printf("could not register the targets\n");
        return 1;
    }
    setErrCallbackFunc(onControllerError, MACHINE);
    setErrCallbackFunc(onControllerError, MONITOR);
    if (!connect(MACHINE) || !connect(MONITOR)) {
        printf("could not connect to %s: is the simulator running?\n", address);
        removeTargetCnc(MACHINE);
        removeTargetCnc(MONITOR);
        return 1;
    }
    printf("connected; link probe says %s, watchdog answers %ld\n\n", getTcpConnectFlag(MACHINE) ? "up" : "down",
           (long)CheckTcpWdt(MACHINE));

    printf("Variables (the monitor target's worker polls them in the background)\n");
    CncLong addresses[4] = {1000100, 1000101, 1000102, 1000103};
    CncLong values[4] = {10, 20, 30, 40};
    show("writeVars 4 variables", writeVars(addresses, 4, values, MACHINE));
    show("registerVars on the monitor", registerVars(addresses, 4, MONITOR));
    sleepMs(300);
    showVariables("readVars from the poll cache", addresses, 4);
    values[0] = -1;
    values[3] = 4000;
    show("writeVars new values", writeVars(addresses, 4, values, MACHINE));
    sleepMs(300);
    showVariables("readVars after the next poll", addresses, 4);

    printf("\nHand motion\n");
    show("jogMotionP_Run ch1 axis 0 by 250 (sync)", jogMotionP_Run(1, 0, 500, 250, 0, 0, MACHINE));
    showCoordinate(1, 0);
    show("jogMotionV_Run ch2 axis 1 at 1000/s (queued)", jogMotionV_Run(2, 1, 1000, 0, 0, MACHINE));
    sleepMs(500);
    show("jogMotionV_Stop ch2 axis 1 (queued)", jogMotionV_Stop(2, 1, MACHINE));
    sleepMs(100);
    showCoordinate(2, 1);
    show("homeRunAxis ch1 axis 0", homeRunAxis(1, 0, MACHINE));
    sleepMs(150);
    CncLong homed = 0;
    show("homeAxisIsEnd ch1 axis 0", homeAxisIsEnd(1, 0, &homed, MACHINE));
    printf("  axis 0 homed: %s\n", homed ? "yes" : "no");
    showCoordinate(1, 0);

    printf("\nBits\n");
    CncLong bit = 0;
    show("setCBit ch1 C3 = 1", setCBit(1, 3, 1, MACHINE));
    show("getCBit ch1 C3", getCBit(1, 3, &bit, MACHINE));
    printf("  C3 = %ld\n", (long)bit);
    show("getIBit ch1 I7", getIBit(1, 7, &bit, MACHINE));
    printf("  I7 = %ld\n", (long)bit);

    printf("\nProgram and alarm\n");
    show("prgCycleStart ch1", prgCycleStart(1, MACHINE));
    char* program = getRuningPrg(1, MACHINE);
    printf("  running program: %s\n", program ? program : "(none)");
    show("emStopSet ch1 on", emStopSet(1, 1, MACHINE));
    showAlarm();
    show("jogMotionP_Run during emergency stop", jogMotionP_Run(1, 0, 500, 10, 0, 0, MACHINE));
    show("emStopSet ch1 off", emStopSet(1, 0, MACHINE));
    show("reset", reset(1, MACHINE));
    showAlarm();

    printf("\nClosing\n");
    printf("  disconnect: %s, %s\n", disconnect(MACHINE) ? "ok" : "failed", disconnect(MONITOR) ? "ok" : "failed");
    show("jogMotionV_Stop after disconnect", jogMotionV_Stop(1, 0, MACHINE));
    removeTargetCnc(MACHINE);
    removeTargetCnc(MONITOR);
    printf("done\n");
    return 0;
}
