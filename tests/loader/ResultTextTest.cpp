// acmResultText gives each result code that the library returns its own text, and says so
// when a code is none of them.
#include "AsyncCommModuleResults.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {
const std::string kUnknown = "unknown result code";
const std::string kOtherState = "controller failure: the reply's state is the code minus 100";

// The values of the named codes of the library's code list (namespace ResultCode).
std::set<int> namedResultCodes()
{
    std::ifstream in(ACM_COMM_CODES);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    std::set<int> codes;
    const std::regex block(R"(namespace ResultCode \{([\s\S]*?)\n\})");
    const std::regex constant(R"(constexpr int32_t \w+ = (\d+);)");
    for (auto b = std::sregex_iterator(s.begin(), s.end(), block); b != std::sregex_iterator(); ++b) {
        const std::string body = (*b)[1];
        for (auto c = std::sregex_iterator(body.begin(), body.end(), constant); c != std::sregex_iterator(); ++c)
            codes.insert(std::stoi((*c)[1]));
    }
    return codes;
}
}

// Codes of the library's list have texts of their own; other controller states share one text,
// and codes that are none of them say so.
TEST(ResultText, EveryCodeTheLibraryReturnsHasATextOfItsOwn)
{
    const std::set<int> documented = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 12, 100, 101, 102, 103, 111, 112, 113, 200};
    const std::set<int> named = namedResultCodes();
    ASSERT_GE(named.size(), 15u) << "the code list was not read";
    for (int code : named)
        EXPECT_TRUE(documented.count(code)) << "code " << code << " of the library's list is not in this test";
    std::map<std::string, int> seen;
    for (int code : documented) {
        const std::string text = acmResultText(code);
        EXPECT_FALSE(text.empty() || text == kUnknown || text == kOtherState) << code;
        EXPECT_TRUE(seen.emplace(text, code).second) << code << " has the text of " << seen[text];
    }
    for (int state : {4, 10, 50, 99})
        EXPECT_EQ(acmResultText(100 + state), kOtherState);
    for (int code : {-1, 2, 11, 99, 200 + 1, 1000})
        EXPECT_EQ(acmResultText(code), kUnknown) << code;
}
