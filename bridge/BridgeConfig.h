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
    double deadband = 0; // Variable, Bit: changes no larger than this are not published
};

struct MachineConfig
{
    std::string name;
    std::string address; // host, or host:port, as the library takes it
    int channels = 1;
    std::vector<WatchItem> items;
};

struct MqttConfig
{
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string clientId = "cnc-bridge";
    std::string username;
    std::string password;
    std::string caFile; // non-empty: TLS, checking the broker against this CA
    std::string prefix = "cnc";
    int qos = 1;
    int keepaliveS = 30;
};

struct BridgeConfig
{
    MqttConfig mqtt;
    std::string metricsHost = "127.0.0.1"; // "off": no metrics listener
    int metricsPort = 9464;                // 0: any free port (the log names it)
    int reconnectMinMs = 500;
    int reconnectMaxMs = 30000;
    std::vector<MachineConfig> machines;

    // Where the bridge's own birth and last will go.
    std::string statusTopic() const { return mqtt.prefix + "/bridge"; }
    std::string topicOf(const MachineConfig& machine, const std::string& item) const
    {
        return mqtt.prefix + "/" + machine.name + "/" + item;
    }
};

// Reads an INI file; on failure error names the file and line ("FILE:LINE: reason").
bool loadBridgeConfig(const std::string& path, BridgeConfig& config, std::string& error);
