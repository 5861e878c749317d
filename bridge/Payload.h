#pragma once
#include <chrono>
#include <string>

// The JSON texts the bridge publishes.
namespace payload {
enum class Quality { Good, Stale, Unavailable };

// {"value":<valueJson>,"time":"<UTC, ms>","quality":"good|stale|unavailable"}
std::string message(const std::string& valueJson, std::chrono::system_clock::time_point readAt, Quality quality);
// text as a JSON string, quoted and escaped.
std::string quoted(const std::string& text);
}
