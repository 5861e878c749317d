#include "FtpOperatorSet.h"

#include "VTeleFileOpreator.h"

#include <QThread>

#include <algorithm>

FtpOperatorSet::FtpOperatorSet(VTeleFileOpreator*& newest) : m_newest(newest) {}

FtpOperatorSet::~FtpOperatorSet()
{
    for (VTeleFileOpreator* op : m_older)
        release(op);
    if (m_newest)
        release(m_newest);
    m_newest = nullptr;
}

void FtpOperatorSet::release(VTeleFileOpreator* op)
{
    QThread* home = op->thread();
    if (home == QThread::currentThread() || !home || home->isFinished())
        delete op;
    else
        op->deleteLater();
}

void FtpOperatorSet::replaceNewest(VTeleFileOpreator* op)
{
    std::lock_guard<std::mutex> lock(m_lock);
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
