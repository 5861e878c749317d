#pragma once
#include <cstdint>
#include <memory>

class TargetCnc;

// The process-wide registry of targets by cncID, safe from any thread. Its lock guards only
// the map and is never held while a call waits for the network: a call takes a lease on its
// target under the lock and works on the lease after it.
namespace TargetRegistry {

// A call's hold on a target: the record is not freed while a lease on it lives.
using Lease = std::shared_ptr<TargetCnc>;

// A lease on cncID's record, or null when none is registered.
Lease find(int32_t cncID);

// Registers target as cncID unless a target holds that number already: of adds of one cncID
// that run at once, exactly one wins. On false, target is left to the caller.
bool add(int32_t cncID, std::unique_ptr<TargetCnc>& target);

// Takes cncID's record out of the registry (later look-ups find nothing), retires it so that
// calls still inside it end soon, and frees it once their leases have gone. Waits for them;
// never call it under a lease on the same target. False when cncID is not registered.
bool remove(int32_t cncID);

} // namespace TargetRegistry
