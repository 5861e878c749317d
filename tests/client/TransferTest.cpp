// Program text transfer against the simulator: blocks on the wire, reply states, refused blocks
// sent again a bounded number of times, and the asynchronous wait for room in the queue.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "FrameFields.h"
#include "TransferTestSupport.h"

#include <QElapsedTimer>

#include <string>
#include <tuple>
#include <vector>

namespace {

// The resend pauses and the queue's wait for room run at a quarter of their length here.
class TransferTest : public ClientFixture
{
protected:
    ScaledWaits waits{kTestWaitScale};
};
using Shapes = std::vector<std::string>;

// The requests of an upload by type and size: declaration, the empty block (not for type 2),
// blocks of 400 (an empty append after a full one), the file end; the controller holds the text.
TEST_F(TransferTest, UploadGoesInBlocksOf400)
{
    connectClient(1);
    const struct { int32_t type; int size; Shapes requests; } rows[] = {
        {1, 0, {"d1 1 1 O", "d3 0", "d3 0", "d4"}},
        {1, 399, {"d1 1 1 O", "d3 0", "d3 399", "d4"}},
        {1, 400, {"d1 1 1 O", "d3 0", "d3 400", "d2 0", "d4"}},
        {1, 401, {"d1 1 1 O", "d3 0", "d3 400", "d2 1", "d4"}},
        {1, 1000, {"d1 1 1 O", "d3 0", "d3 400", "d2 400", "d2 200", "d4"}},
        {2, 3, {"d1 1 3 O", "d3 3", "d4"}}, // declared alone
        {17, 3, {"d1 1 17 O", "d3 0", "d3 3", "d4"}},
        {0, 3, {"d1 1 5 O", "d3 0", "d3 3", "d4"}},
        {16, 3, {"d1 1 5 O", "d3 0", "d3 3", "d4"}},
        {18, 3, {"d1 1 5 O", "d3 0", "d3 3", "d4"}},
    };
    for (const auto& r : rows) {
        sim->clearReceived();
        const QByteArray text = programOf(r.size);
        ASSERT_EQ(client->uploadFile(r.type, 1, "O", text.constData()), 0) << r.type << " " << r.size;
        EXPECT_EQ(transferShapes(*sim), r.requests) << r.type << " " << r.size;
        EXPECT_EQ(sim->programText(1, "O"), text) << r.type << " " << r.size;
    }
}

// Bad arguments, a missing declaration and a missing link send nothing.
TEST_F(TransferTest, RefusalsSendNothing)
{
    connectClient(1);
    client->setErrCallback(&recordError);
    sim->clearReceived();
    for (int32_t type : {3, 19, -1, 15})
        EXPECT_EQ(client->setTransFileType(type, 1, "O1", true), 1) << type;
    for (int32_t channel : {0, 100, -1})
        EXPECT_EQ(client->setTransFileType(1, channel, "O1", false), 1) << channel;
    EXPECT_EQ(client->uploadFile(1, 1, "O1/", "G01"), 1);
    EXPECT_EQ(client->uploadFile(1, 1, "O1", nullptr), 1);
    EXPECT_EQ(client->cycStart(0, "O1"), 1);
    EXPECT_EQ(client->overwrite("G01"), 1) << "no declaration";
    EXPECT_EQ(client->append("G01"), 1);
    EXPECT_TRUE(transferShapes(*sim).empty());
    ASSERT_EQ(client->setTransFileType(2, 1, "O1", false), 0);
    sim->scriptReply('d', 4, rawReply(QByteArray("\x00\x00\x00\x00\x04\x00\x00\x64\x04\x01", 10)));
    EXPECT_EQ(client->fileEnd(), 0) << "whatever the reply says";
    EXPECT_EQ(client->append("G03"), 1) << "the file end closed the declaration";
    // A query never sends the empty block; a name ends at 100 bytes or at a byte with the top bit set.
    EXPECT_EQ(client->setTransFileType(32, 99, QByteArray(120, 'L').constData(), true), 0);
    EXPECT_EQ(client->setTransFileType(1, 2, "P\xE4X", true), 0);
    EXPECT_EQ(transferShapes(*sim), Shapes({"d1 1 3 O1", "d4", "d6 99 5 " + std::string(100, 'L'), "d6 2 1 P"}));
    EXPECT_EQ(reportedError().calls, 0);
    ASSERT_TRUE(client->tcpDisconnect());
    for (const int32_t result : {client->setTransFileType(1, 1, "O1", false), client->overwrite("G01"), client->append("G01"),
                                 client->fileEnd(), client->uploadFile(1, 1, "O1", "G01"), client->cycStart(1, "O1")})
        EXPECT_EQ(result, 7);
}

enum Call { Declare, Query, Overwrite, Append, Start };
const int kSubCode[] = {1, 6, 3, 2, 4};
constexpr int kUnscripted = -1, kSilent = -2;
const char* const kParams = "parameters error.";
const char* const kRunning = "target file is been executing.file transmission denied.";
const char* const kAlarm = "CNC系统执行错误报警";

// One row per call and reply state: the result, the report (errorCmd 0: none) and whether the
// controller kept it (a declaration: text may follow; a block: stored; a start: it runs).
struct StateRow
{
    Call call;
    int status;
    int32_t result, errorCmd, cmdState;
    const char* detail;
    bool kept;
};

int32_t run(AsynchronousClient& c, Call call)
{
    switch (call) {
    case Declare: return c.setTransFileType(2, 1, "O5", false);
    case Query: return c.setTransFileType(2, 1, "O5", true);
    case Overwrite: return c.overwrite("G01 X10");
    case Append: return c.append("G01 X10");
    case Start: return c.cycStart(1, "O5");
    }
    return -1;
}

TEST_F(TransferTest, EveryReplyStateGivesItsResultReportAndContent)
{
    connectClient(1);
    client->setErrCallback(&recordError);
    const StateRow rows[] = {
        // A query's states are a declaration's, only the unknown state's report names the query.
        {Query, 7, 107, 1, 7, "CmdGetFileTransState:unknow state. state=7", false},
        {Query, 0, 0, 0, 0, "", true},
        {Query, kSilent, 111, 0, 0, "", false},
        {Declare, 1, 101, 1, 1, kParams, false},
        {Declare, 2, 102, 1, 2, kRunning, false},
        {Declare, 100, 100, 1, 100, kAlarm, false}, // the alarm state itself, not 200
        {Declare, 7, 107, 1, 7, "CmdSetFileInf:unknow state. state=7", false},
        {Declare, 0xFE, 98, 1, -2, "CmdSetFileInf:unknow state. state=-2", false},
        {Declare, 0, 0, 0, 0, "", true},
        // A refused block leaves the declaration standing: every later row needs it.
        {Overwrite, 0, 0, 0, 0, "", true},
        {Overwrite, 1, 101, 2, 1, kParams, false},
        {Overwrite, 2, 0, 2, 2, "DNC 内存已满，此笔数据复写成功", true},
        {Overwrite, 3, 103, 2, 3, "DNC 内存已满，此笔数据复写失败", false},
        {Overwrite, 100, 100, 1, 100, kAlarm, false},
        {Overwrite, 7, 107, 0, 0, "", false},
        {Overwrite, 0xFF, 99, 0, 0, "", false},
        {Append, 0, 0, 0, 0, "", true},
        {Append, 1, 101, 3, 1, kParams, false},
        {Append, 2, 0, 3, 2, "DNC内存已满，此笔数据追加成功", true},
        {Append, 3, 0, 3, 3, "DNC内存已满，此笔数据追加失败", true}, // a full memory is waited out
        {Append, 100, 100, 1, 100, kAlarm, false},
        {Append, 7, 107, 0, 0, "", false},
        {Append, 0xFF, 99, 0, 0, "", false},
        {Start, 1, 101, 8, 1, kParams, false},
        {Start, 2, 102, 8, 2, "program is runing.", false},
        {Start, 3, 103, 8, 3, "file is not exist.", false},
        {Start, 7, 107, 8, 7, "", false},
        {Start, 100, 200, 8, 100, "", false},
        {Start, 0xFF, 99, 8, -1, "", false},
        {Start, kUnscripted, 0, 0, 0, "", true},
    };
    const QByteArray old = "OLD;", text = "G01 X10";
    for (const StateRow& row : rows) {
        const std::string what = "call " + std::to_string(row.call) + " state " + std::to_string(row.status);
        // A declaration row starts from the opposite of what it should leave.
        if (row.call == Declare || row.call == Query) {
            ASSERT_EQ(row.kept ? client->fileEnd() : client->setTransFileType(2, 1, "O5", false), 0) << what;
        }
        sim->setProgramText(1, "O5", old);
        if (row.status != kUnscripted)
            sim->scriptReply(row.call == Start ? 'f' : 'd', kSubCode[row.call], row.status == kSilent ? scriptOf(ReplyScript::Silence, 0, 0, 1)
                                                                                : scriptOf(ReplyScript::Status, row.status, 0, 1));
        clearReportedError();
        EXPECT_EQ(run(*client, row.call), row.result) << what;
        const ReportedError r = reportedError();
        EXPECT_EQ(r.calls, row.errorCmd ? 1 : 0) << what;
        if (row.errorCmd) {
            EXPECT_EQ(std::make_tuple(r.errorCmd, r.cmdState, r.detail), std::make_tuple(row.errorCmd, row.cmdState, std::string(row.detail))) << what;
        }
        if (row.call == Declare || row.call == Query) {
            // A failed wait renews the link: text then asks for a new start.
            EXPECT_EQ(client->overwrite("G9"), row.status == kSilent ? 12 : row.kept ? 0 : 1) << what;
        } else if (row.call == Start) {
            EXPECT_EQ(sim->runningProgram(1), row.kept ? QByteArray("O5") : QByteArray()) << what;
        } else {
            const QByteArray kept = row.kept ? (row.call == Overwrite ? text : old + text) : old;
            EXPECT_EQ(sim->programText(1, "O5"), kept) << what;
        }
    }
}

// An alarm ends a long append at the block it meets; a declaration of the running program is
// refused, and the upload of another type then finds no declaration for its empty block.
TEST_F(TransferTest, AlarmAndRunningProgramStopTheTransfer)
{
    connectClient(1);
    ASSERT_EQ(client->setTransFileType(2, 1, "O7", false), 0);
    sim->clearReceived();
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 100, 0, 1));
    EXPECT_EQ(client->append(programOf(1000).constData()), 100);
    EXPECT_EQ(transferShapes(*sim), Shapes({"d2 400"}));

    sim->setProgramText(1, "O7", "G00");
    sim->setRunningProgram(1, "O7");
    sim->clearReceived();
    EXPECT_EQ(client->uploadFile(1, 1, "O7", "G01"), 1);
    EXPECT_EQ(transferShapes(*sim), Shapes({"d1 1 1 O7"}));
    EXPECT_EQ(sim->programText(1, "O7"), QByteArray("G00"));
}

