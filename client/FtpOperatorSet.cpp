#include "FtpOperatorSet.h"

#include "FtpLoopThread.h"
#include "VTeleFileOpreator.h"

#include <QThread>

#include <algorithm>

FtpOperatorSet::FtpOperatorSet(VTeleFileOpreator*& newest) : m_newest(newest) {}

FtpOperatorSet::~FtpOperatorSet()
{
    std::unique_ptr<FtpLoopThread> loop;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (VTeleFileOpreator* op : m_older)
            release(op);
        if (m_newest)
            release(m_newest);
        m_newest = nullptr;
        loop = std::move(m_loop);
    }
    loop.reset(); // runs the deletions queued above, then ends the thread
}

FtpLoopThread* FtpOperatorSet::loopThread()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_loop)
        m_loop.reset(new FtpLoopThread);
    return m_loop.get();
}

void FtpOperatorSet::start(VTeleFileOpreator* op, const QList<FtpCmd>& list)
{
    FtpLoopThread* loop = FtpLoopThread::callerRunsEventLoop() ? nullptr : loopThread();
    if (loop && loop->accepting())
        op->moveToThread(loop->thread());
    if (loop && op->thread() == loop->thread()) {
        op->markListStarting(); // not freed as done before the loop has started it
        replaceNewest(op);
        loop->post([op, list] { op->startCmdList(list); });
        return;
    }
    // The caller's loop drives it (or nothing does, when no thread of ours could start).
    replaceNewest(op);
    op->startCmdList(list);
}

// The caller holds m_lock.
void FtpOperatorSet::release(VTeleFileOpreator* op)
{
    QThread* home = op->thread();
    if (m_loop && home == m_loop->thread()) {
        if (!m_loop->post([op] { delete op; }))
            delete op;
        return;
    }
    if (home == QThread::currentThread() || !home || home->isFinished())
        delete op;
    else
        op->deleteLater();
}

void FtpOperatorSet::replaceNewest(VTeleFileOpreator* op)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_newest == op)
        return;
    m_older.reserve(m_older.size() + 1); // no throw after the swap
    if (m_newest)
        m_older.push_back(m_newest);
    m_newest = op;
    const auto done = std::stable_partition(m_older.begin(), m_older.end(),
                                            [](VTeleFileOpreator* older) { return older->isListRunning(); });
    for (auto it = done; it != m_older.end(); ++it)
        release(*it);
    m_older.erase(done, m_older.end());
}

double FtpOperatorSet::newestProgress() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_newest ? m_newest->progress() : 0.0;
}

int FtpOperatorSet::olderCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return int(m_older.size());
}
