#pragma once
#include <string>

// The checks of single values in a configuration file. Each returns false when the text is no
// such value; those that take why say what is wrong in words a user can act on.
namespace configvalue {
std::string trimmed(const std::string& text);
bool wholeNumber(const std::string& text, long long low, long long high, long long& out);
template <typename T> bool numberInto(const std::string& text, long long low, long long high, T& out)
{
    long long value = 0;
    if (!wholeNumber(text, low, high, value))
        return false;
    out = T(value);
    return true;
}
// A finite decimal number ("2", "-0.5", "1e-3").
bool realNumber(const std::string& text, double& out);
// "200ms", "2s", "1.5s" or a plain number of milliseconds, within 10 ms .. 3600 s.
bool durationMs(const std::string& text, int& out);
// Letters, digits, '_', '-' and (levels) '/' between levels: nothing a subscriber's wildcard
// could take for its own.
bool validName(const std::string& name, bool levels);
// A host name, an IPv4 address or an IPv6 address (without brackets).
bool validHost(const std::string& host);
// A machine's address as the library takes it: HOST, HOST:PORT or [IPv6]:PORT, PORT 1..65535.
bool machineAddress(const std::string& text, std::string& why);
// Whether the metrics listener could bind host (a name this host resolves, or an address).
bool listenAddress(const std::string& host, std::string& why);
// The first line of a file, without its line end (a secret kept in a file of its own).
bool firstLine(const std::string& path, std::string& out, std::string& why);
bool readableFile(const std::string& path, std::string& why);
}
