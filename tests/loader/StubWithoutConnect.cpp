// A library with every function of the loader's list under the library's symbol version except
// connect. Looked up by plain name, connect would be found all the same: the C library's, one of
// the stub's dependencies.
#include "AsyncCommModuleLoader.h"

#include <cstdio>

// Built with ACM_STUB_KEEPS_CONNECT: a library of the first release, with all of ACM_1.0.
#ifndef ACM_STUB_KEEPS_CONNECT
#define connect acmStubLeavesConnectOut
#endif
#define ACM_STUB(name) extern "C" __attribute__((visibility("default"))) void name() {}
ACM_LIBRARY_FUNCTIONS(ACM_STUB)
#undef ACM_STUB
#undef connect

// Makes the C library a dependency of the stub, as it is of the real library.
extern "C" __attribute__((visibility("default"))) void acmStubSpeaks()
{
    std::puts("stub");
}
