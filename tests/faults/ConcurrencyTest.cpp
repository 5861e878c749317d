// Several application threads on two targets of one controller, through the exported functions,
// while another thread disconnects and connects the targets again and again: variables, bits,
// hand motion, program uploads on two channels at once and error files, on synchronous and on
// asynchronous clients. Every value and program carries its caller's mark, so what the controller
// received shows anything lost, sent twice or crossed between callers:
// - a synchronous call that returned 0 arrived exactly once, one that returned 7 never arrived;
// - an asynchronous call that returned 4 or 7 never arrived, and nothing arrived twice;
// - a value read back right after a successful write is that write's value;
// - an upload that returned 0 arrived byte for byte; any other holds a first part of its own text;
// - an error file is the caller's channel's, and its text stays put while other threads read theirs.
#include "AsyncCommModule.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "TestSupport.h"
#include "TransferTestSupport.h"

#include <QMap>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

constexpr int kSyncCnc = 61;  // every client synchronous
constexpr int kAsyncCnc = 62; // every client asynchronous
constexpr int kRunMs = 4000;

int32_t le32At(const QByteArray& f, int at)
{
    const auto* p = reinterpret_cast<const uint8_t*>(f.constData()) + at;
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// A value that names its thread (top byte) and its turn.
int32_t markOf(int thread, int turn)
{
    return (thread + 1) << 24 | turn;
}

struct Attempt
{
    int thread;
    int32_t key;   // an address, or a jog's feed
    int32_t value; // the value written, or the jog's channel
    int32_t result;
    bool sync;
};

class Record
{
public:
    void add(const Attempt& a)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_attempts.push_back(a);
    }
    void failure(const std::string& what)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_failures.push_back(what);
    }
    std::vector<Attempt> attempts() const
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_attempts;
    }
    std::vector<std::string> failures() const
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_failures;
    }

private:
    mutable std::mutex m_lock;
    std::vector<Attempt> m_attempts;
    std::vector<std::string> m_failures;
};

class ConcurrencyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start());
        ip = sim.address().toLatin1();
        for (int channel : {1, 2})
            sim.files()->setErrorFile(channel, false, errorFileOf(channel));
        ASSERT_TRUE(addTargetCnc(kSyncCnc, 2, ip.data(), 0));
        ASSERT_TRUE(addTargetCnc(kAsyncCnc, 2, ip.data(), 0b111));
        ASSERT_TRUE(connect(kSyncCnc));
        ASSERT_TRUE(connect(kAsyncCnc));
    }
    void TearDown() override
    {
        disconnect(kSyncCnc);
        disconnect(kAsyncCnc);
        removeTargetCnc(kSyncCnc);
        removeTargetCnc(kAsyncCnc);
        sim.stop();
    }

    static QByteArray errorFileOf(int channel)
    {
        QByteArray text;
        for (int line = 0; line < 6; ++line)
            text += "E" + QByteArray::number(channel * 1000 + line) + " channel " + QByteArray::number(channel) +
                    " spindle overload\n";
        return text;
    }

    bool running() const { return std::chrono::steady_clock::now() < until; }

    SimulatedController sim;
    QByteArray ip;
    Record record;
    std::chrono::steady_clock::time_point until;
};

