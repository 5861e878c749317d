// The simulator program with failures injected from its command line and from a script file,
// seen through the library's exported functions as an application sees them: result codes
// and the error callback.
#include "AsyncCommModule.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

namespace {
constexpr int kCnc = 61;
constexpr int kChannels = 2;
constexpr CncLong kVariable = 1000005;

class InjectedFailuresTest : public ::testing::Test
{
protected:
    void SetUp() override { clearReportedError(); }
    void TearDown() override
    {
        for (int id : {kCnc, kCnc + 1}) {
            disconnect(id);
            removeTargetCnc(id);
        }
        simulator.stop();
    }
    // Registers target id for the simulator's controller `index`, connected, reporting to recordError.
    void connectTarget(int id, int index = 0)
    {
        QByteArray ip = simulator.addressBytes(index);
        ASSERT_TRUE(addTargetCnc(id, kChannels, ip.data(), 0));
        ASSERT_TRUE(connect(id));
        ASSERT_TRUE(setErrCallbackFunc(recordError, id));
    }
    QString writeScript(const QByteArray& text)
    {
        const QString path = dir.filePath(QStringLiteral("failures.rules"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }
    CncLong readVariable(int id)
    {
        CncLong address = kVariable, value = -1;
        EXPECT_EQ(readVars(&address, 1, &value, id), 0);
        return value;
    }
    // The last report, and how many came since the last check.
    void expectReport(int32_t errorCmd, int32_t state, const char* text, int calls = 1)
    {
        const ReportedError report = reportedError();
        EXPECT_EQ(report.calls, calls) << "the last: " << report.errorCmd << ", " << report.cmdState << ", " << report.detail;
        EXPECT_EQ(report.errorCmd, errorCmd);
        EXPECT_EQ(report.cmdState, state);
        EXPECT_EQ(report.detail, text);
        clearReportedError();
    }

    QTemporaryDir dir;
    SimulatorProcess simulator;
};

TEST_F(InjectedFailuresTest, RulesOfAScriptAndTheCommandLineReachTheApplication)
{
    const QString script = writeScript("# jog starts on channel 1 fail; channel 2 is left alone\n"
                                       "r 1 channel 1 state 3\n"
                                       "p silent times 1      # one watchdog goes unanswered\n"
                                       "variable 1000005 42\n"
                                       "running 2 O0042\n"
                                       "alarm 5 6 7\n"
                                       "D state 1             # every variable write is refused\n"
                                       "t 10 channel 2 reply 5a  # a reply of a kind no request has\n");
    ASSERT_TRUE(simulator.start([&](const QStringList&) {
        return QStringList{QStringLiteral("--script"), script, QStringLiteral("--inject"),
                           QStringLiteral("q 1 delay 300 times 1"), QStringLiteral("--inject"),
                           QStringLiteral("alarm 8 9 10")};
    })) << simulator.errors().toStdString();
    connectTarget(kCnc);

    EXPECT_EQ(jogMotionV_Run(1, 1, 100, 0, 0, kCnc), 103);
    EXPECT_EQ(jogMotionV_Run(2, 1, 100, 0, 0, kCnc), 0);
    EXPECT_EQ(jogMotionV_Stop(1, 1, kCnc), 0) << "the rule names sub-code 1 only";

    EXPECT_EQ(CheckTcpWdt(kCnc), 111);
    EXPECT_EQ(CheckTcpWdt(kCnc), 0);

    EXPECT_EQ(readVariable(kCnc), 42);
    CncLong address = kVariable, value = 5;
    EXPECT_EQ(writeVars(&address, 1, &value, kCnc), 111);
    expectReport(6, 1, "parameters error.");
    EXPECT_EQ(readVariable(kCnc), 42) << "the refused write changed nothing";

    const char* running = getRuningPrg(2, kCnc);
    ASSERT_NE(running, nullptr);
    EXPECT_STREQ(running, "O0042");
    char name[] = "O0001";
    EXPECT_EQ(cycStart(2, name, kCnc), 102);
    expectReport(8, 2, "program is runing.");

    CncLong a = 0, b = 0, c = 0;
    EXPECT_EQ(alarmRead(1, &a, &b, &c, kCnc), 0);
    EXPECT_EQ(a, 8) << "the command line comes after the script";
    EXPECT_EQ(b, 9);
    EXPECT_EQ(c, 10);

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(homeRunAxis(1, 1, kCnc), 0);
    EXPECT_GE(clock.elapsed(), 300);

    EXPECT_EQ(alarmRead(2, &a, &b, &c, kCnc), 111) << "the unknown reply answered nothing";
    expectReport(9, 0, "unknown command.");
}

TEST_F(InjectedFailuresTest, DncMemoryFullAndBusyPhasesReachTheTransfer)
{
    ASSERT_TRUE(simulator.start([](const QStringList& addresses) {
        return QStringList{QStringLiteral("--inject"), QStringLiteral("@%1 dnc-capacity 8").arg(addresses.at(1)),
                           QStringLiteral("--inject"), QStringLiteral("@%1 busy 1 200").arg(addresses.at(0))};
    }, 2)) << simulator.errors().toStdString();
    connectTarget(kCnc, 0);
    connectTarget(kCnc + 1, 1);
    char name[] = "O0100";
    char text[] = "G00 X10 Y10\n";

    EXPECT_EQ(setTransFileType(1, 1, name, kCnc + 1), 0);
    EXPECT_EQ(overwrite(text, 1, kCnc + 1), 103);
    expectReport(2, 3, "DNC 内存已满，此笔数据复写失败");

    // Every block is stored busy, the empty one that clears the file and the text: each is reported.
    EXPECT_EQ(setTransFileType(1, 1, name, kCnc), 0);
    EXPECT_EQ(overwrite(text, 1, kCnc), 0);
    expectReport(2, 2, "DNC 内存已满，此笔数据复写成功", 2);
}

TEST_F(InjectedFailuresTest, SeveralControllersInOneProcessKeepTheirOwnState)
{
    ASSERT_TRUE(simulator.start([](const QStringList& addresses) {
        return QStringList{QStringLiteral("--inject"), QStringLiteral("@%1 variable 1000005 11").arg(addresses.at(0)),
                           QStringLiteral("--inject"), QStringLiteral("@%1 variable 1000005 22").arg(addresses.at(1)),
                           QStringLiteral("--inject"), QStringLiteral("@%1 emergency-stop 1").arg(addresses.at(1))};
    }, 2)) << simulator.errors().toStdString();
    EXPECT_EQ(simulator.output().count("listening"), 2) << simulator.output().toStdString();
    EXPECT_TRUE(simulator.errors().isEmpty()) << simulator.errors().toStdString();
    connectTarget(kCnc, 0);
    connectTarget(kCnc + 1, 1);

    EXPECT_EQ(readVariable(kCnc), 11);
    EXPECT_EQ(readVariable(kCnc + 1), 22);
    CncLong address = kVariable, value = 99;
    EXPECT_EQ(writeVars(&address, 1, &value, kCnc), 0);
    EXPECT_EQ(readVariable(kCnc), 99);
    EXPECT_EQ(readVariable(kCnc + 1), 22);

    EXPECT_EQ(jogMotionV_Run(1, 1, 100, 0, 0, kCnc), 0);
    EXPECT_EQ(jogMotionV_Run(1, 1, 100, 0, 0, kCnc + 1), 102) << "its emergency stop is pressed";
    CncLong a = -1, b = -1, c = -1;
    EXPECT_EQ(alarmRead(1, &a, &b, &c, kCnc + 1), 0);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 1001);
    EXPECT_EQ(alarmRead(1, &a, &b, &c, kCnc), 0);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 0);
}
}
