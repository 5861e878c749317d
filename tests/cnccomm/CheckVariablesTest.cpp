// check, read, write, get-bit and set-bit against the simulated controller: their text and JSON
// output (their failures are rows of FailurePathsTest).
#include "CnccommFixture.h"

#include <QJsonArray>

TEST_F(CnccommTest, CheckShowsWatchdogProbeAndRunningProgram)
{
    const ToolRun text = runHere({"check", "--channel", "2"});
    EXPECT_EQ(text.status, 0) << qPrintable(text.err);
    EXPECT_EQ(text.outLines(), QStringList({QStringLiteral("connect: true (connected to %1)").arg(sim.address()),
                                            "CheckTcpWdt: result 0 (success, or queued in asynchronous mode)",
                                            "getTcpConnectFlag: true (the controller answered a variable read)",
                                            "getRuningPrg: \"O0002\" (the program of channel 2)"}));

    const QJsonObject json = runHere({"--json", "check"}).json();
    EXPECT_EQ(json.value("command").toString(), "check");
    EXPECT_TRUE(json.value("connected").toBool());
    EXPECT_TRUE(json.value("probe").toBool());
    EXPECT_EQ(json.value("runningProgram").toString(), "O0001");
    const QJsonObject watchdog = json.value("calls").toArray().at(0).toObject();
    EXPECT_EQ(watchdog.value("function").toString(), "CheckTcpWdt");
    EXPECT_EQ(watchdog.value("result").toInt(), 0);
    EXPECT_EQ(json.value("exitStatus").toInt(), 0);
}

TEST_F(CnccommTest, WriteThenReadVariables)
{
    const ToolRun written = runHere({"write", "1000001=-7", "1000002=42"});
    EXPECT_EQ(written.status, 0) << qPrintable(written.err);
    EXPECT_EQ(written.outLines(), QStringList({"writeVars: result 0 (success, or queued in asynchronous mode)"}));
    EXPECT_EQ(sim.variable(1000001), -7);
    EXPECT_EQ(sim.variable(1000002), 42);

    const ToolRun read = runHere({"read", "1000002", "1000001"});
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.outLines(), QStringList({"1000002 = 42", "1000001 = -7",
                                            "readVars: result 0 (success, or queued in asynchronous mode)"}));
    const QJsonArray values = runHere({"read", "--json", "1000001"}).json().value("values").toArray();
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0].toObject().value("address").toInt(), 1000001);
    EXPECT_EQ(values[0].toObject().value("value").toInt(), -7);
}

TEST_F(CnccommTest, AsynchronousWriteIsQueued)
{
    const ToolRun queued = runHere({"--async", "write", "1000005=9"});
    EXPECT_EQ(queued.status, 0) << qPrintable(queued.err);
    EXPECT_EQ(sim.variable(1000005), 9);
}

TEST_F(CnccommTest, SetThenGetBits)
{
    EXPECT_EQ(runHere({"set-bit", "C", "5", "1"}).outLines(),
              QStringList({"setCBit: result 0 (success, or queued in asynchronous mode)"}));
    EXPECT_EQ(runHere({"set-bit", "O", "3", "1", "--cnc", "--extra", "2"}).status, 0);
    const ToolRun got = runHere({"get-bit", "c", "5", "6"});
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.outLines(), QStringList({"C 5 = 1", "C 6 = 0", "getCBit: result 0 (success, or queued in asynchronous mode)"}));
    const QJsonArray bits = runHere({"--json", "get-bit", "O", "3"}).json().value("bits").toArray();
    ASSERT_EQ(bits.size(), 1);
    EXPECT_EQ(bits[0].toObject().value("table").toString(), "O");
    EXPECT_EQ(bits[0].toObject().value("value").toInt(), 1);
}
