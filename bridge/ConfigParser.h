#pragma once
#include "BridgeConfig.h"

#include <set>
#include <string>
#include <vector>

// The INI reader behind loadBridgeConfig: one line at a time, remembering the section, so that
// every refusal can name the line it comes from.
class ConfigParser
{
public:
    explicit ConfigParser(BridgeConfig& config) : config(config) {}
    // Takes one line; false (with error) when it is refused.
    bool line(const std::string& text, int number);
    // Checks what only the whole file can tell; false (with error) when refused.
    bool finish();
    const std::string& error() const { return message; }

private:
    bool section(const std::string& name);
    bool mqttKey(const std::string& key, const std::string& value);
    bool mqttSecret(const std::string& key, const std::string& value);
    bool bridgeKey(const std::string& key, const std::string& value);
    bool metricsKey(const std::string& key, const std::string& value);
    bool machineKey(const std::string& key, const std::string& value);
    bool item(WatchItem::Kind kind, const std::string& topic, const std::string& value);
    bool itemArguments(std::vector<std::string>& words, WatchItem& item);
    bool itemOptions(std::vector<std::string>& words, WatchItem& item);
    bool itemOption(const std::string& option, const std::string& argument, WatchItem& item);
    bool addItem(const WatchItem& item);
    bool finishMachine(const MachineConfig& machine);
    bool refuse(const std::string& why);

    BridgeConfig& config;
    std::string current;             // the section's kind: mqtt, bridge, metrics or machine
    std::set<std::string> sections;  // the single sections seen
    std::set<std::string> keys;      // the keys seen in the current section
    int lineNumber = 0;
    std::vector<int> machineLines; // where each machine's section starts
    std::string message;
};
