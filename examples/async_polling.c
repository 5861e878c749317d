/* Asynchronous polling with the error callback.
 *
 * The target-level client of this target runs asynchronously (bit 0 of asyncMask). Its worker
 * thread reads the registered variables again and again, so readVars answers at once from what
 * the worker read last. Until a poll has read every address asked for (after registering, and
 * after each connect) readVars returns 111 and leaves the values as they were: a value nobody
 * has read is never handed out as read. Commands on that client only queue their request and return 0; whether
 * the controller took them shows only through the error callback, which runs on the worker
 * thread.
 *
 * Usage: async_polling ADDRESS | SIMULATOR-PROGRAM */
#include "AsyncCommModule.h"
#include "example_support.h"

#include <pthread.h>
#include <stdio.h>

enum { CNC = 1 };

/* What the callback saw; it runs on the worker thread, so guard it. */
static pthread_mutex_t seenLock = PTHREAD_MUTEX_INITIALIZER;
static CncLong seenErrorCmd = -1, seenState = -1;

/* Runs with the client locked: note what happened and return. Calling the library from here
 * would wait for that lock for ever. */
static void onControllerError(CncLong errorCmd, CncLong cmdState, const char* detail)
{
    pthread_mutex_lock(&seenLock);
    seenErrorCmd = errorCmd;
    seenState = cmdState;
    pthread_mutex_unlock(&seenLock);
    printf("  error callback: reply kind %ld, state %ld: %s\n", (long)errorCmd, (long)cmdState, detail);
}

static int sawError(CncLong errorCmd, CncLong state)
{
    pthread_mutex_lock(&seenLock);
    int seen = seenErrorCmd == errorCmd && seenState == state;
    pthread_mutex_unlock(&seenLock);
    return seen;
}

int main(int argc, char** argv)
{
    char* address = (char*)exampleController(argc, argv);
    if (!address)
        return 2;

    /* One channel; asyncMask 1: the target-level client (variables, cycStart, ...) asynchronous. */
    if (!addTargetCnc(CNC, 1, address, 1))
        return 1;
    setErrCallbackFunc(onControllerError, CNC);
    if (!connect(CNC)) {
        printf("no controller at %s\n", address);
        removeTargetCnc(CNC);
        return 1;
    }

    /* Register the variables once; the worker then keeps reading them. */
    CncLong watched[2] = {1000100, 1000101};
    int ok = registerVars(watched, 2, CNC) == 0;

    for (CncLong round = 1; ok && round <= 3; ++round) {
        /* Queued, not yet written: 0 means only that the queue took it. */
        CncLong wanted[2] = {round * 10, -round};
        ok = writeVars(watched, 2, wanted, CNC) == 0;

        /* The next poll cycles bring the new values into what readVars returns; 111 means no
         * poll has read them yet, and seen keeps what it held. */
        CncLong seen[2] = {0, 0};
        for (int tries = 0; ok && tries < 100; ++tries) { /* at most about 2 s */
            if (readVars(watched, 2, seen, CNC) == 0 && seen[0] == wanted[0] && seen[1] == wanted[1])
                break;
            sleepMs(20);
        }
        printf("round %ld: polled %ld and %ld\n", (long)round, (long)seen[0], (long)seen[1]);
        ok = ok && seen[0] == wanted[0] && seen[1] == wanted[1];
    }

    /* A command the controller refuses: no such program. On an asynchronous client the call
     * returns 0 (queued); the refusal arrives through the callback: errorCmd 8 (cycle start),
     * state 3 ("file is not exist."). */
    if (ok) {
        CncLong queued = cycStart(1, "O9999", CNC);
        printf("cycStart of a missing program returned %ld (queued)\n", (long)queued);
        ok = queued == 0;
        for (int tries = 0; ok && tries < 100 && !sawError(8, 3); ++tries)
            sleepMs(20);
        ok = ok && sawError(8, 3);
    }

    disconnect(CNC);
    removeTargetCnc(CNC);
    printf("%s\n", ok ? "async_polling: ok" : "async_polling: FAILED");
    return ok ? 0 : 1;
}
