// Every command export against the simulator: the request it sends, the result it returns,
// and the channel check in front of it.
#include "ApiTestSupport.h"
#include "FrameFields.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {
// The rows' target: kCnc, or one never registered.
int kCnc = ApiFixture::kCnc;

struct CommandRow
{
    const char* name;
    uint8_t code;
    int subCode; // -1: the request has none
    bool channelChecked;
    std::function<CncLong(CncLong channel)> call;
    std::vector<int32_t> fields = {}; // when given: the request's int32 fields, called on channel 2
};

CncLong o1 = 0, o2 = 0, o3 = 0;
CncLong coords[4] = {};
CncLong elements[2] = {1, 2};
CncLong pairA[2] = {1, 2}, pairB[2] = {3, 4};

const std::vector<CommandRow>& commandTable()
{
    static const std::vector<CommandRow> rows = {
        {"jogMotionV_Run", 'r', 1, true, [](CncLong c) { return jogMotionV_Run(c, 1, 100, 0, 0, kCnc); }},
        {"jogMotionV_Stop", 'r', 2, true, [](CncLong c) { return jogMotionV_Stop(c, 1, kCnc); }},
        {"jogMotionV_MfoSet", 'r', 3, true, [](CncLong c) { return jogMotionV_MfoSet(c, 50, kCnc); }},
        {"jogMotionV_FastOnSet", 'r', 4, true, [](CncLong c) { return jogMotionV_FastOnSet(c, 1, kCnc); }},
        {"jogMotionV_Para", 'r', 5, true, [](CncLong c) { return jogMotionV_Para(c, 1, 100, 0, 0, kCnc); }},
        {"jogMotionV_AxesRun", 'r', 6, true, [](CncLong c) { return jogMotionV_AxesRun(c, 0, 3, kCnc); }},
        {"jogMotionP_Run", 'r', 7, true, [](CncLong c) { return jogMotionP_Run(c, 1, 100, 10, 0, 0, kCnc); }},
        {"jogMotionP_Stop", 'r', 8, true, [](CncLong c) { return jogMotionP_Stop(c, 1, kCnc); }},
        {"jogMotionP_MfoSet", 'r', 9, true, [](CncLong c) { return jogMotionP_MfoSet(c, 50, kCnc); }},
        {"jogMotionP_IsStop", 'r', 10, true, [](CncLong c) { return jogMotionP_IsStop(c, 1, 0, &o1, kCnc); }},
        {"jogMotionP_Para", 'r', 11, true, [](CncLong c) { return jogMotionP_Para(c, 1, 100, 10, 0, 0, kCnc); }},
        {"jogMotionP_AxesRun", 'r', 12, true, [](CncLong c) { return jogMotionP_AxesRun(c, 0, 3, kCnc); }},
        {"jogMotionP_AxesStop", 'r', 13, true, [](CncLong c) { return jogMotionP_AxesStop(c, 0, 3, kCnc); }},
        {"jogMotionP_AxesIsStop", 'r', 14, true,
         [](CncLong c) { return jogMotionP_AxesIsStop(c, 0, 3, 0, &o1, &o2, kCnc); }},
        {"jogMotionV_AxesStop", 'r', 15, true, [](CncLong c) { return jogMotionV_AxesStop(c, 0, 3, kCnc); }},
        {"homeRunAxis", 'q', 1, true, [](CncLong c) { return homeRunAxis(c, 1, kCnc); }},
        {"homeRunAxes", 'q', 2, true, [](CncLong c) { return homeRunAxes(c, 0, 3, &o1, &o2, kCnc); }},
        {"homeAxisIsEnd", 'q', 3, true, [](CncLong c) { return homeAxisIsEnd(c, 1, &o1, kCnc); }},
        {"homeAxesIsEnd", 'q', 4, true, [](CncLong c) { return homeAxesIsEnd(c, 0, 3, &o1, &o2, kCnc); }},
        {"homeAxisIsInProcess", 'q', 5, true, [](CncLong c) { return homeAxisIsInProcess(c, 1, &o1, kCnc); }},
        {"homeAxesIsInProcess", 'q', 6, true,
         [](CncLong c) { return homeAxesIsInProcess(c, 0, 3, &o1, &o2, kCnc); }},
        {"mpgSelection", 'w', 1, true, [](CncLong c) { return mpgSelection(c, 1, kCnc); }},
        {"mpgAxesSet", 'w', 2, true, [](CncLong c) { return mpgAxesSet(c, 0, 1, kCnc); }},
        {"mpgMfoSet", 'w', 3, true, [](CncLong c) { return mpgMfoSet(c, 10, kCnc); }},
        {"prgCycleStart", 't', 1, true, [](CncLong c) { return prgCycleStart(c, kCnc); }},
        {"prgStop", 't', 2, true, [](CncLong c) { return prgStop(c, kCnc); }},
        {"prgPause", 't', 3, true, [](CncLong c) { return prgPause(c, 1, 0, kCnc); }},
        {"prgSingleBlockSet", 't', 4, true, [](CncLong c) { return prgSingleBlockSet(c, 1, kCnc); }},
        {"prgOptionSkipSet", 't', 5, true, [](CncLong c) { return prgOptionSkipSet(c, 1, kCnc); }},
        {"prgMpgTestSet", 't', 6, true, [](CncLong c) { return prgMpgTestSet(c, 1, kCnc); }},
        {"prgMpgTestSimuSet", 't', 7, true, [](CncLong c) { return prgMpgTestSimuSet(c, 1, kCnc); }},
        {"emStopSet", 't', 8, true, [](CncLong c) { return emStopSet(c, 0, kCnc); }},
        {"prgReset", 't', 9, true, [](CncLong c) { return prgReset(c, kCnc); }},
        {"alarmRead", 't', 10, false, [](CncLong c) { return alarmRead(c, &o1, &o2, &o3, kCnc); }},
        {"reset", 'f', 3, false, [](CncLong c) { return reset(c, kCnc); }},
        {"setCncType", 'd', 8, true, [](CncLong c) { return setCncType(1, c, kCnc); }},
        {"getIBit", 'u', 1, true, [](CncLong c) { return getIBit(c, 5, &o1, kCnc); }, {2, 0, 5}},
        {"getOBit", 'u', 1, true, [](CncLong c) { return getOBit(c, 5, &o1, kCnc); }, {2, 1, 5}},
        {"getCBit", 'u', 1, true, [](CncLong c) { return getCBit(c, 5, &o1, kCnc); }, {2, 2, 5}},
        {"getSBit", 'u', 1, true, [](CncLong c) { return getSBit(c, 5, &o1, kCnc); }, {2, 3, 5}},
        {"getABit", 'u', 1, true, [](CncLong c) { return getABit(c, 5, &o1, kCnc); }, {2, 4, 5}},
        {"setPlcOBit", 'u', 2, true, [](CncLong c) { return setPlcOBit(c, 5, 1, kCnc); }, {2, 0, 5, 1, 0}},
        {"setCncOBit", 'u', 2, true, [](CncLong c) { return setCncOBit(c, 5, 1, 3, kCnc); }, {2, 1, 5, 1, 3}},
        {"setCBit", 'u', 2, true, [](CncLong c) { return setCBit(c, 5, 1, kCnc); }, {2, 2, 5, 1, 0}},
        {"setSBit", 'u', 2, true, [](CncLong c) { return setSBit(c, 5, 1, kCnc); }, {2, 3, 5, 1, 0}},
        {"setABit", 'u', 2, true, [](CncLong c) { return setABit(c, 5, 1, kCnc); }, {2, 4, 5, 1, 0}},
        {"getIbits", 'x', -1, true, [](CncLong c) { return getIbits(c, elements, 2, &o1, &o2, kCnc); }},
        {"setPlcObits", 'y', -1, true, [](CncLong c) { return setPlcObits(c, pairA, pairB, 2, kCnc); }},
        {"setCncObits", 0x80, -1, true, [](CncLong c) { return setCncObits(c, pairA, pairB, 2, 0, kCnc); }},
        {"getAxisMotionStatus", 'v', 1, true, [](CncLong c) { return getAxisMotionStatus(c, 1, &o1, kCnc); }},
        {"getAxesMotionStatus", 'v', 2, true,
         [](CncLong c) { return getAxesMotionStatus(c, 0, 3, &o1, &o2, kCnc); }},
        {"servoOnAxisSet", 'v', 3, false, [](CncLong c) { return servoOnAxisSet(c, 1, kCnc); }},
        {"servoOnAxesSet", 'v', 4, false, [](CncLong c) { return servoOnAxesSet(c, 0, 3, 1, kCnc); }},
        {"servoOnAxisGet", 'v', 5, false, [](CncLong c) { return servoOnAxisGet(c, &o1, kCnc); }},
        {"servoOnAxesGet", 'v', 6, false, [](CncLong c) { return servoOnAxesGet(c, 0, &o1, &o2, kCnc); }},
        {"getAxisCoord", 'v', 7, false, [](CncLong c) { return getAxisCoord(c, 1, 0, &o1, kCnc); }},
        {"getAxesCoord", 'v', 8, false, [](CncLong c) { return getAxesCoord(c, 0, 3, 0, 2, coords, kCnc); }},
        {"SetCncStaticIp", 0x81, -1, false, [](CncLong c) { return SetCncStaticIp(c, 168, 1, 10, 0, 0, kCnc); }},
        {"CheckTcpWdt", 'p', -1, false, [](CncLong) { return CheckTcpWdt(kCnc); }},
    };
    return rows;
}

