#include "ConfigParser.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>

namespace {
constexpr int kShortestPeriodMs = 10;
constexpr int kLongestPeriodMs = 3600 * 1000;
constexpr int kMostChannels = 99;
constexpr int kMostAxes = 64;
constexpr int32_t kLastVariable = 16169999;
constexpr int kLastBitTable = 6;
const char* const kAvailabilityTopic = "availability";

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool wholeNumber(const std::string& text, long long low, long long high, long long& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0' && out >= low && out <= high;
}

template <typename T> bool numberInto(const std::string& text, long long low, long long high, T& out)
{
    long long value = 0;
    if (!wholeNumber(text, low, high, value))
        return false;
    out = T(value);
    return true;
}

// "200ms", "2s", "1.5s" or a plain number of milliseconds.
bool durationMs(const std::string& text, int& out)
{
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    const std::string unit = end ? end : "";
    double ms = 0;
    if (unit.empty() || unit == "ms")
        ms = number;
    else if (unit == "s")
        ms = number * 1000;
    else
        return false;
    if (end == text.c_str() || !(ms >= kShortestPeriodMs && ms <= kLongestPeriodMs))
        return false;
    out = int(std::lround(ms));
    return true;
}

// Letters, digits, '_', '-' and '/' between levels: nothing a subscriber's wildcard could take
// for its own.
bool validName(const std::string& name, bool levels)
{
    if (name.empty() || name.front() == '/' || name.back() == '/' || name.find("//") != std::string::npos)
        return false;
    return std::all_of(name.begin(), name.end(), [levels](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || (levels && c == '/');
    });
}
}

bool ConfigParser::refuse(const std::string& why)
{
    message = "line " + std::to_string(lineNumber) + ": " + why;
    return false;
}

bool ConfigParser::line(const std::string& raw, int number)
{
    lineNumber = number;
    // Comments take whole lines, so that a password may hold '#'.
    const std::string text = trimmed(raw);
    if (text.empty() || text.front() == '#' || text.front() == ';')
        return true;
    if (text.front() == '[') {
        if (text.back() != ']')
            return refuse("a section header must end with ']'");
        return section(trimmed(text.substr(1, text.size() - 2)));
    }
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        return refuse("expected 'key = value', got '" + text + "'");
    const std::string key = trimmed(text.substr(0, equals));
    const std::string value = trimmed(text.substr(equals + 1));
    if (current == "mqtt")
        return mqttKey(key, value);
    if (current == "bridge")
        return bridgeKey(key, value);
    if (current == "metrics")
        return metricsKey(key, value);
    if (current == "machine")
        return machineKey(key, value);
    return refuse("'" + key + "' comes before any section");
}

bool ConfigParser::section(const std::string& name)
{
    if (name == "mqtt" || name == "bridge" || name == "metrics") {
        current = name;
        return true;
    }
    if (name.rfind("machine ", 0) != 0)
        return refuse("unknown section [" + name + "] (mqtt, bridge, metrics or machine NAME)");
    MachineConfig machine;
    machine.name = trimmed(name.substr(8));
    if (!validName(machine.name, false))
        return refuse("machine name '" + machine.name + "' may hold only letters, digits, '_' and '-'");
    if (machine.name == "bridge")
        return refuse("the machine name 'bridge' is the bridge's own status topic");
    for (const MachineConfig& other : config.machines)
        if (other.name == machine.name)
            return refuse("machine '" + machine.name + "' is named twice");
    current = "machine";
    config.machines.push_back(machine);
    machineLines.push_back(lineNumber);
    return true;
}

bool ConfigParser::mqttKey(const std::string& key, const std::string& value)
{
    MqttConfig& mqtt = config.mqtt;
    if (key == "host")
        mqtt.host = value;
    else if (key == "port") {
        if (!numberInto(value, 1, 65535, mqtt.port))
            return refuse("port must be 1..65535");
    } else if (key == "client_id")
        mqtt.clientId = value;
    else if (key == "username")
        mqtt.username = value;
    else if (key == "password")
        mqtt.password = value;
    else if (key == "ca_file")
        mqtt.caFile = value;
    else if (key == "prefix") {
        if (!validName(value, true))
            return refuse("prefix may hold only letters, digits, '_', '-' and '/' between levels");
        mqtt.prefix = value;
    } else if (key == "qos") {
        if (!numberInto(value, 0, 1, mqtt.qos))
            return refuse("qos must be 0 or 1");
    } else if (key == "keepalive") {
        if (!durationMs(value, mqtt.keepaliveS) || mqtt.keepaliveS < 5000)
            return refuse("keepalive must be a duration of 5s or more");
        mqtt.keepaliveS /= 1000;
    } else
        return refuse("unknown key '" + key + "' in [mqtt]");
    return true;
}

bool ConfigParser::bridgeKey(const std::string& key, const std::string& value)
{
    if (key == "reconnect_min") {
        if (!durationMs(value, config.reconnectMinMs))
            return refuse("reconnect_min must be a duration (10ms..3600s)");
    } else if (key == "reconnect_max") {
        if (!durationMs(value, config.reconnectMaxMs))
            return refuse("reconnect_max must be a duration (10ms..3600s)");
    } else
        return refuse("unknown key '" + key + "' in [bridge]");
    return true;
}

