#include "ReplyHandlerRows.h"
#include "TestSupport.h"

#include <memory>

namespace ReplyHandlerRows {

Report report(int32_t errorCmd, int32_t cmdState, const std::string& detail)
{
    return {true, errorCmd, cmdState, detail};
}

Expected ok() { return {Flag::Cleared, kCodeKept, {}}; }
Expected fail(int32_t code, const Report& r) { return {Flag::Set, code, r}; }
Expected failCodeKept(const Report& r) { return {Flag::Set, kCodeKept, r}; }
Expected untouched(const Report& r) { return {Flag::Kept, kCodeKept, r}; }
Expected codeOnly(int32_t code, const Report& r) { return {Flag::Kept, code, r}; }

namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void runOnce(const Row& row, bool earlierFlag)
{
    SCOPED_TRACE(row.what + (earlierFlag ? " (flag set before)" : " (flag clear before)"));
    auto client = std::make_unique<AsynchronousClient>();
    client->errCallback = recordError;
    client->replyErrorFlag = earlierFlag;
    client->replyErrorCode = kEarlierCode;
    if (row.before)
        row.before(*client);
    clearReportedError();

    row.deliver(*client);

    const Expected& want = row.expected;
    const bool flag = want.flag == Flag::Kept ? earlierFlag : want.flag == Flag::Set;
    EXPECT_EQ(client->replyErrorFlag, flag);
    EXPECT_EQ(client->replyErrorCode, want.code == kCodeKept ? kEarlierCode : want.code);
    const ReportedError got = reportedError();
    if (want.report.made) {
        EXPECT_EQ(got.calls, 1);
        EXPECT_EQ(got.errorCmd, want.report.errorCmd);
        EXPECT_EQ(got.cmdState, want.report.cmdState);
        EXPECT_EQ(got.detail, want.report.detail);
    } else {
        EXPECT_EQ(got.calls, 0) << "reported " << got.errorCmd << ", " << got.cmdState << ", \"" << got.detail << '"';
    }
    if (row.after)
        row.after(*client);
}
}

void runRows(const std::vector<Row>& rows)
{
    // The client's construction and some handlers write diagnostic lines; they are not the subject here.
    const QtMessageHandler previous = qInstallMessageHandler(quiet);
    for (const Row& row : rows)
        for (bool earlierFlag : {false, true})
            runOnce(row, earlierFlag);
    qInstallMessageHandler(previous);
}

} // namespace ReplyHandlerRows
