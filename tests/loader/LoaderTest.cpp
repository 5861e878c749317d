// Header, version script, library and loader name the same functions; a library without them
// fails to load with a reason and leaves nothing loaded.
#include "AsyncCommModuleLoader.h"
#include "CommandTable.h"
#include "ExportNames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

int loaderTypesChecked();

namespace {
std::vector<std::string> loaderNames()
{
    std::vector<std::string> names;
#define ACM_NAME(name) names.push_back(#name);
    ACM_LIBRARY_FUNCTIONS(ACM_NAME)
    ACM_LIBRARY_FUNCTIONS_1_1(ACM_NAME)
#undef ACM_NAME
    return names;
}

std::set<std::string> headerNames()
{
    const std::string s = fileText(ACM_PUBLIC_HEADER);
    std::set<std::string> names;
    const std::regex decl(R"(ACM_EXPORT\s+[A-Za-z_][\w\s\*]*?\b(\w+)\s*\()");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), decl); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

// `nm -D` of the library: its defined dynamic symbols.
std::set<std::string> dynamicSymbols()
{
    std::set<std::string> out;
    FILE* pipe = popen((std::string("nm -D --defined-only ") + ACM_SHARED_LIBRARY).c_str(), "r");
    char line[512];
    while (pipe && fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name)
            out.insert(name);
    }
    if (pipe)
        pclose(pipe);
    return out;
}

// The table's function entries, as data pointers, in the list's order.
std::vector<void*> entries(const AcmLibrary& library)
{
    std::vector<void*> out;
#define ACM_ENTRY(name) { void* p = nullptr; std::memcpy(&p, &library.name, sizeof p); out.push_back(p); }
    ACM_LIBRARY_FUNCTIONS(ACM_ENTRY)
    ACM_LIBRARY_FUNCTIONS_1_1(ACM_ENTRY)
#undef ACM_ENTRY
    return out;
}
}

TEST(ExportSymbols, HeaderScriptLibraryAndLoaderListTheSameFunctions)
{
    const std::vector<std::string> script = versionScriptNames(ACM_VERSION_SCRIPT);
    const std::set<std::string> names(script.begin(), script.end());
    EXPECT_EQ(names.size(), 101u);
    EXPECT_EQ(headerNames(), names) << "the header declares what the version script exports";
    std::set<std::string> versioned{ACM_LIBRARY_SYMBOL_VERSION, ACM_LIBRARY_SYMBOL_VERSION_1_1};
    for (size_t i = 0; i < script.size(); ++i)
        versioned.insert(script[i] + "@@" + (i < 99 ? ACM_LIBRARY_SYMBOL_VERSION : ACM_LIBRARY_SYMBOL_VERSION_1_1));
    EXPECT_EQ(dynamicSymbols(), versioned) << "exactly these: the first 99 under the first version, the rest under the next";
    ASSERT_EQ(loaderTypesChecked(), ACM_LIBRARY_FUNCTION_COUNT);
    const std::vector<std::string> listed = loaderNames();
    EXPECT_EQ(listed.size(), size_t(ACM_LIBRARY_FUNCTION_COUNT));
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()).size(), listed.size()) << "a name listed twice";
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), names);
    EXPECT_STREQ(ACM_LIBRARY_DEFAULT_FILE, ACM_LIBRARY_SONAME);
}

// The public header, written by hand, declares the command table's exports in the table's order,
// each with the table's return type and parameters, names included.
TEST(ExportSymbols, HeaderDeclaresTheCommandTablesExports)
{
    std::vector<std::string> table, header;
    const auto declaration = [](std::string returns, const std::string& name, std::string params) {
        returns = std::regex_replace(returns, std::regex(R"(\s*\*)"), "*");
        return returns + " " + name + std::regex_replace(params, std::regex(R"(\s+)"), " ");
    };
#define ACM_TABLE_GROUP(title)
#define ACM_TABLE_HAND(returns, name, params) table.push_back(declaration(#returns, #name, #params));
#define ACM_TABLE_ROW(name, params, ...) table.push_back(declaration("CncLong", #name, #params));
    ACM_EXPORT_TABLE(ACM_TABLE_GROUP, ACM_TABLE_HAND, ACM_TABLE_ROW)
    ACM_EXPORT_TABLE_1_1(ACM_TABLE_GROUP, ACM_TABLE_HAND, ACM_TABLE_ROW)
    const std::string s = fileText(ACM_PUBLIC_HEADER);
    const std::regex decl(R"(ACM_EXPORT\s+([A-Za-z_][\w\s\*]*?)\s*\b(\w+)\s*(\([^)]*\));)");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), decl); it != std::sregex_iterator(); ++it)
        header.push_back(declaration((*it)[1], (*it)[2], (*it)[3]));
    EXPECT_EQ(header, table);
}

