#pragma once
#include <cstdint>
#include <map>

class TargetCnc;

// The process-wide registry of targets by cncID. Unguarded by design: targets are added
// and removed only while no other call runs; concurrent look-ups only read.
namespace TargetRegistry {

extern std::map<int32_t, TargetCnc*> targetMap;

// The record of cncID, or null when none is registered.
TargetCnc* find(int32_t cncID);

} // namespace TargetRegistry
