/* Built against an installed copy only: registers a target on the controller simulator at the
 * address given, connects it, runs a few commands and removes it. */
#include <AsyncCommModule.h>

#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fputs("usage: consumer ADDRESS\n", stderr);
        return 1;
    }
    CncLong value = 0;
    if (!addTargetCnc(9, 2, argv[1], 0) || addTargetCnc(9, 2, argv[1], 0))
        return 2;
    if (getIBit(3, 0, &value, 9) != 1 || getIBit(2, 0, &value, 9) != 7)
        return 3;
    if (!connect(9) || CheckTcpWdt(9) != 0 || jogMotionV_Stop(2, 1, 9) != 0)
        return 4;
    CncLong address = 1000001, written = 4711, read = 0;
    if (writeVars(&address, 1, &written, 9) != 0 || readVars(&address, 1, &read, 9) != 0 || read != written)
        return 5;
    if (!disconnect(9) || !removeTargetCnc(9) || removeTargetCnc(9))
        return 6;
    puts("consumer: ok");
    return 0;
}
