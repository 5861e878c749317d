/* FTP from a plain C program, so with no Qt event loop: each FTP call must still advance to its end
 * on the library's own thread. Usage: FtpFromPlainC PYTHON FTP-SERVER-SCRIPT */
#include "AsyncCommModule.h"

#include <poll.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kCnc = 5, kFtpList = 20, kFileSize = 3 << 20 };

static char root[] = "/tmp/acm-ftp-c-XXXXXX"; /* both users' home, and the local file */
static pid_t server = -1;
static int serverInput = -1; /* the server ends when this closes */
static atomic_int reports, lastCmd, lastState;

static void onError(CncLong errorCmd, CncLong cmdState, const char* detail)
{
    atomic_store(&lastCmd, errorCmd);
    atomic_store(&lastState, detail && *detail ? cmdState : -100); /* a report must say why */
    atomic_fetch_add(&reports, 1);
}

static double nowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static int waitFor(int (*cond)(void), double limitMs)
{
    const struct timespec step = {0, 10 * 1000 * 1000};
    for (const double end = nowMs() + limitMs; !cond() && nowMs() < end;)
        nanosleep(&step, NULL);
    return cond();
}

static int progressDone(void) { return getFtpUploadFileProgress(kCnc) >= 100.0; }
static int reported(void) { return atomic_load(&reports) > 0; }

static void stopServer(void)
{
    if (serverInput >= 0)
        close(serverInput);
    serverInput = -1;
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, NULL, 0);
        char command[300];
        snprintf(command, sizeof command, "rm -rf '%s'", root);
        if (system(command) != 0)
            fprintf(stderr, "FtpFromPlainC: %s stays\n", root);
    }
    server = -1;
}

static int fail(const char* what, double value)
{
    fprintf(stderr, "FtpFromPlainC: %s (%g)\n", what, value);
    stopServer();
    return 1;
}

/* Starts the server with both users at home in root; whether it said the address it listens on. */
static int startServer(const char* python, const char* script, char* address)
{
    int in[2], out[2];
    char first[8], log[512], line[128] = {0};
    snprintf(first, sizeof first, "%d", 150 + getpid() % 60);
    snprintf(log, sizeof log, "%s/commands.log", root);
    if (pipe(in) != 0 || pipe(out) != 0)
        return 0;
    if ((server = fork()) == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        execl(python, python, script, "--first-host", first, "--root-home", root, "--ftp-home", root, "--log", log,
              (char*)NULL);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    serverInput = in[1];
    const double end = nowMs() + 10000;
    struct pollfd p = {out[0], POLLIN, 0};
    for (size_t used = 0; used < sizeof line - 1 && !strchr(line, '\n'); used = strlen(line))
        if (nowMs() >= end || poll(&p, 1, (int)(end - nowMs())) <= 0 || read(out[0], line + used, 1) != 1)
            break;
    close(out[0]);
    return sscanf(line, "READY %31s", address) == 1;
}

/* A call that must fail at once: the error callback hears of the failed step well before the
 * 30 s a silent server gets, and the progress stays below 100. The caller clears the count of
 * reports before the call: its report may come before this runs. */
static int failsFast(CncLong started, int expectState, const char* what)
{
    const double t0 = nowMs();
    if (started != 0 || !waitFor(reported, 2000) || atomic_load(&lastCmd) != kFtpList ||
        atomic_load(&lastState) != expectState || getFtpUploadFileProgress(kCnc) >= 100.0)
        return fail(what, nowMs() - t0);
    return 0;
}

int main(int argc, char** argv)
{
    char address[32] = {0}, local[256], remote[300], made[] = "/made", dest[] = "/made/", missing[] = "/missing/child";
    if (argc < 3 || !mkdtemp(root) || !startServer(argv[1], argv[2], address))
        return fail("usage: FtpFromPlainC PYTHON FTP-SERVER-SCRIPT; no FTP server", argc);
    static unsigned char bytes[kFileSize], back[kFileSize + 1];
    for (long i = 0; i < kFileSize; ++i)
        bytes[i] = (unsigned char)(i * 7 + i / 251);
    snprintf(local, sizeof local, "%s/O1234.nc", root);
    FILE* f = fopen(local, "wb");
    if (!f || fwrite(bytes, 1, kFileSize, f) != kFileSize || fclose(f) != 0 || !addTargetCnc(kCnc, 1, address, 0) ||
        !setErrCallbackFunc(onError, kCnc))
        return fail("setting up", 0);
    /* The upload goes into the folder the first list makes. */
    if (ftpMkdir(made, address, kCnc) != 0 || !waitFor(progressDone, 10000) ||
        ftpUploadFileDes(local, dest, address, kCnc) != 0 || !waitFor(progressDone, 20000))
        return fail("the folder or the upload did not reach 100", getFtpUploadFileProgress(kCnc));
    snprintf(remote, sizeof remote, "%s/made/O1234.nc", root);
    f = fopen(remote, "rb");
    const long n = f ? (long)fread(back, 1, sizeof back, f) : -1;
    if (!f || fclose(f) != 0 || n != kFileSize || memcmp(back, bytes, kFileSize) != 0 || reported())
        return fail("the uploaded file differs, or a success was reported as a failure", (double)n);
    /* A server error reply ends the list at once (the folder's parent is missing), and so does an
     * address where nothing listens on port 21. */
    if (failsFast(ftpMkdir(missing, address, kCnc), 4, "a refused folder did not end at once"))
        return 1;
    stopServer();
    atomic_store(&reports, 0);
    if (failsFast(ftpMkdir(made, address, kCnc), 0, "a refused connection did not end at once") || !removeTargetCnc(kCnc))
        return 1;
    printf("FtpFromPlainC: uploaded %d bytes to %s; failures ended at once\n", kFileSize, address);
    return 0;
}
