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

// The names under "global:" of every version node, in the script's order.
inline std::vector<std::string> versionScriptNames(const char* path)
{
    const std::string s = versionScriptText(path);
    const std::regex node(R"(global:([^}]*?)(local:|\}))"), entry(R"((\w+)\s*;)");
    std::vector<std::string> names;
    for (auto n = std::sregex_iterator(s.begin(), s.end(), node); n != std::sregex_iterator(); ++n) {
        const std::string body = (*n)[1];
        for (auto it = std::sregex_iterator(body.begin(), body.end(), entry); it != std::sregex_iterator(); ++it)
            names.push_back((*it)[1]);
    }
    return names;
}
