#pragma once
#include <chrono>
#include <string>

// The JSON texts the bridge publishes.
namespace payload {
enum class Quality { Good, Stale, Unavailable };

struct Fields
{
    std::string valueJson = "null";
    std::chrono::system_clock::time_point readAt; // when the value was read
    Quality quality = Quality::Unavailable;
    std::string unit;   // left out when empty
    std::string reason; // why a value is stale; left out when empty
};

// {"value":<valueJson>[,"unit":".."],"time":"<UTC, ms>","quality":"good|stale|unavailable"[,"reason":".."]}
std::string message(const Fields& fields);
// known (a message of the bridge's that carries a value) with the quality and reason of fields,
// its value, unit and time kept; empty when known holds no value (or is none of the bridge's).
std::string requalified(const std::string& known, const Fields& fields);
// text as a JSON string, quoted and escaped.
std::string quoted(const std::string& text);
// when as UTC text with milliseconds, as the payloads and log lines carry it.
std::string utcText(std::chrono::system_clock::time_point when);
// A number as JSON: whole numbers without a fraction, others with up to 12 significant digits.
std::string number(double value);
}
