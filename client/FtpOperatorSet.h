#pragma once
#include <mutex>
#include <vector>

class VTeleFileOpreator;

// Owns the FTP operators one client has started. The newest lives in the client's own
// pointer (given at construction), whose progress the application polls; each older one
// runs its list on and is freed once that list has ended or stopped, when a later operation
// comes by, and at the latest with the client.
class FtpOperatorSet
{
public:
    explicit FtpOperatorSet(VTeleFileOpreator*& newest);
    ~FtpOperatorSet();
    FtpOperatorSet(const FtpOperatorSet&) = delete;
    FtpOperatorSet& operator=(const FtpOperatorSet&) = delete;

    // Makes op the newest; frees the older operators that are done.
    void replaceNewest(VTeleFileOpreator* op);
    // The newest operator's progress, 0.0 when there is none. Any thread: the lock is held
    // only for the swap and the read, never while a command or a transfer runs.
    double newestProgress() const;
    int olderCount() const;

private:
    // An operator belongs to its thread: freed there directly, from elsewhere through its loop.
    static void release(VTeleFileOpreator* op);

    VTeleFileOpreator*& m_newest;
    std::vector<VTeleFileOpreator*> m_older;
    mutable std::mutex m_lock;
};
