#include "ConfigParser.h"

#include "ConfigValues.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace configvalue;

namespace {
constexpr int kMostChannels = 99;
constexpr int kLastProgramChannel = 98; // the running-program query takes channels 1..98
constexpr int kMostAxes = 64;
constexpr int kShortestKeepaliveMs = 5000;
// A variable is area * 1000000 + index; areas 1..16 are the channels' and hold the bit tables.
constexpr int32_t kAreaSize = 1000000;
constexpr int32_t kLastArea = 16;
constexpr int32_t kLastIndex = 169999;
constexpr int kLastBitTable = 6;
constexpr int kBitsPerWord = 32;
// Words of each bit table, up to where the next one starts (table 6 lies just below table 5).
constexpr int kBitTableWords[kLastBitTable + 1] = {64, 64, 64, 64, 64, 64, 32};
const char* const kAvailabilityTopic = "availability";

bool readableVariable(long long address)
{
    return address >= 0 && address / kAreaSize <= kLastArea && address % kAreaSize <= kLastIndex;
}

// Splits at blanks; "200 ms" and "2 s" become one word, as written without the blank.
std::vector<std::string> wordsOf(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string word;
    while (in >> word) {
        const bool unit = word == "ms" || word == "s";
        if (unit && !words.empty() && words.back().find_first_not_of("0123456789.") == std::string::npos)
            words.back() += word;
        else
            words.push_back(word);
    }
    return words;
}

std::string takeFront(std::vector<std::string>& words)
{
    if (words.empty())
        return {};
    std::string word = words.front();
    words.erase(words.begin());
    return word;
}

// A credential name (no '/') is looked for where systemd's LoadCredential= puts it.
std::string credentialPath(const std::string& value)
{
    const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
    if (value.find('/') != std::string::npos || !folder)
        return value;
    return std::string(folder) + "/" + value;
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
    if (current.empty())
        return refuse("'" + key + "' comes before any section");
    if (!keys.insert(key).second)
        return refuse("'" + key + "' is given twice in this section");
    if (current == "mqtt")
        return mqttKey(key, value);
    if (current == "bridge")
        return bridgeKey(key, value);
    if (current == "metrics")
        return metricsKey(key, value);
    return machineKey(key, value);
}

bool ConfigParser::section(const std::string& name)
{
    keys.clear();
    if (name == "mqtt" || name == "bridge" || name == "metrics") {
        if (!sections.insert(name).second)
            return refuse("[" + name + "] is given twice");
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
    if (key == "host") {
        if (!validHost(value))
            return refuse("host '" + value + "' is no host name, IPv4 or IPv6 address");
        mqtt.host = value;
    } else if (key == "port") {
        if (!numberInto(value, 1, 65535, mqtt.port))
            return refuse("port must be 1..65535");
    } else if (key == "client_id") {
        if (!validName(value, false))
            return refuse("client_id may hold only letters, digits, '_' and '-'");
        mqtt.clientId = value;
    } else if (key == "username")
        mqtt.username = value;
    else if (key == "prefix") {
        if (!validName(value, true))
            return refuse("prefix may hold only letters, digits, '_', '-' and '/' between levels");
        mqtt.prefix = value;
    } else if (key == "qos") {
        if (!numberInto(value, 0, 1, mqtt.qos))
            return refuse("qos must be 0 or 1");
    } else if (key == "keepalive") {
        if (!durationMs(value, mqtt.keepaliveS) || mqtt.keepaliveS < kShortestKeepaliveMs)
            return refuse("keepalive must be a duration of 5s or more");
        mqtt.keepaliveS /= 1000;
    } else
        return mqttSecret(key, value);
    return true;
}

bool ConfigParser::mqttSecret(const std::string& key, const std::string& value)
{
    MqttConfig& mqtt = config.mqtt;
    std::string why;
    if (key == "password" || key == "password_file") {
        if (keys.count("password") && keys.count("password_file"))
            return refuse("give password or password_file, not both");
        if (key == "password")
            mqtt.password = value;
        else if (!firstLine(credentialPath(value), mqtt.password, why))
            return refuse("password_file " + why);
    } else if (key == "ca_file") {
        if (!readableFile(value, why))
            return refuse("ca_file " + why);
        mqtt.caFile = value;
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
    std::string why;
    if (key == "listen") {
        if (value != "off" && !listenAddress(value, why))
            return refuse(why);
        config.metricsHost = value;
    } else if (key == "port") {
        if (!numberInto(value, 0, 65535, config.metricsPort))
            return refuse("port must be 0 (any free port) or 1..65535");
    } else
        return refuse("unknown key '" + key + "' in [metrics]");
    return true;
}

bool ConfigParser::machineKey(const std::string& key, const std::string& value)
{
    MachineConfig& machine = config.machines.back();
    std::string why;
    if (key == "address") {
        if (value.empty())
            return refuse("address must not be empty");
        if (!machineAddress(value, why))
            return refuse(why);
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
    std::vector<std::string> words = wordsOf(value);
    return itemArguments(words, watched) && itemOptions(words, watched) && addItem(watched);
}

bool ConfigParser::itemArguments(std::vector<std::string>& words, WatchItem& watched)
{
    const auto next = [&](long long low, long long high, int32_t& out, const std::string& what) {
        const std::string word = takeFront(words);
        return numberInto(word, low, high, out) || refuse("expected " + what + ", got '" + word + "'");
    };
    switch (watched.kind) {
    case WatchItem::Kind::Variable:
        if (!next(0, INT32_MAX, watched.address, "a variable address"))
            return false;
        return readableVariable(watched.address) ||
               refuse("variable " + std::to_string(watched.address) +
                      " does not exist: an address is AREA * 1000000 + INDEX, AREA 0..16, INDEX 0..169999");
    case WatchItem::Kind::Bit: {
        if (!next(1, kLastArea, watched.channel, "a channel with bits (1..16)") ||
            !next(0, kLastBitTable, watched.bitType, "a bit table (0..6)"))
            return false;
        const int lastBit = kBitTableWords[watched.bitType] * kBitsPerWord - 1;
        return next(0, lastBit, watched.bit, "a bit number of table " + std::to_string(watched.bitType) + " (0.." +
                                                 std::to_string(lastBit) + ")");
    }
    case WatchItem::Kind::Axes:
        return next(1, kMostChannels, watched.channel, "a channel (1..99)") &&
               next(1, kMostAxes, watched.axisCount, "a number of axes (1..64)");
    case WatchItem::Kind::Program:
        return next(1, kLastProgramChannel, watched.channel, "a channel (1..98)");
    case WatchItem::Kind::Alarm:
        return next(1, kMostChannels, watched.channel, "a channel (1..99)");
    }
    return false;
}

bool ConfigParser::itemOptions(std::vector<std::string>& words, WatchItem& watched)
{
    while (!words.empty()) {
        const std::string option = takeFront(words);
        if (words.empty())
            return refuse("'" + option + "' needs a value");
        if (!itemOption(option, takeFront(words), watched))
            return false;
    }
    return true;
}

bool ConfigParser::itemOption(const std::string& option, const std::string& argument, WatchItem& watched)
{
    const bool numeric = watched.kind == WatchItem::Kind::Variable || watched.kind == WatchItem::Kind::Axes;
    if (option == "every")
        return durationMs(argument, watched.periodMs) || refuse("'" + argument + "' is no period (10ms..3600s)");
    if (option == "republish")
        return durationMs(argument, watched.republishMs) ||
               refuse("'" + argument + "' is no republish interval (10ms..3600s)");
    if (option == "deadband" && watched.kind == WatchItem::Kind::Variable)
        return (realNumber(argument, watched.deadband) && watched.deadband >= 0) ||
               refuse("deadband must be a number of 0 or more");
    if (option == "scale" && numeric)
        return (realNumber(argument, watched.scale) && watched.scale != 0) ||
               refuse("scale must be a number other than 0");
    if (option == "offset" && numeric)
        return realNumber(argument, watched.offset) || refuse("offset must be a number");
    if (option == "unit" && numeric) {
        watched.unit = argument;
        return true;
    }
    return refuse("unknown option '" + option +
                  "' (every PERIOD, republish PERIOD; for variables and axes scale N, offset N, unit TEXT; "
                  "for variables deadband N)");
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

bool ConfigParser::finishMachine(const MachineConfig& machine)
{
    if (machine.address.empty())
        return refuse("machine '" + machine.name + "' has no address");
    if (machine.items.empty())
        return refuse("machine '" + machine.name + "' watches nothing");
    for (const WatchItem& item : machine.items)
        if (item.channel > machine.channels)
            return refuse("machine '" + machine.name + "': '" + item.topic + "' names channel " +
                          std::to_string(item.channel) + " of " + std::to_string(machine.channels));
    return true;
}

bool ConfigParser::finish()
{
    for (size_t i = 0; i < config.machines.size(); ++i) {
        lineNumber = machineLines[i];
        if (!finishMachine(config.machines[i]))
            return false;
    }
    if (config.machines.empty())
        return refuse("no [machine NAME] section");
    if (config.reconnectMinMs > config.reconnectMaxMs)
        return refuse("reconnect_min is longer than reconnect_max");
    return true;
}

namespace {
// Two bridges on one broker must not share a client id (the broker would drop one for the other
// at every connection): without client_id, the host's name and the file's path make one.
std::string derivedClientId(const std::string& path)
{
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    char* full = realpath(path.c_str(), nullptr);
    const std::string where = std::string(host) + '\0' + (full ? full : path);
    std::free(full);
    uint32_t hash = 2166136261u; // FNV-1a
    for (const unsigned char c : where)
        hash = (hash ^ c) * 16777619u;
    char text[16];
    std::snprintf(text, sizeof text, "%08x", hash);
    std::string name = host;
    for (char& c : name)
        if (!validName(std::string(1, c), false))
            c = '-';
    return "cnc-bridge-" + name.substr(0, 32) + "-" + text;
}
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
    if (config.mqtt.clientId.empty())
        config.mqtt.clientId = derivedClientId(path);
    return ok;
}

bool WatchItem::operator==(const WatchItem& o) const
{
    return kind == o.kind && topic == o.topic && address == o.address && channel == o.channel &&
           bitType == o.bitType && bit == o.bit && axisCount == o.axisCount && periodMs == o.periodMs &&
           deadband == o.deadband && scale == o.scale && offset == o.offset && unit == o.unit &&
           republishMs == o.republishMs;
}

bool MachineConfig::operator==(const MachineConfig& o) const
{
    return name == o.name && address == o.address && channels == o.channels && items == o.items;
}

bool MqttConfig::operator==(const MqttConfig& o) const
{
    return host == o.host && port == o.port && clientId == o.clientId && username == o.username &&
           password == o.password && caFile == o.caFile && prefix == o.prefix && qos == o.qos &&
           keepaliveS == o.keepaliveS;
}
