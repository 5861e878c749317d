#pragma once
#include "AsynchronousClient.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One reply handed straight to a client's reply callback, and what it must leave behind:
// the failure flag and code, and the report to the application's error callback.
namespace ReplyHandlerRows {

// The code an earlier failing reply left; rows that keep the code expect it unchanged.
constexpr int32_t kEarlierCode = 42;
constexpr int32_t kCodeKept = INT32_MIN;

enum class Flag { Cleared, Set, Kept };

struct Report
{
    bool made = false;
    int32_t errorCmd = -1;
    int32_t cmdState = -1;
    std::string detail;
};

struct Expected
{
    Flag flag;
    int32_t code; // kCodeKept: the earlier code stays
    Report report;
};

Report report(int32_t errorCmd, int32_t cmdState, const std::string& detail);
Expected ok();                                         // flag cleared, code kept, nothing reported
Expected fail(int32_t code, const Report& r = {});     // flag set, code recorded
Expected failCodeKept(const Report& r);                // flag set, earlier code kept
Expected untouched(const Report& r = {});              // flag and code as they were
Expected codeOnly(int32_t code, const Report& r);      // code recorded, flag as it was

using ClientStep = std::function<void(AsynchronousClient&)>;

struct Row
{
    std::string what;
    ClientStep deliver;     // calls the reply callback
    Expected expected;
    ClientStep before = {}; // sets the further fields the row watches
    ClientStep after = {};  // checks them
};

// Runs each row twice, on a fresh client whose flag an earlier reply left clear and set,
// with the error callback recording.
void runRows(const std::vector<Row>& rows);

} // namespace ReplyHandlerRows
