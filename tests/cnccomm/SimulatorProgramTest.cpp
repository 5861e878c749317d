// cnccomm against the cnc-simulator program, as a user would run them side by side.
#include "CnccommFixture.h"

#include <QProcess>

namespace {
// The simulator program on a free loopback address; stopped with the object.
class SimulatorProgram
{
public:
    SimulatorProgram()
    {
        for (int host = 60 + int(getpid() % 60), tries = 0; tries < 60 && m_address.isEmpty(); ++tries, host = 60 + (host - 59) % 120) {
            const QString address = QStringLiteral("127.0.0.%1").arg(host);
            m_process.start(QStringLiteral(ACM_SIMULATOR_PROGRAM), {"--listen", address});
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
