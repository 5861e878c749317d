#include "IoThread.h"

#include <exception>

struct IoThread::Job
{
    const std::function<void()>* task = nullptr;
    std::exception_ptr error;
    bool done = false;
};

IoThread::IoThread()
{
    start();
}

IoThread::~IoThread()
{
    {
        std::lock_guard<std::mutex> lock(jobsMutex);
        stopping = true;
    }
    jobsChanged.notify_all();
    wait();
    // QThread::wait synchronises through Qt's own futex, which race detectors cannot see;
    // the run loop last touched our members under this lock, so take it once more.
    std::lock_guard<std::mutex> lock(jobsMutex);
}

void IoThread::call(const std::function<void()>& task)
{
    if (QThread::currentThread() == this) {
        task();
        return;
    }
    // A thread the system refused to start would never take the job: skip it, as when
    // stopping, so callers see an unopened link instead of waiting for ever.
    if (!isRunning())
        return;
    Job job;
    job.task = &task;
    std::unique_lock<std::mutex> lock(jobsMutex);
    if (stopping)
        return;
    jobs.push_back(&job);
    jobsChanged.notify_all();
    jobsChanged.wait(lock, [&] { return job.done; });
    if (job.error)
        std::rethrow_exception(job.error);
}

void IoThread::run()
{
    std::unique_lock<std::mutex> lock(jobsMutex);
    for (;;) {
        jobsChanged.wait(lock, [&] { return stopping || !jobs.empty(); });
        if (jobs.empty())
            return; // stopping and nothing left to do
        Job* job = jobs.front();
        jobs.pop_front();
        lock.unlock();
        try {
            (*job->task)();
        } catch (...) {
            job->error = std::current_exception();
        }
        lock.lock();
        job->done = true;
        jobsChanged.notify_all();
    }
}