TEST_F(TransferTest, BlockRefusedForEverStopsTheTransferAtTheBound)
{
    connectClient(1);
    client->setErrCallback(&recordError);
    const QByteArray text = programOf(900);
    for (const int state : {1, 4}) { // not 3: a full memory is waited out
        ASSERT_EQ(client->uploadFile(2, 1, "O2", "G00\n"), 0);
        ASSERT_EQ(client->setTransFileType(2, 1, "O2", false), 0);
        sim->clearReceived();
        clearReportedError();
        sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, state, 0, -1));
        EXPECT_EQ(client->append(text.constData()), 5) << state;
        const std::vector<QByteArray> blocks = blockTexts(*sim, 2);
        EXPECT_EQ(int(blocks.size()), 1 + AsynchronousClient::kBlockResendLimit) << state;
        for (const QByteArray& b : blocks)
            EXPECT_EQ(b, text.left(400)) << state;
        const ReportedError r = reportedError();
        EXPECT_EQ(std::make_tuple(r.errorCmd, r.cmdState), std::make_tuple(3, state));
        EXPECT_EQ(r.detail, "append: the controller kept refusing a full block; transfer stopped") << state;
        EXPECT_EQ(sim->programText(1, "O2"), QByteArray("G00\n")) << state;
        sim->clearScripts();
        EXPECT_EQ(client->append("G01"), 0) << "the client stays usable";
    }
}

