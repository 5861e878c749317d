// The loader against the built library and the version script: the names it resolves are the
// script's, every function resolves to the library's versioned symbol, and a missing library or
// a library without the functions fails with a reason and leaves nothing loaded.
#include "AsyncCommModuleLoader.h"
#include "ExportNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

int loaderTypesChecked();

namespace {
std::string versionScript() { return versionScriptText(ACM_VERSION_SCRIPT); }
std::vector<std::string> versionScriptNames() { return ::versionScriptNames(ACM_VERSION_SCRIPT); }

std::vector<std::string> loaderNames()
{
    std::vector<std::string> names;
#define ACM_NAME(name) names.push_back(#name);
    ACM_LIBRARY_FUNCTIONS(ACM_NAME)
#undef ACM_NAME
    return names;
}

// The table's function entries, as data pointers, in the list's order.
std::vector<void*> entries(const AcmLibrary& library)
{
    std::vector<void*> out;
#define ACM_ENTRY(name) \
    { \
        void* p = nullptr; \
        std::memcpy(&p, &library.name, sizeof p); \
        out.push_back(p); \
    }
    ACM_LIBRARY_FUNCTIONS(ACM_ENTRY)
#undef ACM_ENTRY
    return out;
}
}

TEST(Loader, ListsExactlyTheVersionScriptsNamesOnce)
{
    ASSERT_EQ(loaderTypesChecked(), ACM_LIBRARY_FUNCTION_COUNT);
    const std::vector<std::string> listed = loaderNames();
    const std::vector<std::string> script = versionScriptNames();
    EXPECT_EQ(listed.size(), size_t(ACM_LIBRARY_FUNCTION_COUNT));
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()).size(), listed.size()) << "a name listed twice";
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), std::set<std::string>(script.begin(), script.end()));
}

TEST(Loader, LooksUpTheLibrarysVersionAndSoname)
{
    const std::string s = versionScript();
    EXPECT_NE(s.find(std::string(ACM_LIBRARY_SYMBOL_VERSION) + " {"), std::string::npos)
        << "the version script's node is " ACM_LIBRARY_SYMBOL_VERSION;
    EXPECT_STREQ(ACM_LIBRARY_DEFAULT_FILE, ACM_LIBRARY_SONAME);
}

TEST(Loader, FillsEveryEntryWithTheVersionedSymbolAndUnloads)
{
    AcmLibrary acm;
    ASSERT_EQ(acmLibraryLoad(&acm, ACM_SHARED_LIBRARY), ACM_LOAD_OK) << acm.error;
    EXPECT_STREQ(acm.error, "");
    ASSERT_NE(acm.handle, nullptr);
    const std::vector<std::string> names = loaderNames();
    const std::vector<void*> filled = entries(acm);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(filled[i], dlvsym(acm.handle, names[i].c_str(), ACM_LIBRARY_SYMBOL_VERSION)) << names[i];
    // A call through the table reaches the library: no target 7 is registered.
    EXPECT_FALSE(acm.connect(7));
    EXPECT_EQ(acm.CheckTcpWdt(7), 1);
    acmLibraryUnload(&acm);
    EXPECT_EQ(acm.handle, nullptr);
    for (void* p : entries(acm))
        EXPECT_EQ(p, nullptr);
}

TEST(Loader, MissingLibraryOrFunctionsFailWithTheReasonAndLeaveNothingLoaded)
{
    AcmLibrary acm;
    EXPECT_EQ(acmLibraryLoad(&acm, "/nonexistent/libAsyncCommModule.so.1"), ACM_LOAD_NO_LIBRARY);
    EXPECT_NE(std::string(acm.error).find("cannot load /nonexistent/libAsyncCommModule.so.1"), std::string::npos)
        << acm.error;
    EXPECT_EQ(acm.handle, nullptr);

    // A real library, but not this one: its first function is missing.
    EXPECT_EQ(acmLibraryLoad(&acm, "libm.so.6"), ACM_LOAD_MISSING_FUNCTION);
    EXPECT_STREQ(acm.error, "libm.so.6 has no function addTargetCnc of version " ACM_LIBRARY_SYMBOL_VERSION);
    EXPECT_EQ(acm.handle, nullptr);
    for (void* p : entries(acm))
        EXPECT_EQ(p, nullptr);
    acmLibraryUnload(&acm); // harmless on a failed table
}

TEST(Loader, TakesEachNameOnlyUnderTheLibrarysVersion)
{
    // The stub lacks connect; a look-up by plain name finds the C library's in its dependencies.
    void* stub = dlopen(ACM_STUB_WITHOUT_CONNECT, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(stub, nullptr) << dlerror();
    EXPECT_EQ(dlsym(stub, "connect"), dlsym(RTLD_DEFAULT, "connect"));
    EXPECT_NE(dlvsym(stub, "disconnect", ACM_LIBRARY_SYMBOL_VERSION), nullptr);
    dlclose(stub);
    AcmLibrary acm;
    EXPECT_EQ(acmLibraryLoad(&acm, ACM_STUB_WITHOUT_CONNECT), ACM_LOAD_MISSING_FUNCTION);
    EXPECT_STREQ(acm.error, ACM_STUB_WITHOUT_CONNECT " has no function connect of version " ACM_LIBRARY_SYMBOL_VERSION);
    EXPECT_EQ(acm.handle, nullptr);
    EXPECT_EQ(acm.addTargetCnc, nullptr) << "nothing of a failed load stays in the table";
}
