#include "Payload.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace payload {
namespace {
const char kValueStart[] = "{\"value\":";
const char kQualityField[] = ",\"quality\":\"";

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

std::string number(double value)
{
    char text[32];
    if (std::fabs(value) < 1e15 && value == std::floor(value))
        std::snprintf(text, sizeof text, "%.0f", value);
    else
        std::snprintf(text, sizeof text, "%.12g", value);
    return text;
}

std::string message(const Fields& fields)
{
    std::string out = kValueStart + fields.valueJson;
    if (!fields.unit.empty())
        out += ",\"unit\":" + quoted(fields.unit);
    out += ",\"time\":\"" + utcText(fields.readAt) + "\"" + kQualityField + qualityName(fields.quality) + "\"";
    if (!fields.reason.empty())
        out += ",\"reason\":" + quoted(fields.reason);
    return out + "}";
}

std::string requalified(const std::string& known, const Fields& fields)
{
    const std::string nullValue = std::string(kValueStart) + "null";
    const auto quality = known.rfind(kQualityField);
    if (known.rfind(kValueStart, 0) != 0 || known.rfind(nullValue, 0) == 0 || quality == std::string::npos)
        return {};
    std::string out = known.substr(0, quality) + kQualityField + qualityName(fields.quality) + "\"";
    if (!fields.reason.empty())
        out += ",\"reason\":" + quoted(fields.reason);
    return out + "}";
}
}
