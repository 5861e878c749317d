// The fault matrix of the command client, synchronous and asynchronous, and of the program text
// transfer: a controller that drops the connection at each phase of a command, answers late, in
// half, with the wrong kind of reply, refuses for ever or restarts in the middle. Each cell checks
// the documented result, the time it took, that the threads and descriptors come back, and that
// nothing was reported as written that the simulator did not receive.
//
// The cells that wait out the three reply waits run as FaultMatrixSlow; the waits run at a
// quarter of their length here (FaultSupport), so the bounds below follow CommTiming.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "FaultSupport.h"
#include "TransferTestSupport.h"

#include <future>
#include <thread>

namespace {

class FaultMatrix : public ClientFixture
{
    ScaledWaits waits{kTestWaitScale};
};
using FaultMatrixSlow = FaultMatrix;

const char* const kSync = "command, sync";
const char* const kAsync = "command, async";
const char* const kTransfer = "text transfer";

// A wait that failed costs the three reply waits, and the next use a fresh connection.
int replyBudgetMs() { return CommTiming::now().commandReplyBudgetMs; }
constexpr int kBudgetSlackMs = 900;
int lateMs() { return replyBudgetMs() + 150; }
// A link that closes is seen at once, not after a wait.
constexpr int kAtOnceMs = 600;

// 40 pairs: the library writes them in two requests, 31 pairs and 9.
struct Batch
{
    std::vector<int32_t> addresses, values;
    int size() const { return int(addresses.size()); }
};

Batch batchOf(int count, int32_t firstAddress, int32_t firstValue)
{
    Batch b;
    for (int i = 0; i < count; ++i) {
        b.addresses.push_back(firstAddress + i);
        b.values.push_back(firstValue + i);
    }
    return b;
}

// Pairs of the batch that the controller holds, from the start of the batch on.
int heldPrefix(SimulatedController& sim, const Batch& b)
{
    int n = 0;
    while (n < b.size() && sim.variable(b.addresses[size_t(n)]) == b.values[size_t(n)])
        ++n;
    return n;
}

int32_t write(AsynchronousClient& client, const Batch& b)
{
    return client.writeVars(b.addresses.data(), b.size(), b.values.data());
}

// The second of the batch's two write requests meets the fault; the first is answered.
void faultOnSecondWrite(SimulatedController& sim, const ReplyScript& fault)
{
    sim.scriptReply('D', -1, fault);
    sim.scriptReply('D', -1, scriptOf(ReplyScript::Status, 0, 0, 1));
}

std::string resultText(int32_t result, qint64 ms)
{
    return "result " + std::to_string(result) + " after " + std::to_string(ms) + " ms";
}

// ---- command, synchronous: a write of 40 pairs whose second request meets the fault ----

// The controller closed the link while the client was idle: nothing goes out.
TEST_F(FaultMatrix, SyncDropBeforeTheRequest)
{
    FaultCell cell("drop before the request", kSync);
    connectClient(1);
    const int before = sim->requestCount('D');
    sim->dropConnections();
    const Batch b = batchOf(40, 1000500, 5000);
    Stopwatch clock;
    EXPECT_EQ(write(*client, b), ResultCode::NotConnected);
    EXPECT_LT(clock.ms(), kAtOnceMs);
    cell.outcome(resultText(ResultCode::NotConnected, clock.ms()) + ", nothing sent");
    EXPECT_EQ(sim->requestCount('D'), before);
    EXPECT_EQ(heldPrefix(*sim, b), 0);
    client.reset();
    cell.done();
}

// Each case: the fault on the second request, the result, and how long it may take.
struct SyncCase
{
    const char* fault;
    ReplyScript script;
    int32_t result;
    int minMs, maxMs;
    bool linkStaysUp; // otherwise the next command finds no link
};

void runSyncWriteCell(std::unique_ptr<SimulatedController>& sim, std::unique_ptr<AsynchronousClient>& client,
                      const SyncCase& c)
{
    FaultCell cell(c.fault, kSync);
    client.reset(new AsynchronousClient);
    client->errCallback = &recordError;
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    const Batch b = batchOf(40, 1000600, 6000);
    faultOnSecondWrite(*sim, c.script);
    clearReportedError();
    Stopwatch clock;
    const int32_t result = write(*client, b);
    const qint64 ms = clock.ms();
    EXPECT_EQ(result, c.result);
    EXPECT_GE(ms, c.minMs);
    EXPECT_LE(ms, c.maxMs);
    // The first request was answered: its 31 pairs are held. The second one's fate is not
    // reported as success, whatever the controller did with it.
    EXPECT_GE(heldPrefix(*sim, b), 31);
    EXPECT_EQ(sim->requestCount('D'), 1 + 2) << "the link marker and the batch's two requests, none again";
    EXPECT_EQ(reportedError().calls, 0) << "no reply, no report";
    const Batch next = batchOf(5, 1000700, 7000);
    const int32_t after = write(*client, next);
    if (c.linkStaysUp) {
        EXPECT_EQ(after, ResultCode::Success) << "the next command runs on a fresh connection";
        EXPECT_EQ(heldPrefix(*sim, next), 5);
    } else {
        EXPECT_EQ(after, ResultCode::NotConnected) << "a link the controller closed is down at once";
        EXPECT_EQ(heldPrefix(*sim, next), 0);
    }
    cell.outcome(resultText(result, ms) + ", first request's 31 pairs held, next command " + std::to_string(after));
    client.reset();
    EXPECT_TRUE(waitUntil([&] { return sim->connectionCount() == 0; }, 2000)) << "every connection closed";
    cell.done();
}

TEST_F(FaultMatrix, SyncDropAfterTheRequest)
{
    runSyncWriteCell(sim, client,
                     {"drop after the request", scriptOf(ReplyScript::Close, 0, 0, 1), ResultCode::NoValidReply, 0,
                      kAtOnceMs, false});
}

TEST_F(FaultMatrix, SyncDropMidReply)
{
    runSyncWriteCell(sim, client,
                     {"drop mid-reply", scriptOf(ReplyScript::CloseMidReply, 0, 0, 1), ResultCode::NoValidReply, 0,
                      kAtOnceMs, false});
}

TEST_F(FaultMatrixSlow, SyncReplyLaterThanTheWaits)
{
    runSyncWriteCell(sim, client,
                     {"reply later than the wait", scriptOf(ReplyScript::Delay, 0, lateMs(), 1),
                      ResultCode::NoValidReply, replyBudgetMs() - 50, replyBudgetMs() + kBudgetSlackMs, true});
}

TEST_F(FaultMatrixSlow, SyncTruncatedReply)
{
    runSyncWriteCell(sim, client,
                     {"truncated reply", scriptOf(ReplyScript::Truncate, 0, 0, 1), ResultCode::NoValidReply,
                      replyBudgetMs() - 50, replyBudgetMs() + kBudgetSlackMs, true});
}

TEST_F(FaultMatrixSlow, SyncReplyOfAnotherKind)
{
    runSyncWriteCell(sim, client,
                     {"reply of another kind", rawReply(tcpFrame(QByteArray("r\x01\x00", 3))), ResultCode::NoValidReply,
                      replyBudgetMs() - 50, replyBudgetMs() + kBudgetSlackMs, true});
}

// Refused for ever: an error reply to every write. Each call ends at its first request, with 111
// (an error reply is no valid reply) and a report; nothing is stored.
TEST_F(FaultMatrix, SyncRefusedForEver)
{
    FaultCell cell("refused for ever", kSync);
    connectClient(1);
    client->errCallback = &recordError;
    sim->scriptReply('D', -1, rawReply(tcpFrame(QByteArray("\xC4", 1)), -1));
    const Batch b = batchOf(40, 1000900, 9000);
    for (int i = 0; i < 3; ++i) {
        clearReportedError();
        const int before = sim->requestCount('D');
        Stopwatch clock;
        EXPECT_EQ(write(*client, b), ResultCode::NoValidReply);
        EXPECT_LT(clock.ms(), kAtOnceMs);
        EXPECT_EQ(sim->requestCount('D'), before + 1) << "nothing after the refused request";
        const ReportedError r = reportedError();
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(r.errorCmd, ErrorCmd::VariableWrite);
        EXPECT_EQ(r.cmdState, 1);
    }
    EXPECT_EQ(heldPrefix(*sim, b), 0);
    cell.outcome("every call 111 at its first request, reported (errorCmd 6, state 1), nothing stored");
    client.reset();
    cell.done();
}

// The controller restarts while the second request waits for its reply.
TEST_F(FaultMatrix, SyncControllerRestartsMidCommand)
{
    FaultCell cell("controller restarts mid-session", kSync);
    ASSERT_TRUE(startRestartable(*sim));
    connectClient(1);
    const QString address = sim->address();
    sim->scriptReply('D', -1, scriptOf(ReplyScript::Delay, 0, 1000, 1));
    sim->scriptReply('D', -1, scriptOf(ReplyScript::Status, 0, 0, 1));
    const Batch b = batchOf(40, 1001000, 10000);
    auto running = std::async(std::launch::async, [&] { return write(*client, b); });
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') == 3; }, 2000));
    Stopwatch clock;
    sim->stop();
    const int32_t result = running.get();
    EXPECT_EQ(result, ResultCode::NoValidReply);
    EXPECT_LT(clock.ms(), kAtOnceMs) << "the closed link ends the wait";
    ASSERT_TRUE(sim->start(address));
    EXPECT_EQ(write(*client, b), ResultCode::NotConnected);
    ASSERT_TRUE(client->tcpConnect(address.toLatin1()));
    EXPECT_EQ(write(*client, b), ResultCode::Success);
    EXPECT_EQ(heldPrefix(*sim, b), 40);
    cell.outcome(resultText(result, clock.ms()) + " after the stop, 7 until connect, then 0 and all 40 pairs held");
    client.reset();
    cell.done();
}

// ---- command, asynchronous: one queued write meets the fault ----

// Waits until the worker has sent the link marker and has nothing left to do.
void connectAsync(std::unique_ptr<SimulatedController>& sim, std::unique_ptr<AsynchronousClient>& client)
{
    client.reset(new AsynchronousClient);
    client->setSyncMode(0);
    client->errCallback = &recordError;
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    ASSERT_TRUE(waitUntil([&] { return sim->variable(1110037) == 1; }, 2000));
    ASSERT_TRUE(waitUntil([&] { return client->sendState == 1; }, 2000));
}

int framesCarrying(SimulatedController& sim, int32_t address, int32_t value)
{
    int n = 0;
    for (const QByteArray& f : framesWithCode(sim, 'D'))
        for (int at = 9; at + 8 <= f.size(); at += 8)
            n += f.mid(at, 8) == QByteArray(reinterpret_cast<const char*>(&address), 4) +
                                     QByteArray(reinterpret_cast<const char*>(&value), 4);
    return n;
}

// The link went while the worker slept: the command must not be taken as queued for a link that
// is gone, where it would be dropped without a word.
TEST_F(FaultMatrix, AsyncDropBeforeTheRequest)
{
    FaultCell cell("drop before the request", kAsync);
    connectAsync(sim, client);
    sim->dropConnections();
    ASSERT_TRUE(waitUntil([&] { return sim->connectionCount() == 0; }, 2000));
    EXPECT_FALSE(client->getTcpConnectFlag()) << "the link is down as soon as the controller closed it";
    const Batch one = batchOf(1, 1001100, 11000);
    Stopwatch clock;
    const int32_t result = write(*client, one);
    EXPECT_EQ(result, ResultCode::NotConnected);
    EXPECT_LT(clock.ms(), kAtOnceMs);
    EXPECT_TRUE(waitUntil([&] { return !client->isRunning(); }, 1000)) << "the worker ends with its link";
    EXPECT_EQ(framesCarrying(*sim, one.addresses[0], one.values[0]), 0);
    cell.outcome(resultText(result, clock.ms()) + ", worker ended, nothing sent");
    client.reset();
    cell.done();
}

struct AsyncCase
{
    const char* fault;
    ReplyScript script;
    bool linkStaysUp;
    int settleMs; // how long the worker may take to give the request up
};

void runAsyncWriteCell(std::unique_ptr<SimulatedController>& sim, std::unique_ptr<AsynchronousClient>& client,
                       const AsyncCase& c)
{
    FaultCell cell(c.fault, kAsync);
    connectAsync(sim, client);
    sim->scriptReply('D', -1, c.script);
    clearReportedError();
    const Batch one = batchOf(1, 1001200, 12000);
    EXPECT_EQ(write(*client, one), ResultCode::Success) << "queued";
    ASSERT_TRUE(waitUntil([&] { return framesCarrying(*sim, one.addresses[0], one.values[0]) == 1; }, 1000));
    Stopwatch clock;
    std::string outcome = "queued (0)";
    if (c.linkStaysUp) {
        EXPECT_TRUE(waitUntil([&] { return client->sendState == 1; }, c.settleMs)) << "the worker gave the wait up";
        EXPECT_TRUE(client->isRunning());
        const Batch next = batchOf(1, 1001300, 13000);
        EXPECT_EQ(write(*client, next), ResultCode::Success);
        EXPECT_TRUE(waitUntil([&] { return sim->variable(next.addresses[0]) == next.values[0]; }, 3000))
            << "the next command goes out on a fresh connection";
        EXPECT_TRUE(waitUntil([&] { return sim->connectionCount() == 1; }, 2000)) << "the old connection closed";
        outcome += ", worker gave up after " + std::to_string(clock.ms()) + " ms and goes on";
    } else {
        EXPECT_TRUE(waitUntil([&] { return !client->isRunning(); }, c.settleMs)) << "the worker ends with its link";
        EXPECT_EQ(write(*client, one), ResultCode::NotConnected);
        outcome += ", worker ended after " + std::to_string(clock.ms()) + " ms, then 7";
    }
    EXPECT_EQ(framesCarrying(*sim, one.addresses[0], one.values[0]), 1) << "never sent twice";
    EXPECT_EQ(reportedError().calls, 0) << "no reply, no report";
    cell.outcome(outcome);
    client.reset();
    cell.done();
}

TEST_F(FaultMatrix, AsyncDropAfterTheRequest)
{
    runAsyncWriteCell(sim, client,
                      {"drop after the request", scriptOf(ReplyScript::Close, 0, 0, 1), false, kAtOnceMs});
}

TEST_F(FaultMatrix, AsyncDropMidReply)
{
    runAsyncWriteCell(sim, client,
                      {"drop mid-reply", scriptOf(ReplyScript::CloseMidReply, 0, 0, 1), false, kAtOnceMs});
}

TEST_F(FaultMatrixSlow, AsyncReplyLaterThanTheWaits)
{
    runAsyncWriteCell(sim, client,
                      {"reply later than the wait", scriptOf(ReplyScript::Delay, 0, lateMs(), 1), true,
                       replyBudgetMs() + kBudgetSlackMs});
}

TEST_F(FaultMatrixSlow, AsyncTruncatedReply)
{
    runAsyncWriteCell(sim, client,
                      {"truncated reply", scriptOf(ReplyScript::Truncate, 0, 0, 1), true, replyBudgetMs() + kBudgetSlackMs});
}

TEST_F(FaultMatrixSlow, AsyncReplyOfAnotherKind)
{
    runAsyncWriteCell(sim, client,
                      {"reply of another kind", rawReply(tcpFrame(QByteArray("r\x01\x00", 3))), true,
                       replyBudgetMs() + kBudgetSlackMs});
}

// Refused for ever: every queued write is reported through the callback, and none is stored.
TEST_F(FaultMatrix, AsyncRefusedForEver)
{
    FaultCell cell("refused for ever", kAsync);
    connectAsync(sim, client);
    sim->scriptReply('D', -1, rawReply(tcpFrame(QByteArray("\xC4", 1)), -1));
    clearReportedError();
    for (int i = 0; i < 3; ++i) {
        const Batch one = batchOf(1, 1001400 + i, 14000 + i);
        EXPECT_EQ(write(*client, one), ResultCode::Success);
        EXPECT_TRUE(waitUntil([&] { return reportedError().calls == i + 1; }, 1000)) << i;
        EXPECT_EQ(sim->variable(one.addresses[0]), 0);
    }
    const ReportedError r = reportedError();
    EXPECT_EQ(r.errorCmd, ErrorCmd::VariableWrite);
    EXPECT_EQ(r.cmdState, 1);
    EXPECT_EQ(sim->requestCount('D'), 1 + 3) << "each refused write sent once";
    EXPECT_TRUE(client->isRunning());
    cell.outcome("each queued write reported once (errorCmd 6, state 1), none stored, worker goes on");
    client.reset();
    cell.done();
}

// ---- program text transfer: an upload of 2000 bytes whose second append block meets the fault ----

constexpr int kProgramBytes = 2000; // overwrite 400, appends 400 x 4, an empty append, the file end

void faultOnSecondAppend(SimulatedController& sim, const ReplyScript& fault)
{
    sim.scriptReply('d', 2, fault);
    sim.scriptReply('d', 2, scriptOf(ReplyScript::Status, 0, 0, 1));
}

// The controller's copy is some first part of the text, and no file end was sent.
void expectPrefixAndNoEnd(SimulatedController& sim, int32_t channel, const char* name, const QByteArray& text)
{
    const QByteArray held = sim.programText(channel, name);
    EXPECT_TRUE(text.startsWith(held)) << "held " << held.size() << " bytes that are not the text's start";
    EXPECT_LT(held.size(), text.size());
    EXPECT_EQ(sim.requestCount('d', 4), 0) << "no file end after a failed block";
}

TEST_F(FaultMatrix, TransferDropBeforeTheRequest)
{
    FaultCell cell("drop before the request", kTransfer);
    connectClient(1);
    ASSERT_EQ(client->setTransFileType(2, 1, "O71", false), 0);
    sim->dropConnections();
    const QByteArray text = programOf(kProgramBytes);
    const int before = sim->receivedFrames().size();
    Stopwatch clock;
    EXPECT_EQ(client->overwrite(text.constData()), ResultCode::NotConnected);
    EXPECT_LT(clock.ms(), kAtOnceMs);
    EXPECT_EQ(sim->receivedFrames().size(), before) << "nothing sent";
    EXPECT_EQ(sim->programText(1, "O71"), QByteArray(""));
    cell.outcome(resultText(ResultCode::NotConnected, clock.ms()) + " from the overwrite after the declaration, nothing sent");
    client.reset();
    cell.done();
}

struct TransferCase
{
    const char* fault;
    ReplyScript script;
    int32_t result;
    int maxMs;
    bool linkStaysUp;
};

void runTransferCell(std::unique_ptr<SimulatedController>& sim, std::unique_ptr<AsynchronousClient>& client,
                     const TransferCase& c, const char* name)
{
    FaultCell cell(c.fault, kTransfer);
    client.reset(new AsynchronousClient);
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    const QByteArray text = programOf(kProgramBytes);
    faultOnSecondAppend(*sim, c.script);
    Stopwatch clock;
    const int32_t result = client->uploadFile(2, 1, name, text.constData());
    const qint64 ms = clock.ms();
    EXPECT_EQ(result, c.result);
    EXPECT_LE(ms, c.maxMs);
    EXPECT_EQ(sim->requestCount('d', 2), 2) << "no block after the one that failed";
    expectPrefixAndNoEnd(*sim, 1, name, text);
    std::string outcome = resultText(result, ms) + ", controller holds " +
                          std::to_string(sim->programText(1, name).size()) + " of " + std::to_string(text.size()) +
                          " bytes (a first part), no file end";
    if (c.linkStaysUp) {
        const QByteArray again = programOf(kProgramBytes + 7);
        EXPECT_EQ(client->uploadFile(2, 1, "O79", again.constData()), ResultCode::Success);
        EXPECT_EQ(sim->programText(1, "O79"), again) << "the next upload arrives whole";
        outcome += "; next upload whole";
    } else {
        EXPECT_EQ(client->uploadFile(2, 1, "O79", text.constData()), ResultCode::NotConnected);
        outcome += "; then 7";
    }
    cell.outcome(outcome);
    client.reset();
    cell.done();
}

TEST_F(FaultMatrix, TransferDropAfterTheRequest)
{
    runTransferCell(sim, client,
                    {"drop after the request", scriptOf(ReplyScript::Close, 0, 0, 1), ResultCode::NoValidReply, kAtOnceMs,
                     false},
                    "O72");
}

TEST_F(FaultMatrix, TransferDropMidReply)
{
    runTransferCell(sim, client,
                    {"drop mid-reply", scriptOf(ReplyScript::CloseMidReply, 0, 0, 1), ResultCode::NoValidReply,
                     kAtOnceMs, false},
                    "O73");
}

TEST_F(FaultMatrixSlow, TransferReplyLaterThanTheWaits)
{
    runTransferCell(sim, client,
                    {"reply later than the wait", scriptOf(ReplyScript::Delay, 0, lateMs(), 1),
                     ResultCode::NoValidReply, replyBudgetMs() + kBudgetSlackMs, true},
                    "O74");
}

TEST_F(FaultMatrixSlow, TransferTruncatedReply)
{
    runTransferCell(sim, client,
                    {"truncated reply", scriptOf(ReplyScript::Truncate, 0, 0, 1), ResultCode::NoValidReply,
                     replyBudgetMs() + kBudgetSlackMs, true},
                    "O75");
}

// An overwrite reply to an append block is not its answer, even though it says "stored".
TEST_F(FaultMatrixSlow, TransferReplyOfAnotherKind)
{
    runTransferCell(sim, client,
                    {"reply of another kind", rawReply(tcpFrame(QByteArray("d\x03\x00", 3))), ResultCode::NoValidReply,
                     replyBudgetMs() + kBudgetSlackMs, true},
                    "O76");
}

// Every request late: the upload ends at its declaration, and sends nothing else.
TEST_F(FaultMatrixSlow, TransferEveryRequestLate)
{
    FaultCell cell("every request late", kTransfer);
    connectClient(1);
    sim->scriptReply('d', -1, scriptOf(ReplyScript::Delay, 0, lateMs(), -1));
    Stopwatch clock;
    EXPECT_EQ(client->uploadFile(2, 1, "O77", programOf(kProgramBytes).constData()), ResultCode::NoValidReply);
    const qint64 ms = clock.ms();
    EXPECT_LE(ms, replyBudgetMs() + kBudgetSlackMs);
    EXPECT_EQ(transferShapes(*sim), std::vector<std::string>({"d1 1 3 O77"})) << "the declaration alone";
    cell.outcome(resultText(ResultCode::NoValidReply, ms) + " at the declaration, nothing else sent");
    client.reset();
    cell.done();
}

// A first block refused for ever (memory full): the upload ends with 103 at that block.
TEST_F(FaultMatrix, TransferRefusedForEver)
{
    FaultCell cell("refused for ever", kTransfer);
    connectClient(1);
    client->errCallback = &recordError;
    sim->scriptReply('d', 3, scriptOf(ReplyScript::Status, 3, 0, -1));
    clearReportedError();
    Stopwatch clock;
    EXPECT_EQ(client->uploadFile(2, 1, "O78", programOf(kProgramBytes).constData()), ResultCode::MemoryFullOrNoFile);
    EXPECT_LT(clock.ms(), kAtOnceMs);
    EXPECT_EQ(transferShapes(*sim), std::vector<std::string>({"d1 1 3 O78", "d3 400"}));
    EXPECT_EQ(sim->programText(1, "O78"), QByteArray(""));
    EXPECT_EQ(reportedError().errorCmd, ErrorCmd::Overwrite);
    cell.outcome(resultText(ResultCode::MemoryFullOrNoFile, clock.ms()) +
                 " at the first block, reported (errorCmd 2, state 3), nothing stored, nothing after it "
                 "(a full append block refused for ever: 5 after 20 resends, TransferResendTest)");
    client.reset();
    cell.done();
}

// The controller restarts while an append block waits for its reply; after connecting again the
// same upload arrives whole on the restarted controller.
TEST_F(FaultMatrix, TransferControllerRestartsMidUpload)
{
    FaultCell cell("controller restarts mid-session", kTransfer);
    ASSERT_TRUE(startRestartable(*sim));
    connectClient(1);
    const QString address = sim->address();
    faultOnSecondAppend(*sim, scriptOf(ReplyScript::Delay, 0, 1000, 1));
    const QByteArray text = programOf(kProgramBytes);
    auto running = std::async(std::launch::async, [&] { return client->uploadFile(2, 1, "O80", text.constData()); });
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 2) == 2; }, 2000));
    Stopwatch clock;
    sim->stop();
    const int32_t result = running.get();
    EXPECT_EQ(result, ResultCode::NoValidReply);
    EXPECT_LT(clock.ms(), kAtOnceMs);
    ASSERT_TRUE(sim->start(address));
    EXPECT_EQ(client->append(text.constData()), ResultCode::NotConnected);
    ASSERT_TRUE(client->tcpConnect(address.toLatin1()));
    EXPECT_EQ(client->append(text.constData()), ResultCode::ArgumentOutOfRange)
        << "the declaration of the old connection does not hold on the new one";
    EXPECT_EQ(client->uploadFile(2, 1, "O80", text.constData()), ResultCode::Success);
    EXPECT_EQ(sim->programText(1, "O80"), text);
    cell.outcome(resultText(result, clock.ms()) + " after the stop, 7 until connect, then the upload arrives whole");
    client.reset();
    cell.done();
}

} // namespace

