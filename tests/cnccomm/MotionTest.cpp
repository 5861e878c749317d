// jog and home against the simulated controller's axes.
#include "CnccommFixture.h"

#include <QJsonArray>

namespace {
QStringList functionsCalled(const QJsonObject& json)
{
    QStringList out;
    for (const QJsonValue& call : json.value("calls").toArray())
        out << call.toObject().value("function").toString();
    return out;
}
}

TEST_F(CnccommTest, JogByADistanceWaitsForTheAxisAndShowsItsPosition)
{
    const ToolRun r = runHere({"jog", "2", "--distance", "500"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains("jogMotionP_Run: result 0")) << qPrintable(r.out);
    EXPECT_TRUE(r.outLines().contains("position: 500")) << qPrintable(r.out);
    EXPECT_EQ(sim.axisPosition(1, 2), 500);

    const QJsonObject json = runHere({"--json", "jog", "2", "--distance", "-200", "--absolute"}).json();
    EXPECT_EQ(functionsCalled(json), QStringList({"jogMotionP_Run", "jogMotionP_IsStop", "getAxisCoord"}));
    EXPECT_EQ(json.value("position").toInt(), -200);
}

TEST_F(CnccommTest, JogForATimeMovesThenStops)
{
    const ToolRun r = runHere({"--json", "--channel", "2", "jog", "1", "--for", "300", "--feed", "1000"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    const QJsonObject json = r.json();
    EXPECT_EQ(functionsCalled(json), QStringList({"jogMotionV_Run", "jogMotionV_Stop", "getAxisCoord"}));
    const int position = json.value("position").toInt();
    EXPECT_GE(position, 250); // 1000 units per second for 0.3 s, and the stop's round trip
    EXPECT_LE(position, 1000);
    EXPECT_EQ(sim.axisPosition(2, 1), position) << "the axis stands where it was shown";
}

TEST_F(CnccommTest, JogStopStopsBothKindsOfJog)
{
    const ToolRun r = runHere({"--json", "jog", "3", "--stop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(functionsCalled(r.json()), QStringList({"jogMotionV_Stop", "jogMotionP_Stop", "getAxisCoord"}));
}

TEST_F(CnccommTest, HomeWaitsUntilTheAxisIsHomed)
{
    ASSERT_EQ(runHere({"jog", "0", "--distance", "300"}).status, 0);
    const ToolRun r = runHere({"home", "0"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.outLines().contains("axis 0 homed")) << qPrintable(r.out);
    EXPECT_TRUE(r.outLines().contains("position: 0")) << qPrintable(r.out);
    EXPECT_EQ(sim.axisPosition(1, 0), 0);
    EXPECT_TRUE(runHere({"--json", "home", "0"}).json().value("homed").toBool());
}

TEST_F(CnccommTest, StopResetAndTheEmergencyStopOfOneChannel)
{
    sim.setProgramText(1, "P7", "G1 X1\n");
    ASSERT_EQ(runHere({"start", "P7"}).status, 0);
    EXPECT_EQ(runHere({"stop"}).status, 0);
    EXPECT_TRUE(sim.runningProgram(1).isEmpty()) << "stop ends the program";
    ASSERT_EQ(runHere({"start", "P7"}).status, 0);
    EXPECT_EQ(runHere({"reset"}).status, 0);
    EXPECT_TRUE(sim.runningProgram(1).isEmpty()) << "reset ends it";

    EXPECT_EQ(runHere({"estop", "on", "--channel", "2"}).status, 0);
    const QJsonObject alarm = runHere({"--json", "alarm"}).json().value("alarm").toObject();
    EXPECT_EQ(alarm, QJsonObject({{"active", true}, {"channel", 2}, {"number", 1001}}));
    EXPECT_EQ(runHere({"jog", "1", "--distance", "5", "--channel", "2"}).status, 4);
    EXPECT_EQ(runHere({"jog", "1", "--distance", "5"}).status, 0) << "the other channel still moves";
    EXPECT_EQ(runHere({"estop", "off", "--channel", "2"}).status, 0);
    EXPECT_EQ(runHere({"reset"}).status, 0);
    EXPECT_EQ(runHere({"alarm"}).outLines().value(0), "alarm: none");
}
