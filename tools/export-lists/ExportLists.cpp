// What must list every export, written from the command table at build time:
//   export-lists map OUT            the linker's version script
//   export-lists loader IN OUT      the loader header: IN with its function table filled in
//   export-lists python             the Python package's prototypes, one line each (both nodes)
// OUT is written only when its text changes, so that nothing is rebuilt for nothing.
#include "CommandTable.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry
{
    const char* group; // a heading; the other fields are null
    const char* returns;
    const char* name;
    const char* params;
};

#define ACM_LIST_GROUP(title) {title, nullptr, nullptr, nullptr},
#define ACM_LIST_HAND(returns, name, params) {nullptr, #returns, #name, #params},
#define ACM_LIST_ROW(name, params, ...) {nullptr, "CncLong", #name, #params},
const Entry kEntries[] = {ACM_EXPORT_TABLE(ACM_LIST_GROUP, ACM_LIST_HAND, ACM_LIST_ROW)};
const Entry kEntries_1_1[] = {ACM_EXPORT_TABLE_1_1(ACM_LIST_GROUP, ACM_LIST_HAND, ACM_LIST_ROW)};

// The entries of one version node, or of both (headings included).
std::vector<const Entry*> entries(int node)
{
    std::vector<const Entry*> out;
    if (node != 1) {
        for (const Entry& e : kEntries)
            out.push_back(&e);
    }
    if (node != 0) {
        for (const Entry& e : kEntries_1_1)
            out.push_back(&e);
    }
    return out;
}

constexpr int kBothNodes = -1;

std::vector<const Entry*> functions(int node = kBothNodes)
{
    std::vector<const Entry*> out;
    for (const Entry* e : entries(node)) {
        if (e->name)
            out.push_back(e);
    }
    return out;
}

// "(CncLong channel, CncLong* isStop, int cncID)" -> {"CncLong", "CncLong*", "int"}
std::vector<std::string> parameterTypes(const std::string& params)
{
    std::vector<std::string> types;
    std::stringstream list(params.substr(1, params.size() - 2));
    for (std::string p; std::getline(list, p, ',');) {
        p = std::regex_replace(p, std::regex(R"(^\s+|\s*\b\w+\s*$)"), "");
        types.push_back(std::regex_replace(p, std::regex(R"(\s+\*)"), "*"));
    }
    return types;
}

std::string versionScript()
{
    std::string s = "/* Written from protocol/CommandTable.h. Every export carries a version, so a name that the C\n"
                    "   library also exports (connect) never takes the place of the C library's own for other\n"
                    "   libraries in the process; a later node adds to the earlier one and changes nothing. */\n"
                    ACM_EXPORT_VERSION " {\n  global:\n";
    for (const Entry* e : functions(0))
        s += std::string("    ") + e->name + ";\n";
    s += "  local:\n    *;\n};\n\n" ACM_EXPORT_VERSION_1_1 " {\n  global:\n";
    for (const Entry* e : functions(1))
        s += std::string("    ") + e->name + ";\n";
    return s + "} " ACM_EXPORT_VERSION ";\n";
}

// Lines of at most 116 characters, cut after a separator, continued with `indent`.
std::string wrapped(const std::string& line, const std::string& indent, char separator)
{
    std::string out, rest = line;
    while (rest.size() > 116) {
        const size_t cut = rest.rfind(separator, 115);
        if (cut == std::string::npos || cut <= indent.size())
            break;
        out += rest.substr(0, cut + 1) + (separator == ' ' ? "\\\n" : "\n");
        rest = indent + rest.substr(rest.find_first_not_of(' ', cut + 1));
    }
    return out + rest + "\n";
}

std::string loaderFunctions()
{
    std::string s;
    for (const Entry* e : entries(kBothNodes)) {
        if (e->group) {
            s += std::string(s.empty() ? "" : "\n") + "    /* ---- " + e->group + " ---- */\n";
            continue;
        }
        const std::string returns = std::regex_replace(e->returns, std::regex(R"(\s*\*)"), "*");
        s += wrapped("    " + returns + " (*" + e->name + ")" + e->params + ";", "        ", ',');
    }
    return s;
}

std::string loaderNames(int node)
{
    std::string line = "   ";
    for (const Entry* e : functions(node))
        line += std::string(" X(") + e->name + ")";
    return wrapped(line, "    ", ' ');
}

std::string pythonType(const std::string& c)
{
    static const std::pair<const char*, const char*> kTypes[] = {
        {"CncLong", "_L"}, {"int", "_I"}, {"CncLong*", "_P"}, {"const char*", "_S"}, {"char*", "_S"}, {"bool", "_B"},
        {"AcmRemoteBuffer*", "_H"}, {"ErrCallbackFunc", "ErrCallbackFunc"}, {"double", "ctypes.c_double"}};
    for (const auto& t : kTypes) {
        if (c == t.first)
            return t.second;
    }
    return "?" + c;
}

std::string pythonPrototypes()
{
    std::string s;
    for (const Entry* e : functions()) {
        std::string args;
        for (const std::string& t : parameterTypes(e->params))
            args += (args.empty() ? "" : ", ") + pythonType(t);
        s += std::string("\"") + e->name + "\": (" + pythonType(std::regex_replace(e->returns, std::regex(R"(\s*\*)"), "*")) +
             ", [" + args + "]),\n";
    }
    return s;
}

std::string replaced(std::string text, const std::string& key, const std::string& value)
{
    for (size_t at; (at = text.find(key)) != std::string::npos;)
        text.replace(at, key.size(), value);
    return text;
}

std::string loaderHeader(const char* templatePath)
{
    std::ifstream in(templatePath);
    std::stringstream text;
    text << in.rdbuf();
    std::string s = replaced(text.str(), "@ACM_LOADER_FUNCTIONS@\n", loaderFunctions());
    s = replaced(s, "@ACM_LOADER_NAMES@\n", loaderNames(0));
    s = replaced(s, "@ACM_LOADER_NAMES_1_1@\n", loaderNames(1));
    s = replaced(s, "@ACM_FUNCTION_COUNT@", std::to_string(functions().size()));
    s = replaced(s, "@ACM_SYMBOL_VERSION_1_1@", ACM_EXPORT_VERSION_1_1);
    return replaced(s, "@ACM_SYMBOL_VERSION@", ACM_EXPORT_VERSION);
}

int writeIfChanged(const char* path, const std::string& text)
{
    std::ifstream old(path);
    std::stringstream before;
    before << old.rdbuf();
    if (old && before.str() == text)
        return 0;
    std::ofstream out(path);
    out << text;
    return out ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "map" && argc == 3)
        return writeIfChanged(argv[2], versionScript());
    if (what == "loader" && argc == 4)
        return writeIfChanged(argv[3], loaderHeader(argv[2]));
    if (what == "python" && argc == 2) {
        std::cout << pythonPrototypes();
        return 0;
    }
    std::cerr << "usage: export-lists map OUT | loader TEMPLATE OUT | python\n";
    return 2;
}
