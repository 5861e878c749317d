// Compile-time: each loader entry has the type of the header's function of its name, and nothing
// else precedes the table's own fields. The header declares `connect`, so nothing else is included.
#include "AsyncCommModule.h"
#include "AsyncCommModuleLoader.h"

#include <cstddef>
#include <type_traits>

#define ACM_SAME_TYPE(name) \
    static_assert(std::is_same<decltype(AcmLibrary::name), decltype(&::name)>::value, \
                  "the loader's " #name " differs from the public header's");
ACM_LIBRARY_FUNCTIONS(ACM_SAME_TYPE)
ACM_LIBRARY_FUNCTIONS_1_1(ACM_SAME_TYPE)
#undef ACM_SAME_TYPE

#define ACM_ONE_MORE(name) +1
static_assert(0 ACM_LIBRARY_FUNCTIONS(ACM_ONE_MORE) ACM_LIBRARY_FUNCTIONS_1_1(ACM_ONE_MORE) == ACM_LIBRARY_FUNCTION_COUNT,
              "the list of names counts ACM_LIBRARY_FUNCTION_COUNT functions");
#undef ACM_ONE_MORE

static_assert(offsetof(AcmLibrary, handle) == ACM_LIBRARY_FUNCTION_COUNT * sizeof(void (*)()),
              "the table holds exactly the listed functions before its own fields");

// Something for the test program to link, so that this unit is part of it.
int loaderTypesChecked()
{
    return ACM_LIBRARY_FUNCTION_COUNT;
}
