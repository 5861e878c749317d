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

TEST(SimulatorProgramTest, CommandLinesThatServeNothingEndAtOnce)
{
    QTcpServer probe; // a loopback port nobody listens on once it is closed
    ASSERT_TRUE(probe.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const quint16 port = probe.serverPort();
    probe.close();
    const QString p = QString::number(port);
    QTemporaryDir dir;
    const QString badScript = dir.filePath(QStringLiteral("bad.rules"));
    QFile script(badScript);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly) && script.write("p silent # fine\njog state 3\n") > 0);
    script.close();
    // stdout is out (exactly when out ends with a line feed); stderr starts "cnc-simulator: " and contains err,
    // or is empty for nullptr.
    const struct { QStringList line; int exitCode; const char *out, *err; } rows[] = {
        {{"--help"}, 0, "Usage: cnc-simulator [options]", nullptr},
        {{"-h"}, 0, "--port", nullptr},
        {{"--listen", "127.0.0.1", "--port", p, "--help"}, 0, "--port", nullptr},
        {{"--version"}, 0, "cnc-simulator " ACM_VERSION "\n", nullptr},
        {{"--port", p, "--version"}, 0, "cnc-simulator " ACM_VERSION "\n", nullptr},
        {{"--port", "70000"}, 2, "", "70000"},
        {{"--port", "abc"}, 2, "", "abc"},
        {{"--port", p, "--serial-mode", "3"}, 2, "", "--serial-mode"},
        {{"--listen", "127.0.0.300", "--port", p}, 2, "", "127.0.0.300"},
        {{"--port", p, "--bogus"}, 2, "", "bogus"},
        {{"--port", p, "--udp-port", "0"}, 2, "", "--udp-port"},
        {{"--port", p, "--inject", "r 1 stat 3"}, 2, "", "--inject 'r 1 stat 3': unknown word 'stat'"},
        {{"--port", p, "--inject", "P silent"}, 2, "", "the library sends no request 'P', so the rule would never match"},
        {{"--port", p, "--script", badScript}, 2, "", ":2: 'jog' is neither a request"},
        {{"--port", p, "--script", dir.filePath(QStringLiteral("none"))}, 2, "", "cannot read"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line.join(' ').toStdString());
        QProcess process;
        process.start(QStringLiteral(CNC_SIMULATOR_PROGRAM), row.line);
        bool served = false;
        QElapsedTimer clock;
        clock.start();
        while (process.state() != QProcess::NotRunning && clock.elapsed() < kPromptMs) {
            QTcpSocket client;
            client.connectToHost(QStringLiteral("127.0.0.1"), port);
            served = served || client.waitForConnected(50);
            process.waitForFinished(20);
        }
        const bool ended = process.state() == QProcess::NotRunning;
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        ASSERT_TRUE(ended) << "still running after " << kPromptMs << " ms";
        EXPECT_FALSE(served);
        EXPECT_EQ(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, row.exitCode);
        const std::string out = process.readAllStandardOutput().toStdString();
        const std::string err = process.readAllStandardError().toStdString();
        const bool whole = *row.out && std::string(row.out).back() == '\n';
        EXPECT_TRUE(whole ? out == row.out : *row.out ? out.find(row.out) != std::string::npos : out.empty()) << out;
        EXPECT_TRUE(row.err ? err.rfind("cnc-simulator: ", 0) == 0 && err.find(row.err) != std::string::npos : err.empty())
            << err;
    }
}
}
