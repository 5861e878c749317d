// Application threads on one controller while its targets go down and up: each value carries its
// caller's mark, so what the controller received shows anything lost, sent twice or crossed.
#include "AsyncCommModule.h"
#include "ControllerFiles.h"
#include "FrameFields.h"
#include "TransferTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kSyncCnc = 61;  // every client synchronous
constexpr int kAsyncCnc = 62; // every client asynchronous
constexpr int kTurns = 30;

// A value that names its thread (top byte) and its turn.
int32_t markOf(int thread, int turn) { return (thread + 1) << 24 | turn; }

QByteArray errorFileOf(int channel)
{
    QByteArray text;
    for (int line = 0; line < 6; ++line)
        text += "E" + QByteArray::number(channel * 1000 + line) + " channel " + QByteArray::number(channel) + " overload\n";
    return text;
}

struct Attempt
{
    int32_t key, value; // an address and the value written, or a jog's feed and channel
    int32_t result;
    bool sync;
};

TEST(ConcurrencyTest, CallersOnOneControllerNeverLoseDuplicateOrCrossWhatTheySend)
{
    ScaledWaits waits(kTestWaitScale);
    SimulatedController sim;
    ASSERT_TRUE(sim.start());
    QByteArray ip = sim.address().toLatin1();
    for (int channel : {1, 2})
        sim.files()->setErrorFile(channel, false, errorFileOf(channel));
    ASSERT_TRUE(addTargetCnc(kSyncCnc, 2, ip.data(), 0) && connect(kSyncCnc));
    ASSERT_TRUE(addTargetCnc(kAsyncCnc, 2, ip.data(), 0b111) && connect(kAsyncCnc));

    std::mutex lock;
    std::vector<Attempt> attempts;
    std::vector<std::string> failures;
    const auto add = [&](const Attempt& a) { std::lock_guard<std::mutex> g(lock); attempts.push_back(a); };
    const auto fail = [&](const std::string& f) { std::lock_guard<std::mutex> g(lock); failures.push_back(f); };
    std::atomic<int> syncWrites{0}, uploadsWhole{0}, errorReads[3] = {{0}, {0}, {0}}, errorDone[3] = {{0}, {0}, {0}};
    std::vector<std::thread> threads;

    // Variables of the synchronous target: write two, read them back.
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            CncLong addresses[2] = {1002000 + 10 * t, 1002001 + 10 * t};
            for (int turn = 1; turn <= kTurns; ++turn) {
                CncLong values[2] = {markOf(t, turn), markOf(t, turn) ^ 0x5A5A};
                const CncLong r = writeVars(addresses, 2, values, kSyncCnc);
                ++syncWrites;
                for (int i = 0; i < 2; ++i)
                    add({addresses[i], values[i], r, true});
                CncLong back[2] = {-1, -1};
                if (r == 0 && readVars(addresses, 2, back, kSyncCnc) == 0 && (back[0] != values[0] || back[1] != values[1]))
                    fail("thread " + std::to_string(t) + " read back " + std::to_string(back[0]) + " for " + std::to_string(values[0]));
            }
        });

    // Variables of the asynchronous target: written, then seen in the poll.
    threads.emplace_back([&] {
        CncLong address = 1003020;
        registerVars(&address, 1, kAsyncCnc);
        for (int turn = 1; turn <= kTurns / 2; ++turn) {
            CncLong value = markOf(2, turn), seen = 0;
            const CncLong r = writeVars(&address, 1, &value, kAsyncCnc);
            add({address, value, r, false});
            // The write may die with its link (a disconnect drops what is queued): no read-back then.
            if (r == 0)
                waitUntil([&] { return readVars(&address, 1, &seen, kAsyncCnc) == 0 && seen == value; }, 1000);
        }
    });

    // Hand motion: each jog's feed names its thread and turn; channel 2 of the synchronous target,
    // channel 1 of the asynchronous one (whose queue may be full: 4).
    for (int t = 4; t < 6; ++t)
        threads.emplace_back([&, t] {
            const bool sync = t == 4;
            for (int turn = 1; turn <= kTurns; ++turn) {
                const CncLong feed = markOf(t, turn);
                add({feed, sync ? 2 : 1, jogMotionV_Run(sync ? 2 : 1, 3, feed, 0, 0, sync ? kSyncCnc : kAsyncCnc), sync});
            }
        });

    // Program uploads on both channels of the synchronous target at once.
    for (int channel = 1; channel <= 2; ++channel)
        threads.emplace_back([&, channel] {
            for (int turn = 1; turn <= 4; ++turn) {
                QByteArray name = "C" + QByteArray::number(channel) + "T" + QByteArray::number(turn);
                QByteArray text = "(" + name + ")\n" + programOf(900 + 37 * turn).replace("G01", name.left(3));
                const CncLong r = uploadFile(2, channel, name.data(), text.data(), kSyncCnc);
                const QByteArray held = sim.programText(channel, name);
                if (r == 0 ? held != text : !text.startsWith(held))
                    fail("upload " + name.toStdString() + " (" + std::to_string(r) + ") left " + std::to_string(held.size()) + " bytes");
                uploadsWhole += r == 0;
            }
        });

    // Error files of channels 1 and 2 on the synchronous target's main client: a text stays as it
    // was while the other thread reads its own.
    for (int channel = 1; channel <= 2; ++channel)
        threads.emplace_back([&, channel] {
            const int other = 3 - channel;
            for (int turn = 0; turn < 3; ++turn) {
                const char* text = getCncCurrentError(channel * 10, kSyncCnc);
                ++errorReads[channel];
                if (!text || text[0] != '0')
                    continue; // no link, or the wait failed: not this test's concern
                const QByteArray first(text);
                const int seen = errorReads[other];
                waitUntil([&] { return errorReads[other] > seen || errorDone[other]; }, 2000);
                if (first != "0" + errorFileOf(channel) || QByteArray(text) != first)
                    fail("error file of channel " + std::to_string(channel) + " read as " + first.left(30).toStdString() +
                         ", then " + QByteArray(text).left(30).toStdString());
            }
            errorDone[channel] = true;
        });

    // The targets go down and up again twice, while the others run.
    for (int cycle = 1; cycle <= 2; ++cycle) {
        waitUntil([&] { return syncWrites >= 10 * cycle; }, 5000);
        for (int cnc : {kSyncCnc, kAsyncCnc})
            EXPECT_TRUE(disconnect(cnc) && connect(cnc));
    }
    for (std::thread& t : threads)
        t.join();
    for (const std::string& f : failures)
        ADD_FAILURE() << f;
    EXPECT_GE(uploadsWhole, 2);

    // What the controller received, by (key, value): variable writes by address and value, jogs by
    // feed and channel.
    std::map<std::pair<int32_t, int32_t>, int> received;
    for (const QByteArray& f : sim.receivedFrames()) {
        if (f.size() > 8 && uint8_t(f[7]) == 'D')
            for (int at = 9; at + 8 <= f.size(); at += 8)
                ++received[{int32At(f, at), int32At(f, at + 4)}];
        if (f.size() >= 29 && uint8_t(f[7]) == 'r' && uint8_t(f[8]) == 1)
            ++received[{int32At(f, 17), int32At(f, 9)}];
    }
    int arrived = 0;
    for (const Attempt& a : attempts) {
        const int n = received.count({a.key, a.value}) ? received[{a.key, a.value}] : 0;
        received.erase({a.key, a.value});
        arrived += n;
        const int expected = a.result == 4 || a.result == 7 ? 0 : a.sync && a.result == 0 ? 1 : n;
        EXPECT_EQ(n, std::min(expected, 1)) << "key " << a.key << " value " << a.value << ": result " << a.result;
    }
    EXPECT_GT(arrived, kTurns);
    // Nothing arrived under a caller's mark that the caller did not send (the link marker aside).
    for (const auto& entry : received)
        EXPECT_FALSE((entry.first.first >= 1002000 && entry.first.first < 1004000) || (entry.first.first >> 24) >= 5)
            << "key " << entry.first.first << " value " << entry.first.second << " came from nowhere";
    for (int cnc : {kSyncCnc, kAsyncCnc})
        disconnect(cnc), removeTargetCnc(cnc);
}

