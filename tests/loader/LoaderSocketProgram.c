/* One C file that calls the C library's connect(fd, ...) for a socket of its own and the
 * library's connect(cncID) through the loader, both in one process: the program's own socket
 * carries data before and after the library connected a target served by a cnc-simulator
 * process. Usage: LoaderSocketProgram SIMULATOR LIBRARY */
#include "AsyncCommModuleLoader.h"
#include "AsyncCommModuleResults.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include "SimulatorLauncher.h"

#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
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
    fprintf(stderr, "LoaderSocketProgram: %s (%ld)\n", what, value);
    if (simulator > 0) {
        kill(simulator, SIGTERM);
        waitpid(simulator, NULL, 0);
    }
    return 1;
}

/* A listening TCP socket of the program's own on address, any free port; -1 on failure. */
static int listenOn(const char* address, struct sockaddr_in* bound)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    socklen_t length = sizeof *bound;
    memset(bound, 0, sizeof *bound);
    bound->sin_family = AF_INET;
    bound->sin_port = 0;
    if (fd < 0 || inet_pton(AF_INET, address, &bound->sin_addr) != 1 ||
        bind(fd, (struct sockaddr*)bound, sizeof *bound) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, (struct sockaddr*)bound, &length) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

/* Connects a socket to the listener with the C library's connect, sends a word through it and
 * reads it on the accepted side: true when it arrived. */
static bool ownSocketCarries(int listener, const struct sockaddr_in* to, const char* word)
{
    bool arrived = false;
    int client = socket(AF_INET, SOCK_STREAM, 0);
    if (client < 0)
        return false;
    if (connect(client, (const struct sockaddr*)to, sizeof *to) == 0) {
        struct pollfd p = {listener, POLLIN, 0};
        int server = poll(&p, 1, 2000) > 0 ? accept(listener, NULL, NULL) : -1;
        if (server >= 0) {
            char got[32] = {0};
            struct pollfd r = {server, POLLIN, 0};
            if (send(client, word, strlen(word), 0) == (ssize_t)strlen(word) && poll(&r, 1, 2000) > 0 &&
                recv(server, got, sizeof got - 1, 0) == (ssize_t)strlen(word))
                arrived = strcmp(got, word) == 0;
            close(server);
        }
    }
    close(client);
    return arrived;
}

int main(int argc, char** argv)
{
    if (argc < 3)
        return fail("usage: LoaderSocketProgram SIMULATOR LIBRARY", 0);
    char address[32] = {0};
    /* A free loopback address: parallel tests hold some of them. */
    for (int host = 150 + getpid() % 40, tries = 0; tries < 50 && simulator < 0; ++tries, host = 150 + (host - 149) % 50) {
        snprintf(address, sizeof address, "127.0.0.%d", host);
        startSimulator(argv[1], address);
    }
    if (simulator < 0)
        return fail("no simulator could be started", 0);

    struct sockaddr_in listenerAddress;
    int listener = listenOn(address, &listenerAddress);
    if (listener < 0)
        return fail("own listener", 0);
    if (!ownSocketCarries(listener, &listenerAddress, "before"))
        return fail("own socket before loading the library", 0);

    AcmLibrary acm;
    if (acmLibraryLoad(&acm, argv[2]) != ACM_LOAD_OK) {
        fprintf(stderr, "%s\n", acm.error);
        return fail("acmLibraryLoad", 0);
    }
    const int cnc = 4;
    if (!acm.addTargetCnc(cnc, 1, address, 0))
        return fail("addTargetCnc", 0);
    if (!acm.connect(cnc))
        return fail("the library's connect", 0);
    CncLong watchdog = acm.CheckTcpWdt(cnc);
    printf("CheckTcpWdt: %d (%s)\n", (int)watchdog, acmResultText(watchdog));
    if (watchdog != 0)
        return fail("CheckTcpWdt", watchdog);
    if (!ownSocketCarries(listener, &listenerAddress, "while connected"))
        return fail("own socket while the library is connected", 0);
    CncLong addresses[1] = {1000003};
    CncLong values[1] = {1234};
    CncLong back[1] = {0};
    if (acm.writeVars(addresses, 1, values, cnc) != 0 || acm.readVars(addresses, 1, back, cnc) != 0 || back[0] != 1234)
        return fail("variables through the loader", back[0]);
    if (!acm.disconnect(cnc) || !acm.removeTargetCnc(cnc))
        return fail("disconnect and removeTargetCnc", 0);
    acmLibraryUnload(&acm);
    if (!ownSocketCarries(listener, &listenerAddress, "after"))
        return fail("own socket after unloading the library", 0);
    close(listener);
    kill(simulator, SIGTERM);
    waitpid(simulator, NULL, 0);
    printf("LoaderSocketProgram: ok against %s\n", address);
    return 0;
}