namespace {

using AsyncLinkLookTest = ClientFixture;

// Every poll's reply is broken at once, so the worker renews its connection before each request;
// meanwhile the application's thread keeps looking at the link. A renewal on either thread must
// not look like a lost link to the other: no command gets 7 and the worker goes on.
TEST_F(AsyncLinkLookTest, RenewalOnOneThreadIsNoLostLinkToTheOther)
{
    client.reset(new AsynchronousClient);
    client->setSyncMode(0);
    const int32_t addresses[] = {1001500, 1001501, 1001502};
    ASSERT_EQ(client->registerVars(addresses, 3), 0);
    QByteArray broken = tcpFrame(QByteArray("B\x03", 2));
    broken[4] = char(0xFF);
    broken[5] = char(0xFF);
    sim->scriptReply('B', -1, rawReply(broken, -1));
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
    int32_t values[3] = {};
    int calls = 0, notConnected = 0;
    Stopwatch clock;
    while (clock.ms() < 1000 && notConnected == 0) {
        notConnected += client->readVars(addresses, 3, values) == ResultCode::NotConnected;
        ++calls;
    }
    EXPECT_EQ(notConnected, 0) << "after " << calls << " looks and " << sim->requestCount('B') << " polls";
    EXPECT_TRUE(client->isRunning());
    EXPECT_GT(sim->requestCount('B'), 20) << "the worker kept polling, on a fresh connection each time";
}

} // namespace
