// Each way of talking to a controller (sync and async commands, an upload, a remote buffer) against
// each fault a controller commits; every row is printed by tools/fault-matrix.py, and after it the
// threads, descriptors and connections come back.
#include "AsyncCommModule.h"
#include "FrameFields.h"
#include "TransferTestSupport.h"

#include <QDir>
#include <QElapsedTimer>

#include <future>

namespace {

enum Mode { Sync, Async, Transfer, Buffer, Polled };
enum Fault { DropBefore, DropAfter, DropMid, Late, Truncated, WrongKind, Refused, EveryLate, BusyForEver, Restart };
const char* const kModeNames[] = {"Sync", "Async", "Transfer", "Buffer", "Poll"};
const char* const kFaultNames[] = {"DropBefore", "DropAfter", "DropMid",  "Late",        "Truncated",
                                   "WrongKind",  "Refused",   "EveryLate", "BusyForEver", "Restart"};
enum Bound { AtOnce, ReplyBudget, BufferWait, Paced };
constexpr int kNone = -1;
constexpr int kFirstPart = -2; // a first part of the text, and no file end

struct Row
{
    Mode mode;
    Fault fault;
    int32_t result; // the failing call's code; Buffer: the state the stream comes to; Poll: readVars
    const char* text; // Buffer: that state's text
    int sent;       // requests of the call the controller got ('D'; 'd'; Buffer: pieces); kNone: not counted
    int held;       // pairs of the batch (Sync, Async), bytes (Transfer), pieces (Buffer) the controller holds
    int32_t next;   // the next call's code (Buffer: a write)
    int reportCmd, reportState; // what the error callback got (kNone: nothing)
    Bound bound;
};

const char* const kLinkClosed = "Connection closed by the controller; stream stopped.";
const char* const kNoValidReply = "No valid reply from the controller; stream stopped.";

// clang-format off
const Row kRows[] = {
    // mode     fault        result text sent held next report      bound
    {Sync,     DropBefore,  7,   "", 0, 0,  7,   kNone, 0, AtOnce},
    {Sync,     DropAfter,   111, "", 2, 40, 7,   kNone, 0, AtOnce},
    {Sync,     DropMid,     111, "", 2, 40, 7,   kNone, 0, AtOnce},
    {Sync,     Late,        111, "", 2, 40, 0,   kNone, 0, ReplyBudget},
    {Sync,     Truncated,   111, "", 2, 40, 0,   kNone, 0, ReplyBudget},
    {Sync,     WrongKind,   111, "", 2, 31, 0,   kNone, 0, ReplyBudget},
    {Sync,     Refused,     111, "", 1, 0,  111, 6, 1,     AtOnce},
    {Sync,     Restart,     111, "", kNone, kNone, 7,   kNone, 0, AtOnce},
    {Async,    DropBefore,  7,   "", 0, 0,  7,   kNone, 0, AtOnce},
    {Async,    DropAfter,   0,   "", 1, 1,  7,   kNone, 0, AtOnce},
    {Async,    DropMid,     0,   "", 1, 1,  7,   kNone, 0, AtOnce},
    {Async,    Late,        0,   "", 1, 1,  0,   kNone, 0, ReplyBudget},
    {Async,    Truncated,   0,   "", 1, 1,  0,   kNone, 0, ReplyBudget},
    {Async,    WrongKind,   0,   "", 1, 0,  0,   kNone, 0, ReplyBudget},
    {Async,    Refused,     0,   "", 1, 0,  0,   6, 1,     AtOnce},
    {Transfer, DropBefore,  7,   "", 0, 0,  7,   kNone, 0, AtOnce},
    {Transfer, DropAfter,   111, "", 4, kFirstPart, 7, kNone, 0, AtOnce},
    {Transfer, DropMid,     111, "", 4, kFirstPart, 7, kNone, 0, AtOnce},
    {Transfer, Late,        111, "", 4, kFirstPart, 0, kNone, 0, ReplyBudget},
    {Transfer, Truncated,   111, "", 4, kFirstPart, 0, kNone, 0, ReplyBudget},
    {Transfer, WrongKind,   111, "", 4, kFirstPart, 0, kNone, 0, ReplyBudget},
    {Transfer, Refused,     103, "", 2, 0,  103, 2, 3,     AtOnce},
    {Transfer, EveryLate,   111, "", 1, 0,  111, kNone, 0, ReplyBudget},
    {Transfer, Restart,     111, "", kNone, kNone, 7, kNone, 0, AtOnce},
    {Buffer,   DropBefore,  3, kLinkClosed,   0, 0, 0, kNone, 0, AtOnce},
    {Buffer,   DropAfter,   3, kLinkClosed,   0, 0, 0, kNone, 0, AtOnce},
    {Buffer,   DropMid,     3, kLinkClosed,   3, 3, 0, kNone, 0, AtOnce},
    {Buffer,   Late,        3, kNoValidReply, 3, 3, 0, kNone, 0, BufferWait},
    {Buffer,   Truncated,   3, kNoValidReply, 3, 3, 0, kNone, 0, BufferWait},
    {Buffer,   WrongKind,   3, kNoValidReply, 3, 2, 0, kNone, 0, BufferWait},
    {Buffer,   Refused,     4, "parameters error.", kNone, 0, 0, kNone, 0, Paced},
    {Buffer,   BusyForEver, 1, "AppendTxt Ok",    3, 3, 0, kNone, 0, Paced},
    {Buffer,   Restart,     3, kLinkClosed,   kNone, kNone, 0, kNone, 0, AtOnce},
    {Polled,   Late,        111, "", kNone, kNone, 0, kNone, 0, ReplyBudget},
    {Polled,   Truncated,   111, "", kNone, kNone, 0, kNone, 0, ReplyBudget},
    {Polled,   WrongKind,   111, "", kNone, kNone, 0, kNone, 0, ReplyBudget},
};
// clang-format on

std::string rowName(const ::testing::TestParamInfo<Row>& info)
{
    return std::string(kModeNames[info.param.mode]) + kFaultNames[info.param.fault];
}

constexpr int kCnc = 71;
constexpr int kConnections = 3; // the target client, the aux client, channel 1's client
constexpr int kPiece = 480;

// The threads and descriptors the process holds.
std::pair<int, int> resources()
{
    const auto entries = [](const char* folder) {
        return int(QDir(QString::fromLatin1(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
    };
    return {entries("/proc/self/task"), entries("/proc/self/fd") - 1}; // less the listing's own
}

// Pairs address + i, value + i, written in requests of 31 pairs.
struct Batch
{
    Batch(int count, int32_t address, int32_t value)
    {
        for (int i = 0; i < count; ++i)
            addresses.push_back(address + i), values.push_back(value + i);
    }
    int32_t write() { return writeVars(addresses.data(), int(addresses.size()), values.data(), kCnc); }
    // The pairs the controller holds, from the first on.
    int held(SimulatedController& sim) const
    {
        size_t n = 0;
        while (n < addresses.size() && sim.variable(addresses[n]) == values[n])
            ++n;
        return int(n);
    }
    std::vector<CncLong> addresses, values;
};

// Write requests that carried this address/value pair.
int framesCarrying(SimulatedController& sim, int32_t address, int32_t value)
{
    int n = 0;
    for (const QByteArray& f : framesWithCode(sim, 'D'))
        n += f.indexOf(le32(address) + le32(value), 9) >= 9;
    return n;
}

class FaultTable : public ::testing::TestWithParam<Row>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GetParam().fault == Restart ? startRestartable(sim) : sim.start());
        ip = sim.address().toLatin1();
        before = resources();
        clearReportedError();
    }

    void TearDown() override
    {
        if (buffer)
            closeTimed();
        removeTargetCnc(kCnc);
        EXPECT_TRUE(waitUntil([&] { return sim.connectionCount() == 0; }, 2000)) << "every connection closed";
        std::pair<int, int> after;
        EXPECT_TRUE(waitUntil([&] {
            after = resources();
            return after.first <= before.first && after.second <= before.second;
        }, 3000)) << "threads " << before.first << "->" << after.first << ", descriptors " << before.second << "->" << after.second;
    }

    // The three reply waits, or the buffer's one, from their start to their end and some slack.
    static int minMs(Bound b) { return b == ReplyBudget ? budgetMs() - 50 : b == BufferWait ? bufferMs() - 25 : 0; }
    static int maxMs(Bound b) { return b == ReplyBudget ? budgetMs() + 900 : b == BufferWait ? bufferMs() + 600 : 600; }
    static int budgetMs() { return CommTiming::now().commandReplyBudgetMs; }
    static int bufferMs() { return CommTiming::now().bufferReplyMs; }

    void addTarget(int asyncMask)
    {
        ASSERT_TRUE(addTargetCnc(kCnc, 1, ip.data(), asyncMask) && setErrCallbackFunc(&recordError, kCnc) && connect(kCnc));
        ASSERT_TRUE(waitUntil([&] { return sim.requestCount('D') == kConnections; }, 2000)) << "each client's link marker";
    }

    // The row's fault on the nth request of this code and sub-code (the ones before answered).
    void inject(uint8_t code, int sub, int nth, const QByteArray& otherKind)
    {
        const Fault f = GetParam().fault;
        const bool buf = GetParam().mode == Buffer;
        if (f == Refused) // for ever: an error reply; memory full; parameters error
            return sim.scriptReply(code, code == 'D' ? -1 : buf ? 2 : 3,
                                   code == 'D' ? rawReply(tcpFrame(QByteArray("\xC4", 1)), -1) : scriptOf(ReplyScript::Status, buf ? 1 : 3, 0, -1));
        if (f == EveryLate)
            return sim.scriptReply(code, -1, scriptOf(ReplyScript::Delay, 0, budgetMs() + 150, -1));
        if (f == Restart && buf)
            return sim.scriptReply(code, sub, scriptOf(ReplyScript::Delay, 0, bufferMs() / 3, -1));
        if (f == DropAfter && buf) // the declaration
            return sim.scriptReply(code, 1, scriptOf(ReplyScript::Close, 0, 0, 1));
        if (f == BusyForEver) // the piece stored "busy", and the controller stays busy
            sim.scriptReply(code, 5, scriptOf(ReplyScript::Status, 1, 0, -1));
        const ReplyScript scripts[] = {
            {}, scriptOf(ReplyScript::Close, 0, 0, 1), scriptOf(ReplyScript::CloseMidReply, 0, 0, 1),
            scriptOf(buf ? ReplyScript::Split : ReplyScript::Delay, 0, buf ? bufferMs() + 200 : budgetMs() + 150, 1),
            scriptOf(ReplyScript::Truncate, 0, 0, 1), rawReply(tcpFrame(otherKind)), {}, {},
            scriptOf(ReplyScript::Status, 2, 0, 1), scriptOf(ReplyScript::Delay, 0, 1000, 1)};
        if (f == DropBefore)
            return;
        ReplyScript s = scripts[f];
        if (GetParam().mode == Polled)
            s.times = -1; // a frozen controller
        sim.scriptReply(code, sub, s);
        if (nth > 1) // scripts are served last in, first out
            sim.scriptReply(code, sub, scriptOf(ReplyScript::Status, 0, 0, nth - 1));
    }

    // Runs the failing call and checks its result and time; for a restart the controller stops
    // once reached() holds, and starts again afterwards.
    void failingCall(const std::function<int32_t()>& call, const std::function<bool()>& reached, Bound bound)
    {
        const Row& r = GetParam();
        if (r.fault == DropBefore) {
            sim.dropConnections();
            ASSERT_TRUE(waitUntil([&] { return sim.connectionCount() == 0; }, 2000));
            // An asynchronous client learns of the close from its own thread, a moment later.
            ASSERT_TRUE(r.mode != Async || waitUntil([&] { return !getTcpConnectFlag(kCnc); }, 2000));
        }
        QElapsedTimer clock;
        clock.start();
        auto running = std::async(r.fault == Restart ? std::launch::async : std::launch::deferred, call);
        if (r.fault == Restart) {
            ASSERT_TRUE(waitUntil(reached, 2000));
            clock.restart();
            sim.stop();
        }
        EXPECT_EQ(running.get(), r.result);
        EXPECT_GE(clock.elapsed(), minMs(bound));
        EXPECT_LE(clock.elapsed(), maxMs(bound));
        ASSERT_TRUE(r.fault != Restart || sim.start(QString::fromLatin1(ip)));
    }

    void expectReport(int calls)
    {
        const ReportedError e = reportedError();
        const Row& r = GetParam();
        EXPECT_EQ(e.calls, r.reportCmd == kNone ? 0 : calls) << "a refusal is reported, no reply is not";
        EXPECT_TRUE(r.reportCmd == kNone || (e.errorCmd == r.reportCmd && e.cmdState == r.reportState))
            << e.errorCmd << " " << e.cmdState;
    }

    void closeTimed()
    {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(bufClose(buffer), 1);
        buffer = nullptr;
        EXPECT_LT(clock.elapsed(), 800) << "a close waits for one step of the worker at most";
    }

    void runSync(), runAsync(), runTransfer(), runBuffer(), runPoll();

    ScaledWaits waits{kTestWaitScale};
    SimulatedController sim;
    QByteArray ip;
    std::pair<int, int> before;
    AcmRemoteBuffer* buffer = nullptr;
};

// A write of 40 pairs: two requests, 31 pairs and 9; the second meets the fault.
void FaultTable::runSync()
{
    const Row& r = GetParam();
    addTarget(0);
    Batch b(40, 1000600, 6000), next(5, 1000700, 7000);
    const int sentBefore = sim.requestCount('D');
    inject('D', -1, 2, QByteArray("r\x01\x00", 3));
    failingCall([&] { return b.write(); }, [&] { return sim.requestCount('D') == sentBefore + 2; }, r.bound);
    if (r.fault != Restart) { // the restarted controller forgot all of it
        EXPECT_EQ(sim.requestCount('D') - sentBefore, r.sent) << "none sent again";
        EXPECT_EQ(b.held(sim), r.held);
    }
    expectReport(1);
    EXPECT_EQ(next.write(), r.next);
    EXPECT_EQ(next.held(sim), r.next == 0 ? 5 : 0);
    EXPECT_TRUE(r.next != 0 || sim.connectionCount() == kConnections) << "the failed wait's connection closed";
    if (r.fault == Restart) {
        ASSERT_TRUE(connect(kCnc));
        EXPECT_EQ(next.write(), 0);
        EXPECT_EQ(next.held(sim), 5);
    }
}

// One queued write of one pair meets the fault; the worker gives it up and goes on, or ends with
// its link.
void FaultTable::runAsync()
{
    const Row& r = GetParam();
    addTarget(1);
    inject('D', -1, 1, QByteArray("r\x01\x00", 3));
    const int sentBefore = sim.requestCount('D');
    Batch one(1, 1001200, 12000), next(1, 1001300, 13000);
    failingCall([&] { return one.write(); }, [] { return true; }, AtOnce); // queued at once
    EXPECT_TRUE(r.sent == 0 || waitUntil([&] { return framesCarrying(sim, one.addresses[0], one.values[0]) == 1; }, 1000));
    if (r.next == 7) {
        EXPECT_TRUE(waitUntil([&] { return !getTcpConnectFlag(kCnc); }, maxMs(r.bound))) << "the worker ends with its link";
    }
    EXPECT_TRUE(waitUntil([&] { return reportedError().calls == (r.fault == Refused); }, 1000));
    EXPECT_EQ(next.write(), r.next);
    if (r.next == 0) {
        EXPECT_TRUE(waitUntil([&] { return framesCarrying(sim, next.addresses[0], next.values[0]) == 1; }, maxMs(r.bound) + 500))
            << "the worker goes on, on a fresh connection";
        EXPECT_TRUE(waitUntil([&] { return sim.connectionCount() == kConnections; }, 2000)) << "the old connection closed";
    }
    EXPECT_EQ(framesCarrying(sim, one.addresses[0], one.values[0]), r.sent) << "never sent twice";
    EXPECT_EQ(sim.requestCount('D') - sentBefore, r.sent + (r.next == 0));
    EXPECT_EQ(one.held(sim), r.held);
    EXPECT_TRUE(waitUntil([&] { return reportedError().calls == (r.fault == Refused ? 2 : 0); }, 1000)) << "each refusal reported";
    expectReport(r.fault == Refused ? 2 : 1);
}

// An upload of 2000 bytes: declaration, overwrite 400, appends of 400 x 4, an empty append, the
// file end; the second append meets the fault.
void FaultTable::runTransfer()
{
    const Row& r = GetParam();
    addTarget(0);
    const int sentBefore = sim.requestCount('d');
    inject('d', 2, 2, QByteArray("d\x03\x00", 3));
    const QByteArray text = programOf(2000);
    failingCall([&] { return uploadFile(2, 1, "O71", text.constData(), kCnc); },
                [&] { return sim.requestCount('d', 2) == 2; }, r.bound);
    const QByteArray held = sim.programText(1, "O71");
    if (r.sent != kNone) {
        EXPECT_EQ(sim.requestCount('d') - sentBefore, r.sent) << "nothing after the failed request";
    }
    if (r.held == kFirstPart) {
        EXPECT_TRUE(text.startsWith(held) && held.size() < text.size()) << held.size();
        EXPECT_EQ(sim.requestCount('d', 4), 0) << "no file end after a failed block";
    } else if (r.held != kNone) {
        EXPECT_EQ(held.size(), r.held);
    }
    expectReport(1);
    EXPECT_TRUE(r.next != 0 || append(text.constData(), 1, kCnc) == 12) << "declare again: the link was renewed";
    const QByteArray again = programOf(1307);
    EXPECT_EQ(uploadFile(2, 1, "O72", again.constData(), kCnc), r.next);
    EXPECT_EQ(sim.programText(1, "O72") == again, r.next == 0);
    if (r.fault == Restart) {
        ASSERT_TRUE(connect(kCnc));
        EXPECT_EQ(append(text.constData(), 1, kCnc), 1) << "a declaration does not outlive its connection";
        EXPECT_EQ(uploadFile(2, 1, "O71", text.constData(), kCnc), 0);
        EXPECT_EQ(sim.programText(1, "O71"), text);
    }
}

// A DNC stream of ten pieces whose third meets the fault (the declaration for DropAfter).
void FaultTable::runBuffer()
{
    const Row& r = GetParam();
    inject('d', 2, 3, QByteArray("d\x03\x00", 3));
    buffer = bufOpen(ip.constData(), 1, 1);
    ASSERT_NE(buffer, nullptr);
    if (r.fault != DropAfter) {
        ASSERT_TRUE(waitUntil([&] { return getBufState(buffer) == 5; }, 3000)) << getBufState(buffer);
    }
    const QByteArray text = programOf(10 * kPiece);
    if (r.fault == DropBefore) {
        sim.dropConnections();
    } else if (r.fault != DropAfter) {
        ASSERT_EQ(bufWrite(buffer, text.constData()), 1);
    }
    ASSERT_TRUE(waitUntil([&] { return sim.requestCount('d', 2) >= (r.fault == Restart ? 3 : std::min(r.sent, 3)); }, 2000));
    if (r.fault == Restart)
        sim.stop();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return getBufState(buffer) == r.result && std::string(getBufStateInf(buffer)) == r.text; }, 2000))
        << getBufState(buffer) << " " << getBufStateInf(buffer);
    if (r.bound != Paced) {
        EXPECT_GE(clock.elapsed(), minMs(r.bound));
        EXPECT_LE(clock.elapsed(), maxMs(r.bound));
    }
    EXPECT_EQ(bufWrite(buffer, "G01"), r.next);
    EXPECT_EQ(getBufValidCnt(buffer), 0) << "the unsent pieces are not counted as gone";
    // A stopped stream sends nothing more; a refused or busy one asks again, paced: at most once
    // per pause and at least a few times in twenty.
    const uint8_t sub = r.fault == BusyForEver ? 5 : 2;
    const int first = sim.requestCount('d', sub);
    const int window = r.bound == Paced ? 20 * CommTiming::now().bufferResendPauseMs : 4 * bufferMs();
    EXPECT_FALSE(waitUntil([&] { return sim.requestCount('d', sub) > first + (r.bound == Paced ? 21 : 0); }, window));
    if (r.bound == Paced) {
        EXPECT_GE(sim.requestCount('d', sub) - first, 3) << "it keeps asking";
        EXPECT_EQ(getBufState(buffer), r.result);
    }
    if (r.sent != kNone) {
        EXPECT_EQ(sim.requestCount('d', 2), r.sent);
    }
    for (const QByteArray& piece : blockTexts(sim, 2)) {
        EXPECT_TRUE(r.fault != Refused || piece == text.left(kPiece)) << "only the refused piece, as it was";
    }
    if (r.held != kNone) {
        EXPECT_EQ(sim.programText(1, "DNC"), text.left(r.held * kPiece));
    }
    if (r.fault == Restart) {
        ASSERT_TRUE(sim.start(QString::fromLatin1(ip)));
        EXPECT_FALSE(waitUntil([&] { return sim.connectionCount() != 0; }, 4 * bufferMs())) << "no reconnection of its own";
        closeTimed();
        buffer = bufOpen(ip.constData(), 1, 1);
        ASSERT_TRUE(waitUntil([&] { return bufWrite(buffer, text.constData()) == 1; }, 3000));
        EXPECT_TRUE(waitUntil([&] { return getBufState(buffer) == 5 && sim.programText(1, "DNC") == text; }, 5000))
            << "a new buffer streams whole to the restarted controller";
    }
}

