/* Harness: runs PROGRAM with the address of a simulator started for it.
 * Usage: with_simulator SIMULATOR-PROGRAM PROGRAM [ARGUMENTS...]
 * PROGRAM runs as PROGRAM ADDRESS ARGUMENTS...; its exit status is returned. */
#include "example_support.h"

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: with_simulator SIMULATOR-PROGRAM PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const char* address = simulatorStart(argv[1]);
    if (!address) {
        fprintf(stderr, "with_simulator: could not start %s\n", argv[1]);
        return 2;
    }
    char* args[64];
    int n = 0;
    args[n++] = argv[2];
    args[n++] = (char*)address;
    for (int i = 3; i < argc && n < 63; ++i)
        args[n++] = argv[i];
    args[n] = NULL;
    fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        execv(argv[2], args);
        _exit(127);
    }
    int status = 1;
    if (child < 0 || waitpid(child, &status, 0) < 0)
        status = 1 << 8;
    simulatorKill();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
