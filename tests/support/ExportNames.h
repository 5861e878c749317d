#pragma once
// The library's promised exports, read from its version script (the list every export test
// checks against), and the text of a file. Header-only: the loader and symbol tests do not link
// the rest of the test support.
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

inline std::string fileText(const char* path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The version script without its comments.
inline std::string versionScriptText(const char* path)
{
    return std::regex_replace(fileText(path), std::regex(R"(/\*[\s\S]*?\*/)"), "");
}

// The names under "global:", in the script's order.
inline std::vector<std::string> versionScriptNames(const char* path)
{
    const std::string s = versionScriptText(path);
    const size_t from = s.find("global:");
    const size_t to = s.find("local:");
    std::vector<std::string> names;
    if (from == std::string::npos || to == std::string::npos)
        return names;
    const std::string body = s.substr(from + 7, to - from - 7);
    const std::regex entry(R"((\w+)\s*;)");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), entry); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}