// A registered variable, read by the poll; every poll from then on meets the fault until the
// controller mends: the value read before is not given as read meanwhile.
void FaultTable::runPoll()
{
    const Row& r = GetParam();
    addTarget(1);
    CncLong address = 1001400, value = -1;
    sim.setVariable(address, 14000);
    ASSERT_EQ(registerVars(&address, 1, kCnc), 0);
    ASSERT_TRUE(waitUntil([&] { return readVars(&address, 1, &value, kCnc) == 0 && value == 14000; }, 2000));
    inject('B', -1, 1, QByteArray("r\x01\x00", 3));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(waitUntil([&] { return readVars(&address, 1, &value, kCnc) == r.result; }, maxMs(r.bound)));
    EXPECT_GE(clock.elapsed(), minMs(r.bound));
    EXPECT_EQ(value, 14000) << "values untouched";
    sim.clearScripts();
    sim.setVariable(address, 14001);
    EXPECT_TRUE(waitUntil([&] { return readVars(&address, 1, &value, kCnc) == r.next && value == 14001; }, maxMs(r.bound)));
}

TEST_P(FaultTable, Row)
{
    const Row& r = GetParam();
    RecordProperty("cell", std::string(kFaultNames[r.fault]) + " | " + kModeNames[r.mode] + " | result " +
                               std::to_string(r.result) + (r.mode == Buffer ? std::string(" \"") + r.text + "\"" : "") +
                               ", sent " + std::to_string(r.sent) + ", held " + std::to_string(r.held) + ", next " +
                               std::to_string(r.next));
    switch (r.mode) {
    case Sync: return runSync();
    case Async: return runAsync();
    case Transfer: return runTransfer();
    case Buffer: return runBuffer();
    case Polled: return runPoll();
    }
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultTable, ::testing::ValuesIn(kRows), rowName);

