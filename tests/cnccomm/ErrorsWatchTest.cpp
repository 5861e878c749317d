// errors and watch against the simulated controller.
#include "CnccommFixture.h"
#include "ControllerFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

TEST_F(CnccommTest, ErrorsShowsTheCurrentAndTheHistoricalErrorFile)
{
    sim.files()->setErrorFile(1, false, "E1001 overtravel X+\n");
    sim.files()->setErrorFile(1, true, "E0007 old\nE0008 older\n");
    const ToolRun current = runHere({"errors"});
    EXPECT_EQ(current.status, 0) << qPrintable(current.err);
    EXPECT_EQ(current.outLines(), QStringList({"getCncCurrentError: status 0 (success, or queued in asynchronous mode), 20 bytes",
                                               "E1001 overtravel X+"}));
    const ToolRun history = runHere({"errors", "--history"});
    EXPECT_EQ(history.outLines().mid(1), QStringList({"E0007 old", "E0008 older"}));

    sim.files()->setErrorFile(0, false, "system\n");
    const QJsonObject json = runHere({"--json", "--channel", "0", "errors"}).json();
    EXPECT_EQ(json.value("status").toString(), "0");
    EXPECT_EQ(json.value("text").toString(), "system\n");
    EXPECT_EQ(json.value("bytes").toInt(), 7);
}

namespace {
// The values that lines "TIME ADDRESS = VALUE" show for address, in order.
std::vector<int> watched(const QString& out, int address)
{
    std::vector<int> values;
    const QRegularExpression line(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} %1 = (-?\\d+)$").arg(address),
        QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(out); it.hasNext();)
        values.push_back(it.next().captured(1).toInt());
    return values;
}
} // namespace

TEST_F(CnccommTest, WatchPrintsTheFirstValuesAndEachChangeWithATimeStamp)
{
    sim.setVariable(1000001, 5);
    sim.setVariable(1000002, -3);
    auto tool = startHere({"watch", "1000001", "1000002", "1000004", "--interval", "20"});
    ASSERT_TRUE(tool->waitForOutput(" 1000004 = 0\n", 10000)) << tool->outSoFar().constData();
    sim.setVariable(1000001, 6);
    ASSERT_TRUE(tool->waitForOutput(" 1000001 = 6\n", 5000)) << tool->outSoFar().constData();
    sim.setVariable(1000001, 7);
    ASSERT_TRUE(tool->waitForOutput(" 1000001 = 7\n", 5000)) << tool->outSoFar().constData();
    tool->interrupt();
    const ToolRun r = tool->finish(10000);
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(watched(r.out, 1000001), std::vector<int>({5, 6, 7})) << qPrintable(r.out);
    EXPECT_EQ(watched(r.out, 1000002), std::vector<int>({-3})) << qPrintable(r.out);
    EXPECT_EQ(watched(r.out, 1000004), std::vector<int>({0})) << "a first value of 0 is shown too";
    EXPECT_TRUE(r.out.contains("registerVars: result 0")) << qPrintable(r.out);
    EXPECT_TRUE(r.outLines().last().endsWith("5 values shown (interrupted)")) << qPrintable(r.out);
}

TEST_F(CnccommTest, WatchEndsAfterItsDuration)
{
    const ToolRun r = runHere({"watch", "1000001", "--duration", "0.5"}, 10000);
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_TRUE(QRegularExpression("^watched 0\\.[5-9] s: 1 values shown$").match(r.outLines().value(2)).hasMatch())
        << qPrintable(r.out);
}

TEST_F(CnccommTest, WatchInJsonEndsCleanlyWhenInterrupted)
{
    sim.setVariable(1000003, 1);
    auto tool = startHere({"--json", "watch", "1000003", "--interval", "20"});
    ASSERT_TRUE(tool->waitForOutput("\"value\":1}", 10000)) << tool->outSoFar().constData();
    sim.setVariable(1000003, 2);
    ASSERT_TRUE(tool->waitForOutput("\"value\":2}", 5000)) << tool->outSoFar().constData();
    tool->interrupt();
    const ToolRun r = tool->finish(10000);
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    const QStringList lines = r.outLines();
    ASSERT_EQ(lines.size(), 3) << qPrintable(r.out);
    for (int i = 0; i < 2; ++i) {
        const QJsonObject event = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        EXPECT_EQ(event.value("address").toInt(), 1000003);
        EXPECT_EQ(event.value("value").toInt(), i + 1);
        EXPECT_FALSE(event.value("time").toString().isEmpty());
    }
    const QJsonObject summary = r.json();
    EXPECT_TRUE(summary.value("interrupted").toBool());
    EXPECT_EQ(summary.value("shown").toInt(), 2);
    EXPECT_EQ(summary.value("exitStatus").toInt(), 0);
}

TEST_F(CnccommTest, WatchOfALinkThatGoesDownIsNotConnected)
{
    auto tool = startHere({"watch", "1000001", "--duration", "20"});
    ASSERT_TRUE(tool->waitForOutput(" 1000001 = 0\n", 10000)) << tool->outSoFar().constData();
    sim.stop();
    const ToolRun r = tool->finish(10000);
    EXPECT_EQ(r.status, 3) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains("readVars: result 7 (not connected)")) << qPrintable(r.out);
}

TEST_F(CnccommTest, WatchShowsOnlyPolledValuesAndKeepsWatchingAcrossARestart)
{
    sim.setVariable(1000001, 1234);
    sim.scriptReply('B', -1, scriptOf(ReplyScript::Silence));
    sim.scriptReply('A', -1, scriptOf(ReplyScript::Silence));
    const ToolRun unread = runHere({"--json", "watch", "1000001", "--duration", "3"});
    EXPECT_EQ(unread.status, 0) << qPrintable(unread.err);
    EXPECT_FALSE(unread.out.contains("\"value\"")) << "no value a poll did not bring: " << qPrintable(unread.out);
    EXPECT_TRUE(unread.out.contains("{\"address\":1000001,\"stale\":true")) << qPrintable(unread.out);

    sim.clearScripts();
    const QString address = sim.address();
    auto tool = startHere({"watch", "1000001", "--reconnect", "--interval", "20"});
    ASSERT_TRUE(tool->waitForOutput(" 1000001 = 1234\n", 10000)) << tool->outSoFar().constData();
    sim.stop();
    ASSERT_TRUE(tool->waitForOutput(" link lost\n", 10000)) << tool->outSoFar().constData();
    ASSERT_TRUE(sim.start(address));
    sim.setVariable(1000001, 9);
    ASSERT_TRUE(tool->waitForOutput(" 1000001 = 9\n", 20000)) << tool->outSoFar().constData();
    tool->interrupt();
    const ToolRun r = tool->finish(10000);
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(" link back\n")) << qPrintable(r.out);
}
