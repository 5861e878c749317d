#include "Payload.h"

#include <cstdio>
#include <ctime>

namespace payload {
namespace {
const char* qualityName(Quality quality)
{
    switch (quality) {
    case Quality::Good:
        return "good";
    case Quality::Stale:
        return "stale";
    default:
        return "unavailable";
    }
}

std::string utcText(std::chrono::system_clock::time_point when)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = std::time_t(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(ms % 1000));
    return text;
}
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\')
            out += {'\\', char(c)};
        else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else
            out += char(c);
    }
    return out + "\"";
}

std::string message(const std::string& valueJson, std::chrono::system_clock::time_point readAt, Quality quality)
{
    return "{\"value\":" + valueJson + ",\"time\":\"" + utcText(readAt) + "\",\"quality\":\"" + qualityName(quality) +
           "\"}";
}
}
