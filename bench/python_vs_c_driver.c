/* The C side of bench/python_vs_c.py: the same two tasks as the Python side, timed per call in
 * one warm process, the same way.
 *   python_vs_c_driver ADDRESS read N    readVars of 10,000 variables answered from the background
 *                                        poll: N calls after a warm-up, each timed
 *   python_vs_c_driver ADDRESS stream N  1 MiB of program text through a DNC remote buffer, until
 *                                        the buffer is idle: N streams after a warm-up, each timed
 * Prints the median milliseconds of one call (or one stream): by the wall clock, then the calling
 * thread's processor time. */
#include "AsyncCommModule.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kVariables = 10000, kFirstAddress = 1000000, kStreamBytes = 1 << 20, kPiece = 48000 };
enum { kIdle = 5, kClosed = 3, kWarmUp = 10, kMostRuns = 1000, kNoPolledValue = 111 };
static const double kGiveUpMs = 60000.0;

static double msOf(clockid_t clock)
{
    struct timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static double nowMs(void)
{
    return msOf(CLOCK_MONOTONIC);
}

static void pause1ms(void)
{
    const struct timespec t = {0, 1000000};
    nanosleep(&t, NULL);
}

static int ascending(const void* a, const void* b)
{
    const double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

static double median(double* ms, int count)
{
    qsort(ms, count, sizeof *ms, ascending);
    return ms[count / 2];
}

static CncLong addresses[kVariables], written[kVariables], values[kVariables];

/* Target 1 writes the values synchronously; target 2 polls them; 0 once the poll brought them. */
static int pollReady(char* address)
{
    for (int i = 0; i < kVariables; ++i) {
        addresses[i] = kFirstAddress + i;
        written[i] = i * 7 + 1;
    }
    if (!addTargetCnc(1, 1, address, 0) || !connect(1) || writeVars(addresses, kVariables, written, 1) != 0)
        return 1;
    if (!addTargetCnc(2, 1, address, 1) || !connect(2) || registerVars(addresses, kVariables, 2) != 0)
        return 1;
    const double start = nowMs();
    while (readVars(addresses, kVariables, values, 2) == kNoPolledValue ||
           memcmp(values, written, sizeof values) != 0) {
        if (nowMs() - start > kGiveUpMs)
            return 1;
        pause1ms();
    }
    return 0;
}

static int readCalls(char* address, int runs, double* ms, double* cpuMs)
{
    if (pollReady(address) != 0)
        return 1;
    for (int i = -kWarmUp; i < runs; ++i) {
        const double start = nowMs(), startCpu = msOf(CLOCK_THREAD_CPUTIME_ID);
        if (readVars(addresses, kVariables, values, 2) != 0)
            return 1;
        if (i >= 0) {
            ms[i] = nowMs() - start;
            cpuMs[i] = msOf(CLOCK_THREAD_CPUTIME_ID) - startCpu;
        }
    }
    removeTargetCnc(2);
    disconnect(1);
    removeTargetCnc(1);
    return 0;
}

static char text[kStreamBytes + 1], piece[kPiece + 1];

static int stream1MiB(AcmRemoteBuffer* buffer)
{
    const double start = nowMs();
    int offset = 0;
    while (offset < kStreamBytes || getBufState(buffer) != kIdle) {
        if ((getBufState(buffer) == kClosed && strlen(getBufStateInf(buffer)) > 0) || nowMs() - start > kGiveUpMs)
            return 1;
        int room = getBufValidCnt(buffer);
        int size = kStreamBytes - offset < room ? kStreamBytes - offset : room - room % 480;
        if (size > kPiece)
            size = kPiece;
        if (offset < kStreamBytes && size > 0) {
            memcpy(piece, text + offset, size);
            piece[size] = 0;
            if (bufWrite(buffer, piece) == 1)
                offset += size;
        } else {
            pause1ms();
        }
    }
    return 0;
}

static int streams(char* address, int runs, double* ms, double* cpuMs)
{
    for (int i = 0; i < kStreamBytes; ++i)
        text[i] = (i % 20 == 19) ? '\n' : "G01 X12.5 Y7 F900 "[i % 20 % 18];
    AcmRemoteBuffer* buffer = bufOpen(address, 1, 1);
    for (int i = -1; i < runs; ++i) { /* one stream to warm up */
        const double start = nowMs(), startCpu = msOf(CLOCK_THREAD_CPUTIME_ID);
        if (stream1MiB(buffer) != 0)
            return 1;
        if (i >= 0) {
            ms[i] = nowMs() - start;
            cpuMs[i] = msOf(CLOCK_THREAD_CPUTIME_ID) - startCpu;
        }
    }
    bufClose(buffer);
    return 0;
}

int main(int argc, char** argv)
{
    static double ms[kMostRuns], cpuMs[kMostRuns];
    const int runs = argc == 4 ? atoi(argv[3]) : 0;
    if (runs < 1 || runs > kMostRuns)
        return 2;
    const int read = strcmp(argv[2], "read") == 0;
    if (read ? readCalls(argv[1], runs, ms, cpuMs) : streams(argv[1], runs, ms, cpuMs))
        return 1;
    printf("%.3f %.3f\n", median(ms, runs), median(cpuMs, runs));
    return 0;
}
