/* Program text transfer and start.
 *
 * A part program goes to a file of one channel in four steps on that channel's client:
 * declare the file, overwrite it with the first text, append the rest, close it with fileEnd.
 * uploadFile does the same in one call. cycStart then starts a program by name. Use
 * synchronous clients (asyncMask 0) for this: each step needs the answer to the one before.
 *
 * Usage: program_transfer ADDRESS | SIMULATOR-PROGRAM */
#include "AsyncCommModule.h"
#include "example_support.h"

#include <stdio.h>
#include <string.h>

enum { CNC = 1, CHANNEL = 2 };

static int expect(const char* what, CncLong result, CncLong wanted)
{
    printf("  %-44s -> %ld\n", what, (long)result);
    if (result != wanted)
        printf("  expected %ld\n", (long)wanted);
    return result == wanted;
}

int main(int argc, char** argv)
{
    char* address = (char*)exampleController(argc, argv);
    if (!address)
        return 2;
    if (!addTargetCnc(CNC, 2, address, 0) || !connect(CNC)) {
        printf("no controller at %s\n", address);
        removeTargetCnc(CNC);
        return 1;
    }

    /* A program of about 1 KB: text goes in blocks of 400 bytes, 7-bit characters only. */
    static char program[2048];
    strcpy(program, "%\nO1001\nG90 G54 G00 X0 Y0\n");
    for (int line = 1; line <= 40; ++line)
        sprintf(program + strlen(program), "N%03d G01 X%d Y%d F800\n", line, line * 5, line * 3);
    strcat(program, "M30\n%\n");
    char* rest = program + 300; /* to show overwrite and append: the first 300 bytes, then the rest */
    char first[301];
    memcpy(first, program, 300);
    first[300] = '\0';

    int ok = 1;
    printf("step by step on channel %d:\n", CHANNEL);
    /* Type 1; the declaration also empties the file. */
    ok = ok && expect("setTransFileType(1, channel, \"O1001\")", setTransFileType(1, CHANNEL, "O1001", CNC), 0);
    ok = ok && expect("overwrite(first 300 bytes)", overwrite(first, CHANNEL, CNC), 0);
    ok = ok && expect("append(the rest)", append(rest, CHANNEL, CNC), 0);
    ok = ok && expect("fileEnd", fileEnd(CHANNEL, CNC), 0);
    /* The file is closed: the channel takes no more text until the next declaration. */
    ok = ok && expect("append after fileEnd (1: not declared)", append("M00\n", CHANNEL, CNC), 1);

    /* Start it by name. cycStart runs on the target-level client and names the channel itself:
     * it must be the channel the file was written to (103: no such file there). */
    ok = ok && expect("cycStart(channel, \"O1001\")", cycStart(CHANNEL, "O1001", CNC), 0);
    /* A file that is being executed cannot be written: 102. */
    ok = ok && expect("getTransFileState of the running program", getTransFileState(1, CHANNEL, "O1001", CNC), 102);

    /* The same in one call, on channel 1: declare, write, close. */
    printf("in one call on channel 1:\n");
    ok = ok && expect("uploadFile(1, 1, \"O1002\", program)", uploadFile(1, 1, "O1002", program, CNC), 0);
    ok = ok && expect("cycStart(1, \"O1002\")", cycStart(1, "O1002", CNC), 0);

    disconnect(CNC);
    removeTargetCnc(CNC);
    printf("%s\n", ok ? "program_transfer: ok" : "program_transfer: FAILED");
    return ok ? 0 : 1;
}
