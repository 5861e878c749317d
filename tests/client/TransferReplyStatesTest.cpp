// Every reply state of the text transfer and the start by name, end to end: the result the
// method returns, the report the application gets, and what the controller kept.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "TransferTestSupport.h"

#include <string>

namespace {

using TransferReplyStatesTest = ClientFixture;

const char* const kParametersError = "parameters error.";
const char* const kFileExecuting = "target file is been executing.file transmission denied.";
const char* const kExecutionAlarm = "CNC系统执行错误报警";

struct Row
{
    int status;      // the reply's status byte
    int32_t result;  // what the method returns
    int reports;     // calls of the error callback
    int32_t errorCmd;
    int32_t cmdState;
    std::string detail;
    bool stored;     // text blocks: whether the controller kept the block
};

void expectReport(const Row& row, const std::string& what)
{
    const ReportedError r = reportedError();
    EXPECT_EQ(r.calls, row.reports) << what;
    if (row.reports == 0)
        return;
    EXPECT_EQ(r.errorCmd, row.errorCmd) << what;
    EXPECT_EQ(r.cmdState, row.cmdState) << what;
    EXPECT_EQ(r.detail, row.detail) << what;
}

TEST_F(TransferReplyStatesTest, DeclarationAndQueryStates)
{
    connectClient(1);
    client->errCallback = &recordError;
    for (const bool query : {true, false}) {
        const uint8_t sub = query ? 6 : 1;
        const std::string unknown = query ? "CmdGetFileTransState:unknow state. state=" : "CmdSetFileInf:unknow state. state=";
        const Row rows[] = {
            {0, 0, 0, 0, 0, "", true},
            {1, 101, 1, 1, 1, kParametersError, false},
            {2, 102, 1, 1, 2, kFileExecuting, false},
            {100, 100, 1, 1, 100, kExecutionAlarm, false}, // the alarm state itself, not 200
            {7, 107, 1, 1, 7, unknown + "7", false},
            {0xFE, 98, 1, 1, -2, unknown + "-2", false},
        };
        for (const Row& row : rows) {
            const std::string what = (query ? "query state " : "declaration state ") + std::to_string(row.status);
            client->isSetFileOk = !row.stored;
            clearReportedError();
            sim->scriptReply('d', sub, scriptOf(ReplyScript::Status, row.status, 0, 1));
            // Type 2: the declaration's own result comes back.
            EXPECT_EQ(client->setTransFileType(2, 1, "O5", query), row.result) << what;
            EXPECT_EQ(client->isSetFileOk, row.stored) << what;
            expectReport(row, what);
        }
    }
    sim->scriptReply('d', 6, scriptOf(ReplyScript::Silence, 0, 0, 1));
    clearReportedError();
    EXPECT_EQ(client->setTransFileType(2, 1, "O5", true), ResultCode::NoValidReply);
    EXPECT_EQ(reportedError().calls, 0);
}

// rows for overwrite (errorCmd 2) or append (errorCmd 3)
std::vector<Row> blockRows(int32_t errorCmd, const char* storedText, const char* lostText)
{
    return {
        {0, 0, 0, 0, 0, "", true},
        {1, 101, 1, errorCmd, 1, kParametersError, false},
        {2, 0, 1, errorCmd, 2, storedText, true},
        {3, 103, 1, errorCmd, 3, lostText, false},
        {100, 100, 1, ErrorCmd::FileDeclaration, 100, kExecutionAlarm, false},
        {7, 107, 0, 0, 0, "", false},
        {0xFF, 99, 0, 0, 0, "", false},
    };
}

TEST_F(TransferReplyStatesTest, OverwriteAndAppendStates)
{
    connectClient(1);
    client->errCallback = &recordError;
    ASSERT_EQ(client->setTransFileType(2, 1, "O6", false), 0);
    const QByteArray old = "OLD;";
    const QByteArray text = "G01 X10";
    for (const bool overwrite : {true, false}) {
        const std::vector<Row> rows = overwrite
            ? blockRows(ErrorCmd::Overwrite, "DNC 内存已满，此笔数据复写成功", "DNC 内存已满，此笔数据复写失败")
            : blockRows(ErrorCmd::Append, "DNC内存已满，此笔数据追加成功", "DNC内存已满，此笔数据追加失败");
        for (Row row : rows) {
            if (!overwrite && row.status == 3) { // a full memory is waited out: the block goes again and is stored
                row.result = 0;
                row.stored = true;
            }
            const std::string what = (overwrite ? "overwrite state " : "append state ") + std::to_string(row.status);
            sim->setProgramText(1, "O6", old);
            clearReportedError();
            sim->scriptReply('d', overwrite ? 3 : 2, scriptOf(ReplyScript::Status, row.status, 0, 1));
            const int32_t result = overwrite ? client->overwrite(text.constData()) : client->append(text.constData());
            EXPECT_EQ(result, row.result) << what;
            expectReport(row, what);
            const QByteArray kept = row.stored ? (overwrite ? text : old + text) : old;
            EXPECT_EQ(sim->programText(1, "O6"), kept) << what;
            EXPECT_TRUE(client->isSetFileOk) << what << ": a refused block leaves the declaration standing";
        }
    }
}

// An execution alarm ends a long append at the block it meets: nothing goes again or after it.
TEST_F(TransferReplyStatesTest, AlarmEndsTheAppend)
{
    connectClient(1);
    ASSERT_EQ(client->setTransFileType(2, 1, "O7", false), 0);
    sim->clearReceived();
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 100, 0, 1));
    EXPECT_EQ(client->append(programOf(1000).constData()), 100);
    EXPECT_EQ(transferShapes(*sim), std::vector<std::string>({"d2 400"}));
}

