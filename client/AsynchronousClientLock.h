#pragma once
#include "AsynchronousClient.h"

// Holds a client's lock. The reports raised while it was held go to the error callback once it
// is released, on the releasing thread and with no lock of the client held, so that a callback
// may call into the library, this client included.
class AsynchronousClient::ReportingLock
{
public:
    explicit ReportingLock(AsynchronousClient& client) : owner(client), held(client.mutex) {}
    ~ReportingLock();
    ReportingLock(const ReportingLock&) = delete;
    ReportingLock& operator=(const ReportingLock&) = delete;

    // For waits that release the lock meanwhile: deliverNow first, so that the reports raised so
    // far do not wait for the end of the call.
    std::unique_lock<std::mutex>& lock() { return held; }
    void deliverNow();
    // Releases the lock for ms, the reports raised so far delivered first.
    void pause(int ms);

private:
    // Delivers the reports raised so far and leaves the lock released.
    void releaseAndDeliver();

    AsynchronousClient& owner;
    std::unique_lock<std::mutex> held;
};
