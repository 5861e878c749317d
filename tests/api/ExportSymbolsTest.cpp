// The shared library exports exactly the functions of its public header, each by its plain
// C name under the library's symbol version, and nothing else.
#include "ExportNames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {
std::set<std::string> headerNames()
{
    const std::string s = fileText(ACM_PUBLIC_HEADER);
    std::set<std::string> names;
    const std::regex decl(R"(ACM_EXPORT\s+[A-Za-z_][\w\s\*]*?\b(\w+)\s*\()");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), decl); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

// The names under "global:" in the version script, the list the library promises.
std::set<std::string> versionScriptNames()
{
    const std::vector<std::string> names = ::versionScriptNames(ACM_VERSION_SCRIPT);
    return {names.begin(), names.end()};
}

std::set<std::string> dynamicSymbols()
{
    const std::string command = std::string("nm -D --defined-only ") + ACM_SHARED_LIBRARY;
    std::set<std::string> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        if (!name.empty())
            out.insert(name);
    }
    pclose(pipe);
    return out;
}
}

TEST(ExportSymbols, ExactlyTheHeaderFunctionsAreExportedWithOneVersion)
{
    const std::set<std::string> names = versionScriptNames();
    EXPECT_EQ(headerNames(), names) << "the header declares what the version script exports";
    std::set<std::string> expected{"ACM_1.0"};
    for (const std::string& n : names)
        expected.insert(n + "@@ACM_1.0");
    EXPECT_EQ(dynamicSymbols(), expected);
}
