#include "ProgramStore.h"

#include "FrameReader.h"
#include "FrameWriter.h"

namespace {
// Offsets in a TCP request frame.
constexpr int kChannelAt = 9;
constexpr int kTextAt = 9;      // overwrite and append
constexpr int kFileNameAt = 11; // after channel and type byte
constexpr int kProgramNameAt = 10; // cycle start: after the channel

constexpr int kFirstChannel = 1;
constexpr int kLastChannel = 99;

// Reply states of the transfer requests.
constexpr int kOk = 0;
constexpr int kParametersError = 1;
constexpr int kBusyOrRunning = 2; // declaration and start: in use; blocks: stored, controller busy
constexpr int kFullOrMissing = 3; // blocks: DNC memory full; start: no such file
constexpr int kTransferBusy = 1;  // transfer-state query: not ready yet

enum Sub { Declare = 1, Append = 2, Overwrite = 3, FileEnd = 4, TransferState = 5, Query = 6 };

bool validChannel(int32_t channel)
{
    return channel >= kFirstChannel && channel <= kLastChannel;
}
} // namespace

bool ProgramStore::handles(uint8_t code, int sub)
{
    return (code == 'd' && sub >= Declare && sub <= Query) || (code == 'f' && sub == 4);
}

bool ProgramStore::reply(const FrameReader& r, uint8_t code, int sub, std::optional<int> scripted, FrameWriter& w,
                         quint64 session)
{
    std::lock_guard<std::mutex> g(m_lock);
    endFinishedRuns();
    if (code == 'f') {
        w.code('f').byte(sub).byte(0).byte(startByName(r, scripted));
        return true;
    }
    w.code('d').byte(sub);
    switch (sub) {
    case Declare:
    case Query:
        w.byte(0).byte(0).byte(declare(r, sub, scripted, session)); // the state sits at offset 4
        break;
    case Append:
    case Overwrite:
        w.byte(storeBlock(r, sub == Overwrite, scripted, session));
        break;
    case TransferState:
        w.byte(scripted.value_or(busy() ? kTransferBusy : kOk));
        break;
    default: // file end: no state
        break;
    }
    return true;
}

void ProgramStore::endSession(quint64 session)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_sessionTargets.remove(session);
}

int ProgramStore::declare(const FrameReader& r, int sub, std::optional<int> scripted, quint64 session)
{
    const int32_t channel = r.byteAt(kChannelAt);
    const QByteArray name = r.tail(kFileNameAt);
    int state = kOk;
    if (!r.has(kChannelAt, 2) || !validChannel(channel) || name.isEmpty())
        state = kParametersError;
    else if (m_running.value(channel) == name)
        state = kBusyOrRunning;
    state = scripted.value_or(state);
    if (state != kOk)
        return state;
    const Key key(channel, name);
    if (session == 0)
        m_target = key;
    else
        m_sessionTargets.insert(session, key);
    if (sub == Declare && !m_programs.contains(key))
        m_programs.insert(key, QByteArray(""));
    return state;
}

int ProgramStore::storeBlock(const FrameReader& r, bool overwrite, std::optional<int> scripted, quint64 session)
{
    const QByteArray text = r.tail(kTextAt);
    const auto own = m_sessionTargets.constFind(session);
    const std::optional<Key> target =
        session == 0 ? m_target : (own != m_sessionTargets.constEnd() ? std::optional<Key>(*own) : std::nullopt);
    int state = kOk;
    if (!target) {
        state = kParametersError;
    } else {
        if (overwrite)
            m_held.clear();
        const int before = m_drainMs > 0 ? heldBytes() : overwrite ? 0 : m_programs.value(*target).size();
        if (m_capacity >= 0 && before + text.size() > m_capacity)
            state = kFullOrMissing;
        else if (busy() || (m_busyEvery > 0 && (m_storedBlocks + 1) % m_busyEvery == 0))
            state = kBusyOrRunning;
    }
    state = scripted.value_or(state);
    if (!target || (state != kOk && state != kBusyOrRunning))
        return state;
    QByteArray& file = m_programs[*target];
    if (overwrite)
        file = text;
    else
        file.append(text);
    ++m_storedBlocks;
    if (m_drainMs > 0) {
        if (m_held.empty())
            m_nextRun = Clock::now() + std::chrono::milliseconds(m_drainMs);
        m_held.push_back(text.size());
    }
    if (state == kBusyOrRunning && !busy())
        m_busyUntil = Clock::now() + std::chrono::milliseconds(m_busyMs);
    return state;
}

int ProgramStore::startByName(const FrameReader& r, std::optional<int> scripted)
{
    const int32_t channel = r.byteAt(kChannelAt);
    const QByteArray name = r.tail(kProgramNameAt);
    int state = kOk;
    if (!r.has(kChannelAt, 1) || !validChannel(channel))
        state = kParametersError;
    else if (!m_running.value(channel).isEmpty())
        state = kBusyOrRunning;
    else if (!m_programs.contains(Key(channel, name)))
        state = kFullOrMissing;
    state = scripted.value_or(state);
    if (state == kOk) {
        m_running[channel] = name;
        if (m_runMs >= 0)
            m_runEnds[channel] = Clock::now() + std::chrono::milliseconds(m_runMs);
    }
    return state;
}

bool ProgramStore::busy() const
{
    return Clock::now() < m_busyUntil;
}

QByteArray ProgramStore::programText(int32_t channel, const QByteArray& name) const
{
    std::lock_guard<std::mutex> g(m_lock);
    const auto it = m_programs.constFind(Key(channel, name));
    // A deep copy: the caller's thread never shares Qt's reference-counted data with ours.
    return it == m_programs.constEnd() ? QByteArray() : QByteArray(it->constData(), it->size());
}

void ProgramStore::setProgramText(int32_t channel, const QByteArray& name, const QByteArray& text)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_programs[Key(channel, QByteArray(name.constData(), name.size()))] = QByteArray(text.constData(), text.size());
}

void ProgramStore::setRunningProgram(int32_t channel, const QByteArray& name)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_running[channel] = QByteArray(name.constData(), name.size());
    m_runEnds.remove(channel);
}

void ProgramStore::setRunTime(int runMs)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_runMs = runMs;
}

void ProgramStore::endRun(int32_t channel)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_running.remove(channel);
    m_runEnds.remove(channel);
}

void ProgramStore::endFinishedRuns() const
{
    const Clock::time_point now = Clock::now();
    for (auto it = m_runEnds.begin(); it != m_runEnds.end();) {
        if (it.value() > now) {
            ++it;
            continue;
        }
        m_running.remove(it.key());
        it = m_runEnds.erase(it);
    }
}

QByteArray ProgramStore::runningProgram(int32_t channel) const
{
    std::lock_guard<std::mutex> g(m_lock);
    endFinishedRuns();
    const QByteArray name = m_running.value(channel);
    return QByteArray(name.constData(), name.size());
}

void ProgramStore::setDncCapacity(int bytes, int drainMs)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_capacity = bytes;
    m_drainMs = drainMs;
    m_held.clear();
}

int ProgramStore::heldBytes()
{
    const Clock::time_point now = Clock::now();
    while (!m_held.empty() && now >= m_nextRun) {
        m_held.pop_front();
        m_nextRun += std::chrono::milliseconds(m_drainMs);
    }
    int bytes = 0;
    for (const int size : m_held)
        bytes += size;
    return bytes;
}

void ProgramStore::setBusyPhases(int everyNthBlock, int busyMs)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_busyEvery = everyNthBlock;
    m_busyMs = busyMs;
    m_storedBlocks = 0;
}