bool ConfigParser::metricsKey(const std::string& key, const std::string& value)
{
    if (key == "listen")
        config.metricsHost = value;
    else if (key == "port") {
        if (!numberInto(value, 0, 65535, config.metricsPort))
            return refuse("port must be 0 (any free port) or 1..65535");
    } else
        return refuse("unknown key '" + key + "' in [metrics]");
    return true;
}

bool ConfigParser::machineKey(const std::string& key, const std::string& value)
{
    MachineConfig& machine = config.machines.back();
    if (key == "address") {
        if (value.empty())
            return refuse("address must not be empty");
        machine.address = value;
        return true;
    }
    if (key == "channels")
        return numberInto(value, 1, kMostChannels, machine.channels) || refuse("channels must be 1..99");
    const auto dot = key.find('.');
    const std::string kind = key.substr(0, dot);
    const std::string topic = dot == std::string::npos ? std::string() : key.substr(dot + 1);
    static const std::pair<const char*, WatchItem::Kind> kinds[] = {
        {"variable", WatchItem::Kind::Variable}, {"bit", WatchItem::Kind::Bit}, {"alarm", WatchItem::Kind::Alarm},
        {"program", WatchItem::Kind::Program},   {"axes", WatchItem::Kind::Axes}};
    for (const auto& [word, itemKind] : kinds)
        if (kind == word)
            return item(itemKind, topic, value);
    return refuse("unknown key '" + key + "' in [machine " + machine.name +
                  "] (address, channels, or variable./bit./alarm./program./axes.TOPIC)");
}

bool ConfigParser::item(WatchItem::Kind kind, const std::string& topic, const std::string& value)
{
    if (!validName(topic, true) || topic == kAvailabilityTopic)
        return refuse("'" + topic + "' is no topic name (letters, digits, '_', '-', '/'; not 'availability')");
    WatchItem watched;
    watched.kind = kind;
    watched.topic = topic;
    std::istringstream words(value);
    std::string word;
    const auto next = [&](long long low, long long high, int32_t& out, const char* what) {
        return (words >> word && numberInto(word, low, high, out)) ||
               refuse(std::string("expected ") + what + ", got '" + word + "'");
    };
    bool ok = true;
    switch (kind) {
    case WatchItem::Kind::Variable:
        ok = next(0, kLastVariable, watched.address, "a variable address (0..16169999)");
        break;
    case WatchItem::Kind::Bit:
        ok = next(1, kMostChannels, watched.channel, "a channel (1..99)") &&
             next(0, kLastBitTable, watched.bitType, "a bit table (0..6)") &&
             next(0, INT32_MAX, watched.bit, "a bit number");
        break;
    case WatchItem::Kind::Axes:
        ok = next(1, kMostChannels, watched.channel, "a channel (1..99)") &&
             next(1, kMostAxes, watched.axisCount, "a number of axes (1..64)");
        break;
    case WatchItem::Kind::Alarm:
    case WatchItem::Kind::Program:
        ok = next(1, kMostChannels, watched.channel, "a channel (1..99)");
        break;
    }
    return ok && itemOptions(words, watched) && addItem(watched);
}

bool ConfigParser::itemOptions(std::istringstream& words, WatchItem& watched)
{
    std::string option;
    std::string argument;
    while (words >> option) {
        if (!(words >> argument))
            return refuse("'" + option + "' needs a value");
        if (option == "every") {
            if (!durationMs(argument, watched.periodMs))
                return refuse("'" + argument + "' is no period (10ms..3600s)");
        } else if (option == "deadband" && (watched.kind == WatchItem::Kind::Variable)) {
            char* end = nullptr;
            watched.deadband = std::strtod(argument.c_str(), &end);
            if (*end != '\0' || !(watched.deadband >= 0))
                return refuse("deadband must be a number of 0 or more");
        } else
            return refuse("unknown option '" + option + "' (every PERIOD, deadband N for variables)");
    }
    return true;
}

bool ConfigParser::addItem(const WatchItem& watched)
{
    MachineConfig& machine = config.machines.back();
    for (const WatchItem& other : machine.items)
        if (other.topic == watched.topic)
            return refuse("topic '" + watched.topic + "' is used twice in machine '" + machine.name + "'");
    machine.items.push_back(watched);
    return true;
}

bool ConfigParser::finish()
{
    for (size_t i = 0; i < config.machines.size(); ++i) {
        lineNumber = machineLines[i];
        if (config.machines[i].address.empty())
            return refuse("machine '" + config.machines[i].name + "' has no address");
        if (config.machines[i].items.empty())
            return refuse("machine '" + config.machines[i].name + "' watches nothing");
        for (const WatchItem& item : config.machines[i].items)
            if (item.channel > config.machines[i].channels)
                return refuse("machine '" + config.machines[i].name + "': '" + item.topic + "' names channel " +
                              std::to_string(item.channel) + " of " + std::to_string(config.machines[i].channels));
    }
    if (config.machines.empty())
        return refuse("no [machine NAME] section");
    if (config.reconnectMinMs > config.reconnectMaxMs)
        return refuse("reconnect_min is longer than reconnect_max");
    return true;
}

bool loadBridgeConfig(const std::string& path, BridgeConfig& config, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        error = path + ": cannot be read";
        return false;
    }
    ConfigParser parser(config);
    std::string text;
    int number = 0;
    bool ok = true;
    while (ok && std::getline(file, text))
        ok = parser.line(text, ++number);
    if (ok) {
        parser.line("", number);
        ok = parser.finish();
    }
    if (!ok)
        error = path + ":" + parser.error().substr(5);
    return ok;
}