class ExportCommandTest : public ApiFixture
{
protected:
    ScaledWaits waits{kTestWaitScale};
    void SetUp() override
    {
        ApiFixture::SetUp();
        addAndConnect();
        sim->clearReceived();
    }
};

TEST_F(ExportCommandTest, EachExportSendsItsRequestAndPassesTheResult)
{
    for (const CommandRow& row : commandTable()) {
        SCOPED_TRACE(row.name);
        sim->clearReceived();
        EXPECT_EQ(row.call(2), 0);
        const QList<QByteArray> frames = sim->receivedFrames();
        ASSERT_EQ(frames.size(), 1);
        ASSERT_GE(frames[0].size(), 8);
        EXPECT_EQ(uint8_t(frames[0][7]), row.code);
        if (row.subCode >= 0) {
            ASSERT_GE(frames[0].size(), 9);
            EXPECT_EQ(uint8_t(frames[0][8]), row.subCode);
        }
        QByteArray fields;
        for (int32_t f : row.fields)
            fields += le32(f);
        if (!row.fields.empty())
            EXPECT_EQ(frames[0].mid(9).toHex().toStdString(), fields.toHex().toStdString());
    }
}

TEST_F(ExportCommandTest, ChannelOutsideTheTargetOrUnknownTargetGivesOneAndSendsNothing)
{
    for (const CommandRow& row : commandTable()) {
        SCOPED_TRACE(row.name);
        sim->clearReceived();
        if (row.channelChecked) {
            EXPECT_EQ(row.call(0), 1);
            EXPECT_EQ(row.call(kChannels + 1), 1);
            EXPECT_EQ(row.call(-1), 1);
        }
        ::kCnc = 4242;
        EXPECT_EQ(row.call(1), 1);
        ::kCnc = ApiFixture::kCnc;
        EXPECT_TRUE(sim->receivedFrames().isEmpty());
    }
}

