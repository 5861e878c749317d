#pragma once
#include "FtpCmd.h"

#include <QList>

#include <memory>
#include <mutex>
#include <vector>

class FtpLoopThread;
class VTeleFileOpreator;

// Owns the FTP operators one client has started. The newest lives in the client's own
// pointer (given at construction), whose progress the application polls; each older one
// runs its list on and is freed once that list has ended or stopped, when a later operation
// comes by, and at the latest with the client.
// An operator started from a thread that runs a Qt event loop lives and advances there; one
// started from any other thread lives on the set's own loop thread, made at the first such
// start and ended with the set.
class FtpOperatorSet
{
public:
    explicit FtpOperatorSet(VTeleFileOpreator*& newest);
    ~FtpOperatorSet();
    FtpOperatorSet(const FtpOperatorSet&) = delete;
    FtpOperatorSet& operator=(const FtpOperatorSet&) = delete;

    // Takes op (new, made by the calling thread), starts list on it where it can advance and
    // makes it the newest.
    void start(VTeleFileOpreator* op, const QList<FtpCmd>& list);
    // Makes op the newest; frees the older operators that are done.
    void replaceNewest(VTeleFileOpreator* op);
    // The newest operator's progress, 0.0 when there is none. Any thread: the lock is held
    // only for the swap and the read, never while a command or a transfer runs.
    double newestProgress() const;
    int olderCount() const;

private:
    FtpLoopThread* loopThread();
    // An operator belongs to its thread: freed there directly, from elsewhere through its loop.
    void release(VTeleFileOpreator* op);

    VTeleFileOpreator*& m_newest;
    std::vector<VTeleFileOpreator*> m_older;
    std::unique_ptr<FtpLoopThread> m_loop;
    mutable std::mutex m_lock; // guards the three above
};
