#include "SimulatorProcesses.h"

#include "SimulatorLauncher.h"

#include <signal.h>

SimulatorProcesses::~SimulatorProcesses()
{
    stop();
}

bool SimulatorProcesses::start(const std::string& program, int count, int firstHost)
{
    for (int host = firstHost; host < 255 && int(m_pids.size()) < count; ++host) {
        const std::string address = "127.0.0." + std::to_string(host);
        const pid_t pid = simulatorLaunch(program.c_str(), address.c_str());
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
        simulatorEnd(pid, SIGTERM);
    m_pids.clear();
    m_addresses.clear();
}
