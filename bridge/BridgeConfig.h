#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What one machine is asked for. Each item becomes one topic <prefix>/<machine>/<topic>.
struct WatchItem
{
    enum class Kind { Variable, Bit, Alarm, Program, Axes };
    Kind kind = Kind::Variable;
    std::string topic;
    int32_t address = 0;  // Variable: the controller variable
    int32_t channel = 1;  // Bit, Program, Axes
    int32_t bitType = 0;  // Bit: table 0..6
    int32_t bit = 0;      // Bit: number in its table
    int32_t axisCount = 0; // Axes: coordinates asked for
    int periodMs = 1000;
    double deadband = 0; // Variable: changes no larger than this (after scaling) are not published
    double scale = 1;    // Variable, Axes: published value = read value * scale + offset
    double offset = 0;
    std::string unit;    // Variable, Axes: published beside the value when set
    int republishMs = 0; // an unchanged value is published again after this long; 0: never

    bool operator==(const WatchItem& other) const;
    bool operator!=(const WatchItem& other) const { return !(*this == other); }
};

struct MachineConfig
{
    std::string name;
    std::string address; // host, or host:port, as the library takes it
    int channels = 1;
    std::vector<WatchItem> items;

    bool operator==(const MachineConfig& other) const;
    bool operator!=(const MachineConfig& other) const { return !(*this == other); }
};

struct MqttConfig
{
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string clientId; // empty in the file: derived from the host's name and the file's path
    std::string username;
    std::string password; // given, or read from password_file
    std::string caFile;   // non-empty: TLS, checking the broker against this CA
    std::string prefix = "cnc";
    int qos = 1;
    int keepaliveS = 30;

    bool operator==(const MqttConfig& other) const;
};

// How long a machine that is away, an item it refuses, or the broker waits before it is tried
// again: minMs, doubling to maxMs.
struct Backoff
{
    int minMs = 500;
    int maxMs = 30000;
};

struct BridgeConfig
{
    MqttConfig mqtt;
    std::string metricsHost = "127.0.0.1"; // "off": no metrics listener
    int metricsPort = 9464;                // 0: any free port (the log names it)
    int reconnectMinMs = 500;
    int reconnectMaxMs = 30000;
    std::vector<MachineConfig> machines;

    Backoff backoff() const { return {reconnectMinMs, reconnectMaxMs}; }
    // Where the bridge's own birth and last will go.
    std::string statusTopic() const { return mqtt.prefix + "/bridge"; }
    std::string topicOf(const MachineConfig& machine, const std::string& item) const
    {
        return mqtt.prefix + "/" + machine.name + "/" + item;
    }
};

// Reads an INI file and checks everything that can be checked before the bridge runs (the start
// and --check use this one function); on failure error names the file and line
// ("FILE:LINE: reason").
bool loadBridgeConfig(const std::string& path, BridgeConfig& config, std::string& error);