// A stored block (state 2) after an earlier refusal: the old failure is not taken for this
// block's, so nothing goes twice.
TEST_F(TransferTest, StoredBlockIsNeverSentTwiceAfterAnEarlierFailure)
{
    connectClient(1);
    ASSERT_EQ(client->setTransFileType(2, 1, "O3", false), 0);
    const QByteArray text = programOf(1000);
    for (const uint8_t sub : {2, 3}) {
        sim->clearReceived();
        sim->scriptReply('d', sub, scriptOf(ReplyScript::Status, 1, 0, 1));
        ASSERT_EQ(sub == 2 ? client->append("G00") : client->overwrite("G00"), 101);
        sim->scriptReply('d', sub, scriptOf(ReplyScript::Status, 2, 0, 1));
        EXPECT_EQ(sub == 2 ? client->append(text.constData()) : client->overwrite(text.constData()), 0);
        EXPECT_EQ(sim->programText(1, "O3"), text) << int(sub);
    }
}

// Two frames fill the queue: most blocks wait for the worker to send one; the file end, like
// any command, finds the queue full (4) until the last blocks went. A lost link ends the wait.
TEST_F(TransferTest, AsynchronousTransferWaitsForRoomInTheQueue)
{
    connectClient(0);
    ASSERT_EQ(client->setTransFileType(2, 1, "O4", false), 0);
    ASSERT_TRUE(waitUntil([&] { return client->overwrite("") == 0; }, 2000)) << "the declaration was answered";
    const QByteArray text = programOf(5000);
    EXPECT_EQ(client->overwrite(text.constData()), 0);
    ASSERT_TRUE(waitUntil([&] { return client->fileEnd() != 4; }, 5000));
    ASSERT_TRUE(waitUntil([&] { return sim->requestCount('d', 4) == 1; }, 5000));
    EXPECT_EQ(sim->programText(1, "O4"), text);
    EXPECT_EQ(transferShapes(*sim).back(), "d4");

    ASSERT_EQ(client->setTransFileType(2, 1, "O5", false), 0);
    ASSERT_TRUE(waitUntil([&] { return client->overwrite("") == 0; }, 2000));
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Close, 0, 0, 1));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(client->append(programOf(5000).constData()), 7);
    EXPECT_LT(clock.elapsed(), 1000);
}

} // namespace