// ---- A reply late, or behind a stray frame. For the kinds the client cannot use (and LateReply,
// where nothing comes in time), the controller holds the real reply back and sends it just ahead
// of the next request's own (one reply behind); another kind of reply is followed by the real
// one at once, in the same write for OtherKindSameRead. The second call gets its own answer.
enum StrayCall { SyncRead, BitRead, SyncWrite, Poll };
enum StrayKind { LateReply, UnknownCode, ErrorReply, FieldsMissing, BrokenLength, OtherKind, OtherKindSameRead };
const char* const kCallNames[] = {"SyncRead", "BitRead", "SyncWrite", "Poll"};
const char* const kStrayNames[] = {"Late", "UnknownCode", "ErrorReply", "FieldsMissing", "BrokenLength", "OtherKind", "OtherKindSameRead"};

struct StrayRow
{
    StrayCall call;
    StrayKind kind;
    bool firstAnswered; // the call that meets the stray frame still gets its own reply
};

const StrayRow kStrayRows[] = {
    {SyncRead, LateReply, false}, {SyncRead, UnknownCode, false}, {SyncRead, ErrorReply, false},
    {SyncRead, FieldsMissing, false}, {SyncRead, BrokenLength, false}, {SyncRead, OtherKind, true},
    {SyncRead, OtherKindSameRead, true}, {BitRead, LateReply, false}, {BitRead, UnknownCode, false},
    {BitRead, ErrorReply, false}, {BitRead, FieldsMissing, false}, {BitRead, OtherKind, true},
    {SyncWrite, LateReply, false}, {SyncWrite, UnknownCode, false}, {SyncWrite, ErrorReply, false},
    {SyncWrite, OtherKind, true}, {Poll, LateReply, false}, {Poll, UnknownCode, false}, {Poll, ErrorReply, false},
    {Poll, FieldsMissing, false},
};