TEST_F(ExportCommandTest, ControllerFailureStatesReachTheCaller)
{
    ASSERT_TRUE(setErrCallbackFunc(recordError, kCnc));
    sim->scriptReply('r', 2, scriptOf(ReplyScript::Status, 2, 0, 1));
    EXPECT_EQ(jogMotionV_Stop(1, 1, kCnc), 102);
    EXPECT_EQ(reportedError().calls, 0) << "machine-control failures are not reported";
    sim->scriptReply('f', 3, scriptOf(ReplyScript::Status, 2, 0, 1));
    EXPECT_EQ(reset(1, kCnc), 102);
    EXPECT_EQ(reportedError().calls, 1);
    EXPECT_EQ(reportedError().errorCmd, 7);
    EXPECT_EQ(reportedError().cmdState, 2);
    EXPECT_EQ(reportedError().detail, "program is runing.");
    sim->scriptReply('t', 1, scriptOf(ReplyScript::Silence, 0, 0, 1));
    EXPECT_EQ(prgCycleStart(1, kCnc), 111);
    sim->scriptReply('p', -1, scriptOf(ReplyScript::Status, 0, 0, 1));
    EXPECT_EQ(CheckTcpWdt(kCnc), 3);
}

TEST_F(ExportCommandTest, MachineEffectsAreObservable)
{
    CncLong before = 0, after = 0;
    ASSERT_EQ(getAxisCoord(1, 1, 0, &before, kCnc), 0);
    ASSERT_EQ(jogMotionP_Run(1, 1, 100, 250, 0, 0, kCnc), 0);
    ASSERT_EQ(getAxisCoord(1, 1, 0, &after, kCnc), 0);
    EXPECT_NE(before, after);
    sim->raiseAlarm(11, 22, 33);
    ASSERT_EQ(alarmRead(1, &o1, &o2, &o3, kCnc), 0);
    EXPECT_EQ(o1, 11);
    EXPECT_EQ(o2, 22);
    EXPECT_EQ(o3, 33);
}
}

// The exports the command table covers, for the table of every export.
std::set<std::string> commandExportNames()
{
    std::set<std::string> names;
    for (const CommandRow& row : commandTable())
        names.insert(row.name);
    return names;
}
