// The simulator program with failures injected from its command line and a script file, seen through
// the exported functions as an application sees them: result codes and the error callback.
#include "AsyncCommModule.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace {
constexpr int kCnc = 61;
constexpr CncLong kVariable = 1000005;

class InjectedFailuresTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (int id : {kCnc, kCnc + 1})
            removeTargetCnc(id);
        simulator.stop();
    }
    // Starts the simulator with these arguments (given its controllers' addresses) and connects
    // target kCnc + i to its controller i, reporting to recordError.
    void start(int controllers, const SimulatorProcess::Arguments& arguments)
    {
        ASSERT_TRUE(simulator.start(arguments, controllers)) << simulator.errors().toStdString();
        for (int i = 0; i < controllers; ++i) {
            const QByteArray ip = simulator.addressBytes(i);
            ASSERT_TRUE(addTargetCnc(kCnc + i, 2, ip.constData(), 0) && connect(kCnc + i));
            ASSERT_TRUE(setErrCallbackFunc(recordError, kCnc + i));
        }
        clearReportedError();
    }
    CncLong readVariable(int id)
    {
        CncLong address = kVariable, value = -1;
        EXPECT_EQ(readVars(&address, 1, &value, id), 0);
        return value;
    }
    // The last report as "errorCmd state detail", and how many came since the last look.
    static std::string reports()
    {
        const ReportedError r = reportedError();
        clearReportedError();
        return std::to_string(r.calls) + ": " + std::to_string(r.errorCmd) + " " + std::to_string(r.cmdState) + " " + r.detail;
    }

    ScaledWaits waits{kTestWaitScale}; // the watchdog's unanswered request costs a quarter
    QTemporaryDir dir;
    SimulatorProcess simulator;
};

TEST_F(InjectedFailuresTest, RulesOfAScriptAndTheCommandLineReachTheApplication)
{
    const QString script = dir.filePath(QStringLiteral("failures.rules"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# jog starts on channel 1 fail; channel 2 is left alone\n"
               "r 1 channel 1 state 3\n"
               "p silent times 1      # one watchdog goes unanswered\n"
               "variable 1000005 42\n"
               "running 2 O0042\n"
               "alarm 5 6 7\n"
               "D state 1             # every variable write is refused\n"
               "t 10 channel 2 reply 5a  # a reply of a kind no request has\n");
    file.close();
    start(1, [&](const QStringList&) {
        return QStringList{"--script", script, "--inject", "q 1 delay 100 times 1", "--inject", "alarm 8 9 10"};
    });

    EXPECT_EQ(jogMotionV_Run(1, 1, 100, 0, 0, kCnc), 103);
    EXPECT_EQ(jogMotionV_Run(2, 1, 100, 0, 0, kCnc), 0);
    EXPECT_EQ(jogMotionV_Stop(1, 1, kCnc), 0) << "the rule names sub-code 1 only";

    EXPECT_EQ(CheckTcpWdt(kCnc), 111);
    EXPECT_EQ(CheckTcpWdt(kCnc), 0);

    EXPECT_EQ(readVariable(kCnc), 42);
    CncLong address = kVariable, value = 5;
    EXPECT_EQ(writeVars(&address, 1, &value, kCnc), 111);
    EXPECT_EQ(reports(), "1: 6 1 parameters error.");
    EXPECT_EQ(readVariable(kCnc), 42) << "the refused write changed nothing";

    const char* running = getRuningPrg(2, kCnc);
    EXPECT_STREQ(running ? running : "(none)", "O0042");
    char name[] = "O0001";
    EXPECT_EQ(cycStart(2, name, kCnc), 102);
    EXPECT_EQ(reports(), "1: 8 2 program is runing.");

    CncLong a = 0, b = 0, c = 0;
    EXPECT_EQ(alarmRead(1, &a, &b, &c, kCnc), 0);
    EXPECT_EQ(std::vector<CncLong>({a, b, c}), std::vector<CncLong>({8, 9, 10})) << "the command line comes after the script";

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(homeRunAxis(1, 1, kCnc), 0);
    EXPECT_GE(clock.elapsed(), 100);

    EXPECT_EQ(alarmRead(2, &a, &b, &c, kCnc), 111) << "the unknown reply answered nothing";
    EXPECT_EQ(reports(), "1: 9 0 unknown command.");
}

TEST_F(InjectedFailuresTest, DncMemoryFullAndBusyPhasesReachTheTransfer)
{
    start(2, [](const QStringList& addresses) {
        return QStringList{"--inject", "@" + addresses.at(1) + " dnc-capacity 8", "--inject", "@" + addresses.at(0) + " busy 1 200"};
    });
    char name[] = "O0100";
    char text[] = "G00 X10 Y10\n";
    EXPECT_EQ(setTransFileType(1, 1, name, kCnc + 1), 0);
    EXPECT_EQ(overwrite(text, 1, kCnc + 1), 103);
    EXPECT_EQ(reports(), "1: 2 3 DNC 内存已满，此笔数据复写失败");

    // Every block is stored busy, the empty one that clears the file and the text: each is reported.
    EXPECT_EQ(setTransFileType(1, 1, name, kCnc), 0);
    EXPECT_EQ(overwrite(text, 1, kCnc), 0);
    EXPECT_EQ(reports(), "2: 2 2 DNC 内存已满，此笔数据复写成功");
}

TEST_F(InjectedFailuresTest, SeveralControllersInOneProcessKeepTheirOwnState)
{
    start(2, [](const QStringList& addresses) {
        return QStringList{"--inject", "@" + addresses.at(0) + " variable 1000005 11", "--inject",
                           "@" + addresses.at(1) + " variable 1000005 22", "--inject", "@" + addresses.at(1) + " emergency-stop 1"};
    });
    EXPECT_EQ(readVariable(kCnc), 11);
    EXPECT_EQ(readVariable(kCnc + 1), 22);
    CncLong address = kVariable, value = 99;
    EXPECT_EQ(writeVars(&address, 1, &value, kCnc), 0);
    EXPECT_EQ(readVariable(kCnc), 99);
    EXPECT_EQ(readVariable(kCnc + 1), 22);

    EXPECT_EQ(jogMotionV_Run(1, 1, 100, 0, 0, kCnc), 0);
    EXPECT_EQ(jogMotionV_Run(1, 1, 100, 0, 0, kCnc + 1), 102) << "its emergency stop is pressed";
    for (const auto& row : {std::make_pair(kCnc + 1, std::vector<CncLong>{1, 1, 1001}), std::make_pair(kCnc, std::vector<CncLong>{0, 0, 0})}) {
        CncLong a = -1, b = -1, c = -1;
        EXPECT_EQ(alarmRead(1, &a, &b, &c, row.first), 0);
        EXPECT_EQ(std::vector<CncLong>({a, b, c}), row.second) << row.first;
    }
}
}
