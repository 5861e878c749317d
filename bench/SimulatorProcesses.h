#pragma once
#include <string>
#include <vector>

#include <sys/types.h>

// Controller simulator programs, each on a loopback address of its own.
class SimulatorProcesses
{
public:
    ~SimulatorProcesses();
    // Starts count programs from 127.0.0.firstHost on, skipping addresses already taken.
    bool start(const std::string& program, int count, int firstHost);
    void stop();
    const std::vector<std::string>& addresses() const { return m_addresses; }

private:
    std::vector<pid_t> m_pids;
    std::vector<std::string> m_addresses;
};
