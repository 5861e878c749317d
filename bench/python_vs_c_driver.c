/* The C side of bench/python_vs_c.py: the same two tasks as the Python side, timed the same way.
 *   python_vs_c_driver ADDRESS poll    10,000 variables registered for the background poll, timed
 *                                      until readVars gives back every value written before
 *   python_vs_c_driver ADDRESS stream  1 MiB of program text through a DNC remote buffer, timed
 *                                      until the buffer is idle
 * Prints the milliseconds taken. */
#include "AsyncCommModule.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kVariables = 10000, kFirstAddress = 1000000, kStreamBytes = 1 << 20, kPiece = 48000 };
enum { kIdle = 5, kClosed = 3 };
static const double kGiveUpMs = 60000.0;

static double nowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void pause1ms(void)
{
    const struct timespec t = {0, 1000000};
    nanosleep(&t, NULL);
}

static int poll10000(char* address)
{
    static CncLong addresses[kVariables], written[kVariables], values[kVariables];
    for (int i = 0; i < kVariables; ++i) {
        addresses[i] = kFirstAddress + i;
        written[i] = i * 7 + 1;
    }
    /* Target 1 writes the values synchronously; target 2 polls them. */
    if (!addTargetCnc(1, 1, address, 0) || !connect(1) || writeVars(addresses, kVariables, written, 1) != 0)
        return 1;
    if (!addTargetCnc(2, 1, address, 1) || !connect(2))
        return 1;
    const double start = nowMs();
    if (registerVars(addresses, kVariables, 2) != 0)
        return 1;
    while (readVars(addresses, kVariables, values, 2) != 0 || memcmp(values, written, sizeof values) != 0) {
        if (nowMs() - start > kGiveUpMs)
            return 1;
        pause1ms();
    }
    printf("%.1f\n", nowMs() - start);
    removeTargetCnc(2);
    disconnect(1);
    removeTargetCnc(1);
    return 0;
}

static int stream1MiB(char* address)
{
    static char text[kStreamBytes + 1], piece[kPiece + 1];
    for (int i = 0; i < kStreamBytes; ++i)
        text[i] = (i % 20 == 19) ? '\n' : "G01 X12.5 Y7 F900 "[i % 20 % 18];
    AcmRemoteBuffer* buffer = bufOpen(address, 1, 1);
    const double start = nowMs();
    int offset = 0;
    while (offset < kStreamBytes || getBufState(buffer) != kIdle) {
        if (getBufState(buffer) == kClosed && strlen(getBufStateInf(buffer)) > 0)
            return 1;
        if (nowMs() - start > kGiveUpMs)
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
    printf("%.1f\n", nowMs() - start);
    bufClose(buffer);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    return strcmp(argv[2], "poll") == 0 ? poll10000(argv[1]) : stream1MiB(argv[1]);
}
