#pragma once
#include <QThread>

#include <condition_variable>
#include <mutex>

// A simulator thread that opens something (a server, a port) and then runs an event loop
// for it. The starter waits, bounded, until the thread says whether opening worked.
class ServingThread : public QThread
{
public:
    // Starts the thread and waits up to 5 s for serve() to call reportReady.
    bool startServing();
    // Ends the loop and joins the thread.
    void stopServing();

protected:
    // Opens, calls reportReady with the outcome, and on success runs exec().
    virtual void serve() = 0;
    void reportReady(bool ok);

private:
    void run() final;

    std::mutex m_readyLock;
    std::condition_variable m_ready;
    int m_state = 0; // 0 pending, 1 serving, -1 failed
};
