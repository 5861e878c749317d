#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QObject;
class QThread;

// The library's own thread with a Qt event loop, for the FTP operators of programs whose
// calling thread runs none (C, Python). Qt hands events only to threads of an application
// object or to threads that declare they need none; this one declares so. Jobs run there one
// at a time, in the order posted.
class FtpLoopThread
{
public:
    FtpLoopThread();  // starts the thread and waits until its loop can take jobs
    ~FtpLoopThread(); // runs the jobs still queued, then ends the loop and waits for the thread
    FtpLoopThread(const FtpLoopThread&) = delete;
    FtpLoopThread& operator=(const FtpLoopThread&) = delete;

    QThread* thread() const;
    // Whether the loop takes jobs: false when the system refused the thread.
    bool accepting();
    // Queues job for the loop; false, with job not run, when the loop takes none.
    bool post(std::function<void()> job);

    // Whether objects made by the calling thread advance there: it is the thread of the Qt
    // application object (which runs the application's loop) or is inside a running loop.
    static bool callerRunsEventLoop();

private:
    class Loop;
    class Waker;
    friend class Loop;
    friend class Waker;

    void loopStarted(QObject* waker); // in the thread, before its loop runs
    void loopEnding();                // in the thread, after its loop has returned
    void runJobs();                   // in the thread

    std::unique_ptr<Loop> m_thread;
    std::mutex m_lock;                          // guards the three below
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_jobs;
    QObject* m_waker = nullptr;                 // lives in the thread while its loop runs
};