TEST(Loader, FillsEveryEntryWithTheVersionedSymbolAndUnloads)
{
    AcmLibrary acm;
    ASSERT_EQ(acmLibraryLoad(&acm, ACM_SHARED_LIBRARY), ACM_LOAD_OK) << acm.error;
    EXPECT_STREQ(acm.error, "");
    ASSERT_NE(acm.handle, nullptr);
    const std::vector<std::string> names = loaderNames();
    const std::vector<void*> filled = entries(acm);
    for (size_t i = 0; i < names.size(); ++i) {
        const char* version = i < 99 ? ACM_LIBRARY_SYMBOL_VERSION : ACM_LIBRARY_SYMBOL_VERSION_1_1;
        EXPECT_NE(filled[i], nullptr) << names[i];
        EXPECT_EQ(filled[i], dlvsym(acm.handle, names[i].c_str(), version)) << names[i];
    }
    // A call through the table reaches the library: no target 7 is registered.
    EXPECT_FALSE(acm.connect(7));
    EXPECT_EQ(acm.CheckTcpWdt(7), 1);
    acmLibraryUnload(&acm);
    EXPECT_EQ(acm.handle, nullptr);
    for (void* p : entries(acm))
        EXPECT_EQ(p, nullptr);
}

// A library of the first release (every function of ACM_1.0, none of ACM_1.1) loads, with the
// later functions' entries null.
TEST(Loader, ALibraryWithoutTheLaterVersionLoadsWithThoseEntriesNull)
{
    AcmLibrary acm;
    ASSERT_EQ(acmLibraryLoad(&acm, ACM_STUB_FIRST_RELEASE), ACM_LOAD_OK) << acm.error;
    EXPECT_NE(reinterpret_cast<void*>(acm.connect), nullptr);
    EXPECT_EQ(acm.setReplyTimeout, nullptr);
    EXPECT_EQ(acm.setPollInterval, nullptr);
    acmLibraryUnload(&acm);
}

// A missing library, one without the functions, and a stub that lacks only connect (a look-up by
// plain name would find the C library's there) each fail with the reason and load nothing.
TEST(Loader, MissingLibraryOrFunctionsFailWithTheReasonAndLeaveNothingLoaded)
{
    void* stub = dlopen(ACM_STUB_WITHOUT_CONNECT, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(stub, nullptr) << dlerror();
    EXPECT_EQ(dlsym(stub, "connect"), dlsym(RTLD_DEFAULT, "connect"));
    dlclose(stub);
    const struct { const char* file; int result; std::string error; } rows[] = {
        {"/nonexistent/libAsyncCommModule.so.1", ACM_LOAD_NO_LIBRARY, "cannot load /nonexistent/libAsyncCommModule.so.1"},
        {"libm.so.6", ACM_LOAD_MISSING_FUNCTION, "libm.so.6 has no function addTargetCnc of version " ACM_LIBRARY_SYMBOL_VERSION},
        {ACM_STUB_WITHOUT_CONNECT, ACM_LOAD_MISSING_FUNCTION, ACM_STUB_WITHOUT_CONNECT " has no function connect of version " ACM_LIBRARY_SYMBOL_VERSION},
    };
    for (const auto& row : rows) {
        AcmLibrary acm;
        EXPECT_EQ(acmLibraryLoad(&acm, row.file), row.result) << row.file;
        EXPECT_EQ(std::string(acm.error).substr(0, row.error.size()), row.error);
        EXPECT_EQ(acm.handle, nullptr);
        for (void* p : entries(acm))
            EXPECT_EQ(p, nullptr) << row.file;
        acmLibraryUnload(&acm); // harmless on a failed table
    }
}
