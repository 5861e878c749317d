#include "TargetRegistry.h"

namespace TargetRegistry {

// Records still registered at unload are left alone: their threads may still run.
std::map<int32_t, TargetCnc*> targetMap;

TargetCnc* find(int32_t cncID)
{
    const auto it = targetMap.find(cncID);
    return it == targetMap.end() ? nullptr : it->second;
}

} // namespace TargetRegistry
