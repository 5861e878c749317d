#include "SimulatorProcesses.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace {
// The program's pid once it says it listens on address, else -1.
pid_t startOne(const std::string& program, const std::string& address)
{
    int out[2];
    if (pipe(out) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(program.c_str(), program.c_str(), "--listen", address.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    char line[256] = {};
    size_t used = 0;
    pollfd p{out[0], POLLIN, 0};
    while (used < sizeof line - 1 && poll(&p, 1, 5000) > 0) {
        const ssize_t n = read(out[0], line + used, sizeof line - 1 - used);
        if (n <= 0)
            break;
        used += size_t(n);
        if (std::strchr(line, '\n'))
            break;
    }
    close(out[0]);
    if (std::strstr(line, "listening"))
        return pid;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return -1;
}
} // namespace

SimulatorProcesses::~SimulatorProcesses()
{
    stop();
}

bool SimulatorProcesses::start(const std::string& program, int count, int firstHost)
{
    for (int host = firstHost; host < 255 && int(m_pids.size()) < count; ++host) {
        const std::string address = "127.0.0." + std::to_string(host);
        const pid_t pid = startOne(program, address);
        if (pid > 0) {
            m_pids.push_back(pid);
            m_addresses.push_back(address);
        }
    }
    return int(m_pids.size()) == count;
}

void SimulatorProcesses::stop()
{
    for (pid_t pid : m_pids)
        kill(pid, SIGTERM);
    for (pid_t pid : m_pids)
        waitpid(pid, nullptr, 0);
    m_pids.clear();
    m_addresses.clear();
}