QByteArray strayFrame(StrayKind kind, uint8_t code, const QByteArray& ownPdu)
{
    switch (kind) {
    case LateReply: return QByteArray();
    case UnknownCode: return tcpFrame(QByteArray("\x5A\x01\x02", 3));
    case ErrorReply: return tcpFrame(QByteArray(1, char(code | 0x80)));
    case FieldsMissing: return tcpFrame(ownPdu.left(ownPdu.size() - 4)); // its last value cut off
    case BrokenLength: return QByteArray("\0\0\0\0\xFF\x0F\0", 7) + ownPdu; // longer than any buffer
    default: return tcpFrame(QByteArray("p\x01", 2)); // a watchdog's reply
    }
}

class StrayFrameTable : public ::testing::TestWithParam<StrayRow>
{
protected:
    void SetUp() override { ASSERT_TRUE(sim.start()); }
    void TearDown() override { removeTargetCnc(kCnc); }

    // registered: what to do before connecting.
    void connectTarget(int asyncMask, const std::function<void()>& registered = [] {})
    {
        ASSERT_TRUE(addTargetCnc(kCnc, 1, sim.address().toLatin1().constData(), asyncMask));
        registered();
        ASSERT_TRUE(connect(kCnc));
        ASSERT_TRUE(waitUntil([&] { return sim.requestCount('D') == kConnections; }, 2000)) << "each client's link marker";
    }

