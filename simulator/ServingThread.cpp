#include "ServingThread.h"

#include <chrono>

bool ServingThread::startServing()
{
    {
        std::lock_guard<std::mutex> g(m_readyLock);
        m_state = 0;
    }
    start();
    std::unique_lock<std::mutex> g(m_readyLock);
    m_ready.wait_for(g, std::chrono::seconds(5), [&] { return m_state != 0; });
    const bool ok = m_state == 1;
    g.unlock();
    if (!ok)
        stopServing();
    return ok;
}

void ServingThread::stopServing()
{
    if (isRunning()) {
        quit();
        wait(5000);
    }
    // QThread::wait synchronises through Qt's own futex, invisible to race detectors; the
    // thread's last touch of our members happened under this lock (see run). Taken also when
    // the thread has already finished by itself, as after a failed start.
    std::lock_guard<std::mutex> g(m_readyLock);
}

void ServingThread::reportReady(bool ok)
{
    // Notified under the lock: the starter may destroy us as soon as it sees the state.
    std::lock_guard<std::mutex> g(m_readyLock);
    m_state = ok ? 1 : -1;
    m_ready.notify_all();
}

void ServingThread::run()
{
    serve();
    std::lock_guard<std::mutex> g(m_readyLock); // last touch: see stopServing
}
