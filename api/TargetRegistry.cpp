#include "TargetRegistry.h"

#include "TargetCnc.h"

#include <future>
#include <map>
#include <mutex>

namespace TargetRegistry {
namespace {

// A registered record and what tells its remover that the last lease has gone.
struct Entry
{
    Lease lease;
    std::shared_ptr<std::promise<void>> released;
};

struct Registry
{
    std::mutex lock; // guards map; never held across a wait
    std::map<int32_t, Entry> map;
};

// Never destroyed: records still registered at unload are left alone, their threads may run.
Registry& registry()
{
    static Registry* const instance = new Registry;
    return *instance;
}

} // namespace

Lease find(int32_t cncID)
{
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    const auto it = r.map.find(cncID);
    return it == r.map.end() ? Lease() : it->second.lease;
}

bool add(int32_t cncID, std::unique_ptr<TargetCnc>& target)
{
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    if (r.map.count(cncID))
        return false;
    // The last lease only signals: the remover frees the record on its own thread, after the
    // workers it joined, never on the thread of a call that happened to end last.
    auto released = std::make_shared<std::promise<void>>();
    Entry entry{Lease(target.get(), [released](TargetCnc*) { released->set_value(); }), released};
    r.map.emplace(cncID, std::move(entry));
    target.release(); // only now: until here a throw leaves the record to the caller
    return true;
}

bool remove(int32_t cncID)
{
    Entry entry;
    {
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        const auto it = r.map.find(cncID);
        if (it == r.map.end())
            return false;
        entry = std::move(it->second);
        r.map.erase(it);
    }
    TargetCnc* const record = entry.lease.get();
    record->retire();
    std::future<void> lastLeaseGone = entry.released->get_future();
    entry.lease.reset();
    lastLeaseGone.wait();
    delete record;
    return true;
}

} // namespace TargetRegistry
