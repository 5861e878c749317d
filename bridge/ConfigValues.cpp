#include "ConfigValues.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace configvalue {
namespace {
constexpr int kShortestMs = 10;
constexpr int kLongestMs = 3600 * 1000;
constexpr size_t kLongestHostName = 253;
constexpr size_t kLongestLabel = 63;

bool ipv4(const std::string& text)
{
    in_addr parsed{};
    return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

bool ipv6(const std::string& text)
{
    in6_addr parsed{};
    return inet_pton(AF_INET6, text.c_str(), &parsed) == 1;
}

// Letters, digits and '-' in labels of 1..63 between dots.
bool hostName(const std::string& text)
{
    if (text.empty() || text.size() > kLongestHostName)
        return false;
    // "10.0.0.256" is a mistyped address, not a name: no top-level name is all digits.
    const std::string last = text.substr(text.rfind('.') + 1);
    if (last.find_first_not_of("0123456789") == std::string::npos)
        return false;
    size_t label = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (label == 0 || label > kLongestLabel || text[i - 1] == '-')
                return false;
            label = 0;
        } else if (std::isalnum(static_cast<unsigned char>(text[i])) || (text[i] == '-' && label > 0)) {
            ++label;
        } else
            return false;
    }
    return true;
}
}

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
    errno = 0;
    out = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0 && out >= low && out <= high;
}

bool realNumber(const std::string& text, double& out)
{
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(out);
}

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
    if (end == text.c_str() || !(ms >= kShortestMs && ms <= kLongestMs))
        return false;
    out = int(std::lround(ms));
    return true;
}

bool validName(const std::string& name, bool levels)
{
    if (name.empty() || name.front() == '/' || name.back() == '/' || name.find("//") != std::string::npos)
        return false;
    return std::all_of(name.begin(), name.end(), [levels](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || (levels && c == '/');
    });
}

bool validHost(const std::string& host)
{
    return ipv4(host) || ipv6(host) || hostName(host);
}

bool machineAddress(const std::string& text, std::string& why)
{
    std::string host = text;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        host = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close == std::string::npos || text.compare(close + 1, 1, ":") != 0 || !ipv6(host)) {
            why = "'" + text + "' is no address: an IPv6 address with a port is written [ADDRESS]:PORT";
            return false;
        }
        port = text.substr(close + 2);
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        host = text.substr(0, text.find(':'));
        port = text.substr(text.find(':') + 1);
    }
    long long number = 0;
    const bool portOk = port.empty() ? (text.empty() || text.back() != ':') : (port.find_first_not_of("0123456789") == std::string::npos &&
                                                             wholeNumber(port, 1, 65535, number));
    if (!portOk) {
        why = "'" + text + "': the port must be 1..65535 in digits";
        return false;
    }
    if (!validHost(host)) {
        why = "'" + text + "' is no host, IPv4 or IPv6 address" +
              (text.find('#') != std::string::npos ? " ('#' starts a comment only at the start of a line)" : "");
        return false;
    }
    return true;
}

bool listenAddress(const std::string& host, std::string& why)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), "0", &hints, &found);
    if (lookup != 0) {
        why = "'" + host + "' is no address to listen on (" + gai_strerror(lookup) +
              "); listen takes an address or host name, the port is 'port ='";
        return false;
    }
    freeaddrinfo(found);
    return true;
}

bool firstLine(const std::string& path, std::string& out, std::string& why)
{
    std::ifstream file(path);
    if (!file) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    std::getline(file, out);
    if (!out.empty() && out.back() == '\r')
        out.pop_back();
    return true;
}

bool readableFile(const std::string& path, std::string& why)
{
    std::string ignored;
    return firstLine(path, ignored, why);
}
}
