#pragma once
#include <QThread>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// A thread that runs submitted tasks one at a time. Qt sockets belong to the
// thread that made them, so every socket call of a client is funnelled here.
class IoThread : public QThread
{
public:
    IoThread();
    ~IoThread() override;

    // Runs task on this thread and returns when it has finished; rethrows what it threw.
    // Returns without running it when the thread is stopping or never started.
    void call(const std::function<void()>& task);

protected:
    void run() override;

private:
    struct Job;
    std::mutex jobsMutex;
    std::condition_variable jobsChanged;
    std::deque<Job*> jobs;
    bool stopping = false;
};
