/* One C file that calls the C library's connect(fd, ...) for a socket of its own and the
 * library's connect(cncID) through the loader, both in one process: the program's own socket
 * reaches a cnc-simulator process and is answered while and after the library holds a target
 * there. Usage: LoaderSocketProgram SIMULATOR LIBRARY */
#include "AsyncCommModuleLoader.h"
#include "AsyncCommModuleResults.h"
#include "SimulatorLauncher.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

static pid_t simulator = -1;

static int fail(const char* what, long value)
{
    fprintf(stderr, "LoaderSocketProgram: %s (%ld)\n", what, value);
    simulatorEnd(simulator, SIGTERM);
    return 1;
}

/* Connects a socket of its own to the simulator with the C library's connect and sends it a
 * watchdog request: true when a reply comes back. */
static bool ownSocketAnswered(const char* address)
{
    static const unsigned char watchdog[] = {0, 0, 0, 0, 2, 0, 0, 'p'};
    struct sockaddr_in to;
    unsigned char reply[64];
    bool answered = false;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(60000);
    if (fd >= 0 && inet_pton(AF_INET, address, &to.sin_addr) == 1 &&
        connect(fd, (const struct sockaddr*)&to, sizeof to) == 0 &&
        send(fd, watchdog, sizeof watchdog, 0) == (ssize_t)sizeof watchdog) {
        struct pollfd p = {fd, POLLIN, 0};
        answered = poll(&p, 1, 2000) > 0 && recv(fd, reply, sizeof reply, 0) > 7 && reply[7] == 'p';
    }
    if (fd >= 0)
        close(fd);
    return answered;
}

int main(int argc, char** argv)
{
    if (argc < 3)
        return fail("usage: LoaderSocketProgram SIMULATOR LIBRARY", 0);
    char address[32] = {0};
    /* A free loopback address: parallel tests hold some of them. */
    for (int host = 150 + getpid() % 40, tries = 0; tries < 50 && simulator < 0; ++tries, host = 150 + (host - 149) % 50) {
        snprintf(address, sizeof address, "127.0.0.%d", host);
        simulator = simulatorLaunch(argv[1], address);
    }
    if (simulator < 0)
        return fail("no simulator could be started", 0);

    AcmLibrary acm;
    if (acmLibraryLoad(&acm, argv[2]) != ACM_LOAD_OK) {
        fprintf(stderr, "%s\n", acm.error);
        return fail("acmLibraryLoad", 0);
    }
    const int cnc = 4;
    if (!acm.addTargetCnc(cnc, 1, address, 0) || !acm.connect(cnc))
        return fail("addTargetCnc and the library's connect", 0);
    CncLong watchdog = acm.CheckTcpWdt(cnc);
    printf("CheckTcpWdt: %d (%s)\n", (int)watchdog, acmResultText(watchdog));
    if (watchdog != 0)
        return fail("CheckTcpWdt", watchdog);
    if (!ownSocketAnswered(address))
        return fail("own socket while the library is connected", 0);
    if (!acm.disconnect(cnc) || !acm.removeTargetCnc(cnc))
        return fail("disconnect and removeTargetCnc", 0);
    acmLibraryUnload(&acm);
    if (!ownSocketAnswered(address))
        return fail("own socket after unloading the library", 0);
    simulatorEnd(simulator, SIGTERM);
    printf("LoaderSocketProgram: ok against %s\n", address);
    return 0;
}