TEST_F(ConcurrencyTest, CallersOnOneControllerNeverLoseDuplicateOrCrossWhatTheySend)
{
    until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRunMs);
    std::vector<std::thread> threads;
    std::atomic<int> uploadsWhole{0}, errorFilesRead{0}, syncReadBacks{0}, asyncReadBacks{0};

    // Variables of a synchronous target: write two, read them back.
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            CncLong addresses[2] = {1002000 + 10 * t, 1002001 + 10 * t};
            for (int turn = 1; running(); ++turn) {
                CncLong values[2] = {markOf(t, turn), markOf(t, turn) ^ 0x5A5A};
                const CncLong r = writeVars(addresses, 2, values, kSyncCnc);
                for (int i = 0; i < 2; ++i)
                    record.add({t, addresses[i], values[i], r, true});
                if (r != ResultCode::Success)
                    continue;
                CncLong back[2] = {-1, -1};
                if (readVars(addresses, 2, back, kSyncCnc) == ResultCode::Success) {
                    ++syncReadBacks;
                    if (back[0] != values[0] || back[1] != values[1])
                        record.failure("sync read-back of thread " + std::to_string(t) + " gave " +
                                       std::to_string(back[0]) + " for " + std::to_string(values[0]));
                }
            }
        });

    // Variables of an asynchronous target: registered for the poll, written, then seen in the poll.
    for (int t = 2; t < 4; ++t)
        threads.emplace_back([&, t] {
            CncLong address = 1003000 + 10 * t;
            registerVars(&address, 1, kAsyncCnc);
            for (int turn = 1; running(); ++turn) {
                CncLong value = markOf(t, turn);
                const CncLong r = writeVars(&address, 1, &value, kAsyncCnc);
                record.add({t, address, value, r, false});
                if (r != ResultCode::Success) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    continue;
                }
                // The write may die with its link (a disconnect drops what is queued): then no read-back.
                CncLong seen = 0;
                if (waitUntil([&] { return readVars(&address, 1, &seen, kAsyncCnc) == 0 && seen == value; }, 1000))
                    ++asyncReadBacks;
            }
        });

    // Bits on either target's second channel, set and read back on the synchronous one.
    threads.emplace_back([&] {
        for (int turn = 1; running(); ++turn) {
            const CncLong value = turn & 1;
            if (setCBit(2, 7, value, kSyncCnc) == 0) {
                CncLong back = -1;
                if (getCBit(2, 7, &back, kSyncCnc) == 0 && back != value)
                    record.failure("bit read back as " + std::to_string(back));
            }
            setCBit(2, 8, value, kAsyncCnc);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    // Hand motion: each jog's feed names its thread and turn; channel 2 of the synchronous target,
    // channel 1 of the asynchronous one.
    for (int t = 4; t < 6; ++t)
        threads.emplace_back([&, t] {
            const bool sync = t == 4;
            const CncLong channel = sync ? 2 : 1;
            for (int turn = 1; running(); ++turn) {
                const CncLong feed = markOf(t, turn);
                const CncLong r = jogMotionV_Run(channel, 3, feed, 0, 0, sync ? kSyncCnc : kAsyncCnc);
                record.add({t, feed, channel, r, sync});
                if (!sync) // queued at once: leave the worker time to send
                    std::this_thread::sleep_for(std::chrono::milliseconds(r == ResultCode::Success ? 1 : 5));
            }
        });

    // Program uploads on both channels of the synchronous target at once.
    for (int channel = 1; channel <= 2; ++channel)
        threads.emplace_back([&, channel] {
            for (int turn = 1; running(); ++turn) {
                QByteArray name = "C" + QByteArray::number(channel) + "T" + QByteArray::number(turn);
                QByteArray text = "(" + name + ")\n" + programOf(900 + 37 * turn).replace("G01", name.left(3));
                const CncLong r = uploadFile(2, channel, name.data(), text.data(), kSyncCnc);
                const QByteArray held = sim.programText(channel, name);
                if (r == ResultCode::Success) {
                    ++uploadsWhole;
                    if (held != text)
                        record.failure("upload " + name.toStdString() + " returned 0 but the controller holds " +
                                       std::to_string(held.size()) + " bytes of " + std::to_string(text.size()));
                } else if (!text.startsWith(held)) {
                    record.failure("upload " + name.toStdString() + " (" + std::to_string(r) +
                                   ") left bytes that are not its own: " + held.left(40).toStdString());
                }
            }
        });

    // Error files of channels 1 and 2 from two threads on the synchronous target's main client.
    for (int channel = 1; channel <= 2; ++channel)
        threads.emplace_back([&, channel] {
            const QByteArray expected = "0" + errorFileOf(channel);
            while (running()) {
                const char* text = getCncCurrentError(channel * 10, kSyncCnc);
                if (!text || text[0] != '0')
                    continue; // no link, or the wait failed: not this test's concern
                const QByteArray first(text);
                // Another thread reads its own file meanwhile; this one's text must stay as it was.
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                const QByteArray later(text);
                ++errorFilesRead;
                if (first != expected || later != expected)
                    record.failure("error file of channel " + std::to_string(channel) + " read as \"" +
                                   first.left(30).toStdString() + "\", then \"" + later.left(30).toStdString() + "\"");
                std::this_thread::sleep_for(std::chrono::milliseconds(200)); // leave the main client to the others
            }
        });

    // The targets go down and up again and again.
    int cycles = 0;
    threads.emplace_back([&] {
        while (running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            for (int cnc : {kSyncCnc, kAsyncCnc}) {
                disconnect(cnc);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                if (!connect(cnc))
                    record.failure("connect failed");
            }
            ++cycles;
        }
    });

    for (std::thread& t : threads)
        t.join();

    for (const std::string& f : record.failures())
        ADD_FAILURE() << f;
    EXPECT_GE(cycles, 2);
    EXPECT_GT(uploadsWhole, 4);
    EXPECT_GE(errorFilesRead, 4);
    EXPECT_GE(syncReadBacks, 5);
    EXPECT_GT(asyncReadBacks, 5);

    // What the controller received, by (key, value): variable writes by address and value, jogs by
    // feed and channel.
    std::map<std::pair<int32_t, int32_t>, int> received;
    for (const QByteArray& f : sim.receivedFrames()) {
        if (f.size() < 9)
            continue;
        if (uint8_t(f[7]) == 'D')
            for (int at = 9; at + 8 <= f.size(); at += 8)
                ++received[{le32At(f, at), le32At(f, at + 4)}];
        if (uint8_t(f[7]) == 'r' && uint8_t(f[8]) == 1 && f.size() >= 29)
            ++received[{le32At(f, 17), le32At(f, 9)}];
    }
    int checked = 0;
    std::set<std::pair<int32_t, int32_t>> sent;
    for (const Attempt& a : record.attempts()) {
        const auto it = received.find({a.key, a.value});
        const int n = it == received.end() ? 0 : it->second;
        sent.insert({a.key, a.value});
        ++checked;
        if (n > 1)
            ADD_FAILURE() << "thread " << a.thread << " key " << a.key << " value " << a.value << " arrived " << n << " times";
        if (a.result == ResultCode::NotConnected || a.result == ResultCode::QueueFull) {
            EXPECT_EQ(n, 0) << "thread " << a.thread << " key " << a.key << ": result " << a.result << " but it arrived";
        }
        if (a.sync && a.result == ResultCode::Success) {
            EXPECT_EQ(n, 1) << "thread " << a.thread << " key " << a.key << ": result 0 but it did not arrive";
        }
    }
    // Nothing arrived under a caller's mark that the caller did not send (the link marker aside).
    for (const auto& entry : received) {
        const int32_t key = entry.first.first;
        const bool marked = (key >= 1002000 && key < 1004000) || (key >> 24) >= 5;
        if (marked) {
            EXPECT_TRUE(sent.count(entry.first)) << "key " << key << " value " << entry.first.second << " came from nowhere";
        }
    }
    std::printf("concurrency: %d calls checked against the controller, %d uploads whole, %d error files, "
                "%d sync and %d async read-backs, %d disconnect/connect cycles\n",
                checked, uploadsWhole.load(), errorFilesRead.load(), syncReadBacks.load(), asyncReadBacks.load(), cycles);
}

} // namespace