    // The first request of this code and sub-code meets the row's stray frame; ownPdu: its reply.
    void scriptStray(uint8_t code, int sub, const QByteArray& ownPdu)
    {
        const StrayRow& r = GetParam();
        ReplyScript s = scriptOf(ReplyScript::Before, 0, r.firstAnswered ? 0 : -1, 1);
        s.raw = strayFrame(r.kind, code, ownPdu);
        sim.scriptReply(code, sub, r.kind == OtherKindSameRead ? rawReply(s.raw + tcpFrame(ownPdu)) : s);
    }

    // Each call reads the value at its address; the values they must find.
    void twoReads(const std::function<CncLong(CncLong*)>& first, CncLong firstValue,
                  const std::function<CncLong(CncLong*)>& second, CncLong secondValue)
    {
        CncLong value = -1;
        const CncLong result = first(&value);
        EXPECT_TRUE(GetParam().firstAnswered ? result == 0 && value == firstValue : result != 0) << result << " " << value;
        EXPECT_EQ(second(&value), 0);
        EXPECT_EQ(value, secondValue) << "its own value, not the first call's";
    }

    void runPoll();

    ScaledWaits waits{kTestWaitScale};
    SimulatedController sim;
};

// Two poll requests of 62 addresses: the first meets the stray frame, the second is answered,
// no later one is.
void StrayFrameTable::runPoll()
{
    constexpr int kChunk = 62;
    std::vector<CncLong> addresses(2 * kChunk), values(2 * kChunk, -1);
    for (int i = 0; i < 2 * kChunk; ++i)
        sim.setVariable(addresses[i] = 1000300 + i, i);
    sim.scriptReply('B', -1, scriptOf(ReplyScript::Silence, 0, 0, -1));
    sim.scriptReply('B', -1, scriptOf(ReplyScript::Status, 0, 0, 1));
    scriptStray('B', -1, QByteArray("B\x01", 2) + le32(0));
    connectTarget(1, [&] { ASSERT_EQ(registerVars(addresses.data(), 2 * kChunk, kCnc), 0); });
    const auto read = [&](int batch) { return readVars(&addresses[batch * kChunk], kChunk, &values[batch * kChunk], kCnc) == 0; };
    ASSERT_TRUE(waitUntil([&] { return read(0) || read(1); }, 3000)) << "a poll was answered";
    for (int i = 0; i < 2 * kChunk; ++i)
        ASSERT_TRUE(!read(i / kChunk) || values[i] == i) << "address " << addresses[i] << " holds another's value";
}

