// cnc-bridge: publishes what a fleet of controllers holds to an MQTT broker and exposes the
// bridge's health to Prometheus. It only reads values: nothing it receives moves a machine.
#include "Bridge.h"
#include "BridgeConfig.h"
#include "BridgeLog.h"
#include "Systemd.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kStatusEveryMs = 10000; // systemd's status line is brought up to date this often

const char kHelp[] =
    "Usage: cnc-bridge --config FILE [--check] [--log-level LEVEL]\n"
    "\n"
    "Polls CNC controllers and publishes their values to an MQTT broker as retained JSON messages\n"
    "(<prefix>/<machine>/<item>: value, time, quality), with an availability topic per machine\n"
    "and the bridge's own status at <prefix>/bridge. Serves Prometheus metrics on /metrics.\n"
    "It reads values only: nothing received from the broker reaches a machine. The library it\n"
    "uses writes one variable on each connection, the link marker 1110037 (1 on connecting).\n"
    "\n"
    "  --config FILE      the configuration (INI; see cnc-bridge.ini(5))\n"
    "  --check            check the configuration as a start would, print what it watches, and exit\n"
    "  --log-level LEVEL  error, warning, info (the default) or debug\n"
    "  --help             print this help\n"
    "  --version          print the version\n"
    "\n"
    "Logs go to stderr, one line per event with its time and level (under systemd, with the\n"
    "journal's priority instead). SIGTERM or SIGINT stops the bridge: it then publishes its\n"
    "machines and itself offline. SIGHUP reads the configuration again: machines added, removed\n"
    "or changed; the others keep their links; a configuration that fails the check is refused\n"
    "and the running one stays.\n"
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
        LogLevel level = LogLevel::Info;
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
        else if (word == "--log-level" && i + 1 < argc && parseLogLevel(argv[i + 1], level)) {
            setLogLevel(level);
            ++i;
        } else {
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
    std::printf("%zu machines, %zu items, broker %s:%d, prefix %s, client id %s\n", config.machines.size(), items,
                config.mqtt.host.c_str(), config.mqtt.port, config.mqtt.prefix.c_str(), config.mqtt.clientId.c_str());
}

// Blocks the signals the bridge acts on in every thread; the main thread takes them with sigtimedwait.
sigset_t handledSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}

void reload(Bridge& bridge, const std::string& path)
{
    systemd::reloading();
    BridgeConfig next;
    std::string error;
    if (!loadBridgeConfig(path, next, error))
        bridgeLog(LogLevel::Error, "bridge", "reload refused, the running configuration stays: " + error);
    else
        bridge.reload(next);
    systemd::ready(bridge.status());
}

int runBridge(const std::string& path, BridgeConfig config)
{
    const sigset_t signals = handledSignals();
    std::signal(SIGPIPE, SIG_IGN); // a peer that goes away is an error result, not the process's end
    Bridge bridge(std::move(config));
    if (!bridge.start())
        return kExitFailed;
    systemd::ready(bridge.status());
    const auto watchdog = systemd::watchdogInterval();
    const long waitMs = watchdog.count() > 0 ? std::min<long>(long(watchdog.count()), kStatusEveryMs) : kStatusEveryMs;
    while (true) {
        const timespec wait{waitMs / 1000, (waitMs % 1000) * 1000000};
        const int signal = sigtimedwait(&signals, nullptr, &wait);
        if (signal == SIGHUP) {
            bridgeLog(LogLevel::Info, "bridge", "SIGHUP: reading " + path + " again");
            reload(bridge, path);
        } else if (signal == SIGINT || signal == SIGTERM) {
            bridgeLog(LogLevel::Info, "bridge", std::string("stopping on ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT"));
            break;
        }
        // A hung machine thread stops the pings: systemd then restarts the bridge.
        if (bridge.healthy())
            systemd::watchdog();
        systemd::status(bridge.status());
    }
    systemd::stopping();
    bridge.stop();
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
    return runBridge(line.configPath, std::move(config));
}
