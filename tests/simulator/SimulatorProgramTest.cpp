// The cnc-simulator program itself: help, version and refused command lines end the
// process at once with their exit status, and nothing is served meanwhile.
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace {
constexpr int kPromptMs = 5000;

struct ProgramRun
{
    bool finished = false;
    bool served = false; // something accepted a connection on the probed port meanwhile
    int exitCode = -1;
    QByteArray out, err;
};

// A loopback port nobody listens on right now.
quint16 freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0) ? server.serverPort() : 0;
}

bool accepts(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port);
    return probe.waitForConnected(50);
}

// Runs the program, probing 127.0.0.1:probePort until it ends; a program still running
// after kPromptMs is killed.
ProgramRun runProgram(const QStringList& arguments, quint16 probePort)
{
    ProgramRun run;
    QProcess process;
    process.start(QStringLiteral(CNC_SIMULATOR_PROGRAM), arguments);
    if (!process.waitForStarted(kPromptMs))
        return run;
    QElapsedTimer clock;
    clock.start();
    while (!run.finished && clock.elapsed() < kPromptMs) {
        run.served = run.served || (probePort != 0 && accepts(probePort));
        run.finished = process.waitForFinished(20);
    }
    if (!run.finished) {
        process.kill();
        process.waitForFinished(kPromptMs);
    } else {
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

TEST(SimulatorProgramTest, HelpAndVersionPrintAndEndWithZero)
{
    const quint16 port = freePort();
    ASSERT_NE(port, 0);
    const QString portText = QString::number(port);
    const QStringList lines[] = {
        {QStringLiteral("--help")},
        {QStringLiteral("-h")},
        {QStringLiteral("--version")},
        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"), portText,
         QStringLiteral("--help")},
        {QStringLiteral("--port"), portText, QStringLiteral("--version")},
    };
    for (const QStringList& line : lines) {
        SCOPED_TRACE(line.join(' ').toStdString());
        const ProgramRun run = runProgram(line, port);
        EXPECT_FALSE(run.served);
        EXPECT_TRUE(run.finished) << "still running after " << kPromptMs << " ms";
        if (!run.finished)
            continue;
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("listening"));
        if (line.contains(QStringLiteral("--version")))
            EXPECT_EQ(run.out.toStdString(), "cnc-simulator " ACM_VERSION "\n");
        else
            EXPECT_TRUE(run.out.contains("--port")) << run.out.toStdString();
    }
}

TEST(SimulatorProgramTest, BadOrUnknownOptionsEndWithTwoAndSayWhy)
{
    const quint16 port = freePort();
    ASSERT_NE(port, 0);
    const QString portText = QString::number(port);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString badScript = dir.filePath(QStringLiteral("bad.rules"));
    QFile script(badScript);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("p silent # fine\njog state 3\n");
    script.close();
    struct Case
    {
        QStringList line;
        const char* named;
    };
    const Case cases[] = {
        {{QStringLiteral("--port"), QStringLiteral("70000")}, "70000"},
        {{QStringLiteral("--port"), QStringLiteral("abc")}, "abc"},
        {{QStringLiteral("--port"), portText, QStringLiteral("--serial-mode"), QStringLiteral("3")}, "--serial-mode"},
        {{QStringLiteral("--listen"), QStringLiteral("127.0.0.300"), QStringLiteral("--port"), portText},
         "127.0.0.300"},
        {{QStringLiteral("--port"), portText, QStringLiteral("--bogus")}, "bogus"},
        {{QStringLiteral("--port"), portText, QStringLiteral("--udp-port"), QStringLiteral("0")}, "--udp-port"},
        {{QStringLiteral("--port"), portText, QStringLiteral("--inject"), QStringLiteral("r 1 stat 3")},
         "--inject 'r 1 stat 3': unknown word 'stat'"},
        {{QStringLiteral("--port"), portText, QStringLiteral("--script"), badScript}, ":2: 'jog' is neither a request"},
        {{QStringLiteral("--port"), portText, QStringLiteral("--script"), dir.filePath(QStringLiteral("none"))},
         "cannot read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.join(' ').toStdString());
        const ProgramRun run = runProgram(c.line, port);
        EXPECT_FALSE(run.served);
        EXPECT_TRUE(run.finished) << "still running after " << kPromptMs << " ms";
        if (!run.finished)
            continue;
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_TRUE(run.err.startsWith("cnc-simulator: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.named)) << run.err.toStdString();
    }
}
}