// Two threads read a synchronous target while a third disconnects and connects it: a read ends
// its round trip or finds no link (7), never has the link closed under it (111).
TEST(ConcurrencyTest, AReadBesideADisconnectEndsOrFindsNoLink)
{
    constexpr int kCnc = 63, kCycles = 20;
    SimulatedController sim;
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(addTargetCnc(kCnc, 1, sim.address().toLatin1().constData(), 0) && connect(kCnc));
    std::atomic<bool> done{false};
    std::atomic<int> lost{0}, answered{0};
    const auto read = [&] {
        for (CncLong address = 1005000, value = 0, r = 0; !done; lost += r == 111, answered += r == 0)
            r = readVars(&address, 1, &value, kCnc);
    };
    std::thread readers[] = {std::thread(read), std::thread(read)};
    for (int cycle = 0; cycle < kCycles; ++cycle)
        EXPECT_TRUE(disconnect(kCnc) && connect(kCnc));
    done = true;
    readers[0].join(), readers[1].join();
    EXPECT_TRUE(lost == 0 && answered > 0) << lost << " reads lost, " << answered << " answered";
    EXPECT_TRUE(removeTargetCnc(kCnc));
}

// Sixteen threads each add, connect, command, disconnect and remove a target of their own, over
// and over, after all adding one number at once; meanwhile one thread removes a shared target
// again and again under two others that read it and ask for its running program, one of them also
// disconnecting and connecting it. Every result is one the header gives for the moment of the
// call, and each thread's running-program text stays as it was through the others' calls and the
// removals.
TEST(ConcurrencyTest, ThreadsAddAndRemoveTargetsWhileOthersCallThem)
{
    constexpr int kOwners = 16, kRounds = 30, kContested = 80, kShared = 81, kControllers = 4;
    // Four controllers: one alone would not take 64 connections at once, all in the OS's queue.
    SimulatedController sims[kControllers];
    QByteArray ips[kControllers];
    for (int i = 0; i < kControllers; ++i) {
        ASSERT_TRUE(sims[i].start());
        sims[i].setRecording(false);
        ips[i] = sims[i].address().toLatin1();
    }
    std::atomic<int> ready{0}, contestWins{0}, wrong{0}, sharedAnswers{0};
    std::atomic<bool> sharedDone{false};
    const auto check = [&](bool ok, const char* what, int who) {
        if (!ok && wrong++ < 10)
            ADD_FAILURE() << what << " (thread " << who << ")";
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kOwners; ++t)
        threads.emplace_back([&, t] {
            const int cnc = 100 + t, mask = t % 2 ? 0b11 : 0; // odd threads: asynchronous clients
            const char* own = ips[t % kControllers].constData();
            for (++ready; ready < kOwners;)
                std::this_thread::yield();
            contestWins += addTargetCnc(kContested, 1, own, 0);
            for (int round = 0; round < kRounds; ++round) {
                CncLong address = 1004000 + t, value = round;
                check(addTargetCnc(cnc, 2, own, mask) && connect(cnc), "add and connect", t);
                check(writeVars(&address, 1, &value, cnc) == 0 && jogMotionV_Stop(2, 1, cnc) == 0, "commands", t);
                check(disconnect(cnc) && jogMotionV_Stop(2, 1, cnc) == 7, "disconnect", t);
                check(removeTargetCnc(cnc) && !removeTargetCnc(cnc) && jogMotionV_Stop(2, 1, cnc) == 1, "remove", t);
            }
        });
    threads.emplace_back([&] {
        for (int round = 0; round < 2 * kRounds; ++round) {
            const int before = sharedAnswers;
            check(addTargetCnc(kShared, 2, ips[0].constData(), round % 2) && connect(kShared), "shared add", -1);
            waitUntil([&] { return sharedAnswers > before + 4; }, 2000);
            check(removeTargetCnc(kShared), "shared remove", -1);
        }
        sharedDone = true;
    });
    for (CncLong channel : {1, 2})
        threads.emplace_back([&, channel] {
            const std::string mine = "O000" + std::to_string(channel);
            std::string keptCopy;
            for (const char* kept = nullptr; !sharedDone;) {
                CncLong address = 1005000, value = 0;
                const CncLong r = readVars(&address, 1, &value, kShared);
                check(r == 0 || r == 1 || r == 7 || r == 111, "shared read", -channel); // 111: not polled
                sharedAnswers += r == 0 || r == 111;
                check(!kept || keptCopy == kept, "a text changed by others' calls or a removal", -channel);
                kept = getRuningPrg(channel, kShared);
                keptCopy = kept ? kept : "";
                check(!kept || keptCopy == mine || keptCopy == "o", "running program", -channel);
                if (channel == 2)
                    disconnect(kShared), connect(kShared); // either may find the target gone: any result
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(contestWins.load(), 1) << "exactly one of the adds of one number wins";
    EXPECT_TRUE(removeTargetCnc(kContested));
}

// Error callbacks that call the library: one into its own client, and two at once that each wait
// for the other before calling the other's client. The reports come after the client's lock is
// released, so each call ends; a callback run under the lock would wait for ever.
constexpr int kSelf = 64, kLeft = 65, kRight = 66;
std::atomic<int> callbacksIn{0};
std::atomic<CncLong> calledBack[3] = {{-1}, {-1}, {-1}};

void intoSelf(CncLong, CncLong, const char*) { calledBack[0] = CheckTcpWdt(kSelf); }
void crossing(int mine, int other)
{
    ++callbacksIn;
    waitUntil([] { return callbacksIn >= 2; }, 1000);
    calledBack[mine] = CheckTcpWdt(other);
}
void intoRight(CncLong, CncLong, const char*) { crossing(1, kRight); }
void intoLeft(CncLong, CncLong, const char*) { crossing(2, kLeft); }

TEST(ConcurrencyTest, AnErrorCallbackMayCallItsOwnClientAndAnother)
{
    SimulatedController sim;
    ASSERT_TRUE(sim.start());
    const QByteArray ip = sim.address().toLatin1();
    const std::pair<int, ErrCallbackFunc> targets[] = {{kSelf, intoSelf}, {kLeft, intoRight}, {kRight, intoLeft}};
    for (const auto& t : targets)
        ASSERT_TRUE(addTargetCnc(t.first, 1, ip.data(), 0) && connect(t.first) && setErrCallbackFunc(t.second, t.first));
    sim.scriptReply('D', -1, rawReply(tcpFrame(QByteArray("\xC4", 1)), -1)); // every write refused
    auto refusedWrite = [](int cnc) { return [cnc] { CncLong a = 1004000, v = 1; writeVars(&a, 1, &v, cnc); }; };
    std::thread calls[] = {std::thread(refusedWrite(kSelf)), std::thread(refusedWrite(kLeft)), std::thread(refusedWrite(kRight))};
    const bool ended = waitUntil([] { return calledBack[0] == 0 && calledBack[1] == 0 && calledBack[2] == 0; }, 5000);
    if (!ended) { // the threads wait for ever: nothing after this could end
        ADD_FAILURE() << "a callback that calls the library never returned";
        std::_Exit(1);
    }
    for (std::thread& t : calls)
        t.join();
    for (const auto& t : targets)
        EXPECT_TRUE(setErrCallbackFunc(nullptr, t.first) && removeTargetCnc(t.first));
}

} // namespace
