#include "SimulatorLauncher.h"

#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

enum { kListenWaitMs = 5000 };

pid_t simulatorLaunch(const char* program, const char* address)
{
    int out[2];
    if (!program || !address || pipe(out) != 0)
        return -1;
    pid_t child = fork();
    if (child < 0) {
        close(out[0]);
        close(out[1]);
        return -1;
    }
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(program, program, "--listen", address, (char*)NULL);
        _exit(127);
    }
    close(out[1]);
    /* It prints "cnc-simulator listening on ..." once it serves. */
    char line[256] = {0};
    size_t used = 0;
    struct pollfd p = {out[0], POLLIN, 0};
    while (used < sizeof line - 1 && poll(&p, 1, kListenWaitMs) > 0) {
        ssize_t n = read(out[0], line + used, sizeof line - 1 - used);
        if (n <= 0)
            break;
        used += (size_t)n;
        if (strchr(line, '\n'))
            break;
    }
    close(out[0]);
    if (strstr(line, "listening"))
        return child;
    simulatorEnd(child, SIGTERM);
    return -1;
}

void simulatorEnd(pid_t pid, int signal)
{
    if (pid < 1)
        return;
    kill(pid, signal);
    waitpid(pid, NULL, 0);
}
