// cnc-bridge: publishes what a fleet of controllers holds to an MQTT broker and exposes the
// bridge's health to Prometheus. It only reads: nothing it receives moves a machine.
#include "AsyncCommModule.h"
#include "BridgeConfig.h"
#include "BridgeLog.h"
#include "MachineSupervisor.h"
#include "Metrics.h"
#include "MetricsListener.h"
#include "Publisher.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kStopSendMs = 5000; // how long a stop waits for the broker to take the last state

const char kHelp[] =
    "Usage: cnc-bridge --config FILE [--check]\n"
    "\n"
    "Polls CNC controllers and publishes their values to an MQTT broker as retained JSON messages\n"
    "(<prefix>/<machine>/<item>: value, time, quality), with an availability topic per machine\n"
    "and the bridge's own status at <prefix>/bridge. Serves Prometheus metrics on /metrics.\n"
    "The bridge is read-only: it never writes to a controller, and nothing received from the\n"
    "broker reaches a machine.\n"
    "\n"
    "  --config FILE  the configuration (INI; see cnc-bridge.ini.example)\n"
    "  --check        check the configuration, print what it watches, and exit\n"
    "  --help         print this help\n"
    "  --version      print the version\n"
    "\n"
    "Logs go to stderr, one line per event. SIGTERM or SIGINT stops the bridge; it then publishes\n"
    "its machines and itself offline.\n"
    "Exit status: 0 stopped by a signal or checked fine; 1 could not start; 2 bad command line or\n"
    "configuration.\n";

struct CommandLine
{
    std::string configPath;
    bool check = false;
};

int parseCommandLine(int argc, char** argv, CommandLine& line)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            std::fputs(kHelp, stdout);
            return kExitOk;
        }
        if (word == "--version") {
            std::printf("cnc-bridge %s\n", CNC_BRIDGE_VERSION);
            return kExitOk;
        }
        if (word == "--check")
            line.check = true;
        else if (word == "--config" && i + 1 < argc)
            line.configPath = argv[++i];
        else {
            std::fprintf(stderr, "cnc-bridge: unexpected argument '%s' (see --help)\n", word.c_str());
            return kExitUsage;
        }
    }
    if (line.configPath.empty()) {
        std::fputs("cnc-bridge: --config FILE is required (see --help)\n", stderr);
        return kExitUsage;
    }
    return -1;
}

void printSummary(const BridgeConfig& config)
{
    size_t items = 0;
    for (const MachineConfig& machine : config.machines)
        items += machine.items.size();
    std::printf("%zu machines, %zu items, broker %s:%d, prefix %s\n", config.machines.size(), items,
                config.mqtt.host.c_str(), config.mqtt.port, config.mqtt.prefix.c_str());
}

// Blocks the stop signals in every thread; the main thread then takes them with sigwait.
sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}

int runBridge(const BridgeConfig& config)
{
    const sigset_t signals = stopSignals();
    std::signal(SIGPIPE, SIG_IGN); // a peer that goes away is an error result, not the process's end
    Metrics metrics;
    std::vector<MachineMetrics*> machineMetrics;
    for (const MachineConfig& machine : config.machines)
        machineMetrics.push_back(&metrics.addMachine(machine.name));
    Publisher publisher(config, metrics);
    std::string error;
    if (!publisher.start(error)) {
        bridgeLog("bridge", error);
        return kExitFailed;
    }
    MetricsListener listener([&metrics] { return metrics.render(); });
    if (config.metricsHost != "off") {
        if (!listener.start(config.metricsHost, config.metricsPort, error)) {
            bridgeLog("bridge", "metrics listener: " + error);
            publisher.stop(kStopSendMs);
            return kExitFailed;
        }
        bridgeLog("bridge", "metrics on http://" + config.metricsHost + ":" + std::to_string(listener.port()) +
                                "/metrics");
    }
    // Every target is registered before any machine thread starts: a refused address ends the bridge
    // with no machine half started.
    std::vector<std::unique_ptr<MachineSupervisor>> supervisors;
    for (size_t i = 0; i < config.machines.size(); ++i) {
        const MachineConfig& machine = config.machines[i];
        std::vector<char> address(machine.address.begin(), machine.address.end());
        address.push_back('\0');
        if (!addTargetCnc(int(i + 1), machine.channels, address.data(), 0)) {
            bridgeLog(machine.name, "the library refused the address " + machine.address);
            return kExitUsage;
        }
        supervisors.push_back(
            std::make_unique<MachineSupervisor>(config, machine, int(i + 1), *machineMetrics[i], publisher));
    }
    for (auto& supervisor : supervisors)
        supervisor->start();
    bridgeLog("bridge", "running with " + std::to_string(supervisors.size()) + " machines");
    int signal = 0;
    sigwait(&signals, &signal);
    bridgeLog("bridge", std::string("stopping on ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT"));
    for (auto& supervisor : supervisors)
        supervisor->stop();
    listener.stop();
    publisher.stop(kStopSendMs);
    for (size_t i = 0; i < config.machines.size(); ++i)
        removeTargetCnc(int(i + 1));
    bridgeLog("bridge", "stopped");
    return kExitOk;
}
}

int main(int argc, char** argv)
{
    CommandLine line;
    const int early = parseCommandLine(argc, argv, line);
    if (early >= 0)
        return early;
    BridgeConfig config;
    std::string error;
    if (!loadBridgeConfig(line.configPath, config, error)) {
        std::fprintf(stderr, "cnc-bridge: %s\n", error.c_str());
        return kExitUsage;
    }
    if (line.check) {
        printSummary(config);
        return kExitOk;
    }
    // The library's own diagnostics would be one line per request; the bridge logs events.
    setenv("QT_LOGGING_RULES", "acm.debug=false", 0);
    return runBridge(config);
}
