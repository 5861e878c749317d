#pragma once
#include <QByteArray>
#include <QMap>
#include <QPair>

#include <chrono>
#include <deque>
#include <cstdint>
#include <mutex>
#include <optional>

class FrameReader;
class FrameWriter;

// The controller's side of the program text transfer: programs kept per channel and name, the
// file that a transfer writes into (chosen by the last accepted declaration or state query on
// the same connection, so that transfers on several connections at once stay apart and a new
// connection has none: its blocks are refused; a file end leaves it chosen, so that the blocks of
// a remote buffer keep going to it), the
// program running on each channel, and the DNC memory's limits and busy phases, which tests
// provoke. Texts are stored as they arrive, so tests compare them byte for byte.
class ProgramStore
{
public:
    static constexpr int kDefaultRunMs = 5000;

    // Whether reply() serves this request: 'd' 1 to 6 and the cycle start by name ('f' 4).
    static bool handles(uint8_t code, int sub);

    // Writes the reply PDU of one request it handles. A scripted state replaces the state the
    // store would give; the store then acts as the controller does on that state (a block is kept
    // on 0 and 2 only, a file is chosen on 0 only). Returns true: every such request is answered.
    // session: the connection the request came on; 0 for requests without one (a serial line),
    // which share one choice of file.
    bool reply(const FrameReader& r, uint8_t code, int sub, std::optional<int> scriptedState, FrameWriter& w,
               quint64 session = 0);
    // The connection has closed: its choice of file goes.
    void endSession(quint64 session);

    // Null when the channel holds no such program.
    QByteArray programText(int32_t channel, const QByteArray& name) const;
    void setProgramText(int32_t channel, const QByteArray& name, const QByteArray& text);
    // The program a channel runs; an empty name: none. Set so, it runs until ended.
    void setRunningProgram(int32_t channel, const QByteArray& name);
    // A program started by name ends by itself after runMs (negative: runs until ended).
    void setRunTime(int runMs);
    // Stop or reset: the channel's program ends.
    void endRun(int32_t channel);
    QByteArray runningProgram(int32_t channel) const;
    // Most bytes the file being written may hold; a block beyond it is refused with state 3.
    // Negative: no limit. drainMs > 0: the limit is on the blocks the machine has not run yet,
    // and it runs the oldest held block every drainMs (an overwrite starts the memory afresh).
    void setDncCapacity(int bytes, int drainMs = 0);
    // Every n-th stored block is answered with state 2 (stored, busy) and the transfer-state
    // query answers 1 for busyMs after it, 0 after that. n = 0: never busy.
    void setBusyPhases(int everyNthBlock, int busyMs);

private:
    using Key = QPair<int32_t, QByteArray>;
    using Clock = std::chrono::steady_clock;

    int declare(const FrameReader& r, int sub, std::optional<int> scripted, quint64 session);
    int storeBlock(const FrameReader& r, bool overwrite, std::optional<int> scripted, quint64 session);
    int startByName(const FrameReader& r, std::optional<int> scripted);
    bool busy() const;
    // Ends the started programs whose run time is over.
    void endFinishedRuns() const;
    // The bytes the DNC memory still holds, after freeing what the machine has run by now.
    int heldBytes();

    mutable std::mutex m_lock;
    QMap<Key, QByteArray> m_programs;
    mutable QMap<int32_t, QByteArray> m_running;
    mutable QMap<int32_t, Clock::time_point> m_runEnds; // of the programs started by name
    int m_runMs = kDefaultRunMs;
    std::optional<Key> m_target;         // the file of requests without a connection
    QMap<quint64, Key> m_sessionTargets; // per connection that declared one
    int m_capacity = -1;
    int m_drainMs = 0;
    std::deque<int> m_held; // sizes of the blocks not yet run, oldest first (drain only)
    Clock::time_point m_nextRun{};
    int m_busyEvery = 0;
    int m_busyMs = 0;
    int m_storedBlocks = 0;
    Clock::time_point m_busyUntil{};
};