std::string strayRowName(const ::testing::TestParamInfo<StrayRow>& info)
{
    return std::string(kCallNames[info.param.call]) + kStrayNames[info.param.kind];
}

TEST_P(StrayFrameTable, Row)
{
    const StrayRow& r = GetParam();
    if (r.call == Poll)
        return runPoll();
    connectTarget(0);
    CncLong first = 1000111, second = 1000222, value = 5;
    sim.setVariable(first, 111);
    sim.setVariable(second, 222);
    if (r.call == SyncRead) {
        scriptStray('B', -1, QByteArray("B\x01", 2) + le32(111));
        twoReads([&](CncLong* v) { return readVars(&first, 1, v, kCnc); }, 111, [&](CncLong* v) { return readVars(&second, 1, v, kCnc); }, 222);
    } else if (r.call == BitRead) {
        ASSERT_EQ(setPlcOBit(1, 5, 1, kCnc), 0); // output bit 5 is 1, bit 6 is 0
        scriptStray('u', 1, QByteArray("u\x01\x00", 3) + le32(1));
        twoReads([](CncLong* v) { return getOBit(1, 5, v, kCnc); }, 1, [](CncLong* v) { return getOBit(1, 6, v, kCnc); }, 0);
    } else { // the second write's own reply refuses it: the first's acknowledgement must not stand for it
        sim.scriptReply('D', -1, rawReply(tcpFrame(QByteArray("\xC4", 1))));
        scriptStray('D', -1, QByteArray("D", 1));
        EXPECT_EQ(writeVars(&first, 1, &value, kCnc) == 0, r.firstAnswered);
        EXPECT_NE(writeVars(&second, 1, &value, kCnc), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Strays, StrayFrameTable, ::testing::ValuesIn(kStrayRows), strayRowName);

// Every poll's reply is broken, so the worker renews its connection before each request while
// the application keeps reading: a renewal on one thread is no lost link to the other.
TEST(AsyncLinkLook, RenewalOnTheWorkerIsNoLostLinkToTheApplication)
{
    SimulatedController sim;
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(addTargetCnc(kCnc, 1, sim.address().toLatin1().constData(), 1));
    CncLong addresses[] = {1001500, 1001501, 1001502};
    ASSERT_EQ(registerVars(addresses, 3, kCnc), 0);
    QByteArray broken = tcpFrame(QByteArray("B\x03", 2));
    broken[4] = broken[5] = char(0xFF);
    sim.scriptReply('B', -1, rawReply(broken, -1));
    ASSERT_TRUE(connect(kCnc));
    CncLong values[3] = {};
    int reads = 0;
    while (sim.requestCount('B') < 30 && reads < 1000000 && readVars(addresses, 3, values, kCnc) != 7)
        ++reads;
    EXPECT_GE(sim.requestCount('B'), 30) << "no read got 7 (" << reads << " reads); the worker kept polling";
    removeTargetCnc(kCnc);
}

} // namespace