TEST_F(TransferReplyStatesTest, CycleStartStates)
{
    connectClient(1);
    client->errCallback = &recordError;
    const auto check = [&](const Row& row, const char* name, const std::string& what) {
        clearReportedError();
        EXPECT_EQ(client->cycStart(1, name), row.result) << what;
        expectReport(row, what);
    };
    check({3, 103, 1, ErrorCmd::CycleStart, 3, "file is not exist.", false}, "O9", "missing file");
    sim->setProgramText(1, "O9", "G01");
    check({0, 0, 0, 0, 0, "", false}, "O9", "existing file");
    EXPECT_EQ(sim->runningProgram(1), QByteArray("O9"));
    check({2, 102, 1, ErrorCmd::CycleStart, 2, "program is runing.", false}, "O9", "while it runs");
    sim->setRunningProgram(1, QByteArray());
    const Row scripted[] = {
        {1, 101, 1, ErrorCmd::CycleStart, 1, kParametersError, false},
        {7, 107, 1, ErrorCmd::CycleStart, 7, "", false},
        {100, 200, 1, ErrorCmd::CycleStart, 100, "", false},
        {0xFF, 99, 1, ErrorCmd::CycleStart, -1, "", false},
    };
    for (const Row& row : scripted) {
        sim->scriptReply('f', 4, scriptOf(ReplyScript::Status, row.status, 0, 1));
        check(row, "O9", "state " + std::to_string(row.status));
    }
    EXPECT_EQ(transferShapes(*sim).front(), "f4 1 O9");
}

TEST_F(TransferReplyStatesTest, FileOfARunningProgramIsRefused)
{
    connectClient(1);
    client->errCallback = &recordError;
    sim->setProgramText(1, "O7", "G00");
    sim->setRunningProgram(1, "O7");
    sim->clearReceived();
    EXPECT_EQ(client->setTransFileType(1, 1, "O7", true), ResultCode::RefusedWhileRunning);
    EXPECT_EQ(reportedError().detail, kFileExecuting);
    EXPECT_EQ(client->setTransFileType(2, 1, "O7", false), ResultCode::RefusedWhileRunning);
    // Other types follow the refused declaration with the empty block, which finds no declaration.
    EXPECT_EQ(client->setTransFileType(1, 1, "O7", false), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->uploadFile(1, 1, "O7", "G01"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(transferShapes(*sim), std::vector<std::string>({"d6 1 1 O7", "d1 1 3 O7", "d1 1 1 O7", "d1 1 1 O7"}));
    EXPECT_EQ(sim->programText(1, "O7"), QByteArray("G00"));
    EXPECT_EQ(client->uploadFile(1, 1, "O8", "G01"), 0) << "another file of the channel";
    EXPECT_EQ(client->uploadFile(1, 2, "O7", "G01"), 0) << "the same name on another channel";
}

TEST_F(TransferReplyStatesTest, FullDncMemoryRefusesTheBlockThatDoesNotFit)
{
    connectClient(1);
    client->errCallback = &recordError;
    sim->setDncCapacity(300);
    ASSERT_EQ(client->setTransFileType(2, 1, "O10", false), 0);
    const QByteArray text = programOf(350);
    EXPECT_EQ(client->overwrite(text.constData()), ResultCode::MemoryFullOrNoFile);
    EXPECT_EQ(reportedError().detail, "DNC 内存已满，此笔数据复写失败");
    sim->setDncCapacity(300, 100); // the machine now runs a held block every 100 ms
    EXPECT_EQ(client->overwrite(text.left(250).constData()), 0);
    sim->clearReceived();
    EXPECT_EQ(client->append(text.mid(250, 100).constData()), 0) << "a full memory is waited out, a short last block too";
    EXPECT_EQ(reportedError().detail, "DNC内存已满，此笔数据追加失败");
    EXPECT_GE(transferShapes(*sim).size(), 2u);
    EXPECT_EQ(sim->programText(1, "O10"), text);
}

} // namespace
