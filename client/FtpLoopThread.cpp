#include "FtpLoopThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <private/qthread_p.h>

namespace {
const QEvent::Type kRunJobs = QEvent::Type(QEvent::User + 1);
}

// A thread that needs no application object: without one Qt drops every event to a thread that
// has not said so, and Qt's own service threads say so through this private class.
class FtpLoopThread::Loop : public QDaemonThread
{
public:
    explicit Loop(FtpLoopThread& owner) : m_owner(owner) {}

protected:
    void run() override;

private:
    FtpLoopThread& m_owner;
};

// Lives in the loop's thread; each event it gets runs the jobs queued so far.
class FtpLoopThread::Waker : public QObject
{
public:
    explicit Waker(FtpLoopThread& owner) : m_owner(owner) {}
    bool event(QEvent* e) override
    {
        if (e->type() != kRunJobs)
            return QObject::event(e);
        m_owner.runJobs();
        return true;
    }

private:
    FtpLoopThread& m_owner;
};

void FtpLoopThread::Loop::run()
{
    Waker waker(m_owner);
    m_owner.loopStarted(&waker);
    exec();
    m_owner.loopEnding();
}

FtpLoopThread::FtpLoopThread() : m_thread(new Loop(*this))
{
    m_thread->start();
    std::unique_lock<std::mutex> lock(m_lock);
    // A thread the system refused is not running: post then refuses its jobs.
    m_ready.wait(lock, [this] { return m_waker || !m_thread->isRunning(); });
}

FtpLoopThread::~FtpLoopThread()
{
    QThread* thread = m_thread.get();
    if (post([thread] { thread->quit(); }))
        m_thread->wait();
    // QThread::wait joins through Qt's own futex, which race detectors cannot see; the thread
    // last touched our fields under this lock.
    std::lock_guard<std::mutex> lock(m_lock);
}

QThread* FtpLoopThread::thread() const
{
    return m_thread.get();
}

bool FtpLoopThread::accepting()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_waker != nullptr;
}

bool FtpLoopThread::post(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_waker)
        return false;
    m_jobs.push_back(std::move(job));
    // Under the lock: the waker is not destroyed while the event goes to it.
    QCoreApplication::postEvent(m_waker, new QEvent(kRunJobs));
    return true;
}

void FtpLoopThread::loopStarted(QObject* waker)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_waker = waker;
    }
    m_ready.notify_all();
}

void FtpLoopThread::loopEnding()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_waker = nullptr;
}

void FtpLoopThread::runJobs()
{
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        try {
            job();
        } catch (...) {
            // a job that failed leaves the loop to the next one
        }
    }
}

bool FtpLoopThread::callerRunsEventLoop()
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    QThread* here = QThread::currentThread();
    return here == app->thread() || here->loopLevel() > 0;
}
