// cnccomm against the cnc-simulator program, as a user would run them side by side.
#include "CnccommFixture.h"

#include <QElapsedTimer>
#include <QProcess>

namespace {
// The simulator program on a free loopback address; stopped with the object.
class SimulatorProgram
{
public:
    explicit SimulatorProgram(const QStringList& options = {})
    {
        for (int host = 60 + int(getpid() % 60), tries = 0; tries < 60 && m_address.isEmpty(); ++tries, host = 60 + (host - 59) % 120) {
            const QString address = QStringLiteral("127.0.0.%1").arg(host);
            m_process.start(QStringLiteral(ACM_SIMULATOR_PROGRAM), QStringList{"--listen", address} + options);
            if (m_process.waitForReadyRead(5000) && m_process.readLine().contains("listening"))
                m_address = address;
            else {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }
    ~SimulatorProgram()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString address() const { return m_address; }

private:
    QProcess m_process;
    QString m_address;
};
}

TEST_F(CnccommTest, AgainstTheSimulatorProgram)
{
    SimulatorProgram program;
    ASSERT_FALSE(program.address().isEmpty()) << "cnc-simulator did not start";
    const QStringList host{"--host", program.address()};
    const ToolRun check = run(host + QStringList{"check"});
    EXPECT_EQ(check.status, 0) << qPrintable(check.err);
    EXPECT_TRUE(check.out.contains("CheckTcpWdt: result 0")) << qPrintable(check.out);

    EXPECT_EQ(run(host + QStringList{"write", "2000010=77"}).status, 0);
    EXPECT_EQ(run(host + QStringList{"read", "2000010"}).outLines().value(0), "2000010 = 77");

    const ToolRun missing = run(host + QStringList{"start", "O4321"});
    EXPECT_EQ(missing.status, 4);
    EXPECT_TRUE(missing.out.contains("cycStart: result 103")) << qPrintable(missing.out);
}

TEST_F(CnccommTest, TheSimulatorProgramAsAControllerToDevelopAgainst)
{
    SimulatorProgram program({"--run-time", "0.5", "--inject", "error 1 E9001 door open", "--inject",
                              "emergency-stop 3"});
    ASSERT_FALSE(program.address().isEmpty()) << "cnc-simulator did not start";
    const QStringList host{"--host", program.address()};
    const ToolRun errors = run(host + QStringList{"errors"});
    EXPECT_EQ(errors.status, 0) << qPrintable(errors.err);
    EXPECT_TRUE(errors.out.contains("E9001 door open")) << qPrintable(errors.out);
    EXPECT_EQ(run(host + QStringList{"errors", "--history", "--channel", "0"}).status, 0);
    EXPECT_EQ(run(host + QStringList{"jog", "1", "--distance", "5"}).status, 0) << "only channel 3 is stopped";
#ifdef ACM_FIRST_STEPS_PROGRAM
    for (int time = 1; time <= 2; ++time) {
        QProcess firstSteps;
        firstSteps.start(QStringLiteral(ACM_FIRST_STEPS_PROGRAM), {program.address()});
        ASSERT_TRUE(firstSteps.waitForFinished(20000));
        EXPECT_EQ(firstSteps.exitCode(), 0) << "the README's first program, run " << time << " times";
    }
#endif

    // A started program ends by itself after its run time.
    const QString file = writeFile("P5", "G1 X1\n");
    ASSERT_EQ(run(host + QStringList{"send", file, "--start"}).status, 0);
    EXPECT_EQ(run(host + QStringList{"send", file}).status, 4) << "refused while it runs";
    QElapsedTimer waited;
    waited.start();
    int status = 4;
    while (status != 0 && waited.elapsed() < 10000)
        status = run(host + QStringList{"send", file}).status;
    EXPECT_EQ(status, 0) << "the program never ended";
}

TEST_F(CnccommTest, TheSimulatorProgramSaysWhyItCannotStart)
{
    const struct
    {
        QStringList args;
        QString says;
    } rows[] = {
        {{"--inject", "r channel 0 state 3"}, "channel 0: requests 'r' go to channels from 1 on"},
        {{"--listen", sim.address()}, "cannot listen on " + sim.address() + ":60000: The bound address is already in use"},
        {{"--run-time", "-1"}, "--run-time: '-1' is not a number of seconds"},
    };
    for (const auto& row : rows) {
        QProcess process;
        process.start(QStringLiteral(ACM_SIMULATOR_PROGRAM), row.args);
        ASSERT_TRUE(process.waitForFinished(10000)) << qPrintable(row.args.join(' '));
        EXPECT_NE(process.exitCode(), 0) << qPrintable(row.args.join(' '));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_TRUE(err.contains(row.says)) << qPrintable(err);
    }
}
