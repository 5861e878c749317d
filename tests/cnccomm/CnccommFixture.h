#pragma once
#include "TestSupport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// One run of the built cnccomm: its exit status and what it printed.
struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
    QJsonObject json() const; // the last line of stdout as a JSON object (empty when it is none)
    QStringList outLines() const;
    // Waits for process to end (the test fails when it does not within timeoutMs; it is then
    // killed); outSoFar is what was read of its stdout before.
    static ToolRun finish(QProcess& process, const QByteArray& outSoFar, int timeoutMs);
};

// cnccomm running in the background, its output read as it comes, so that a test can act on
// what it has printed.
class BackgroundTool
{
public:
    explicit BackgroundTool(const QStringList& args);
    ~BackgroundTool();
    // True once stdout holds text; false when timeoutMs passed first.
    bool waitForOutput(const QByteArray& text, int timeoutMs = 10000);
    void interrupt(); // SIGINT, as Ctrl-C
    ToolRun finish(int timeoutMs = 10000) { return ToolRun::finish(m_process, m_out, timeoutMs); }
    QByteArray outSoFar() const { return m_out; }

private:
    QProcess m_process;
    QByteArray m_out;
};

// A loopback address whose command, FTP and sync ports this object holds bound but not
// listening: a connection there is refused at once, and no other test can take the ports.
class RefusingAddress
{
public:
    RefusingAddress();
    ~RefusingAddress();
    QString address() const { return m_address; }

private:
    QString m_address;
    std::vector<int> m_sockets;
};

// Runs cnccomm against a simulated controller of this test process, on a loopback address of
// its own.
class CnccommTest : public ::testing::Test
{
protected:
    void SetUp() override;
    // cnccomm with the arguments; the test fails when it does not end within timeoutMs.
    ToolRun run(const QStringList& args, int timeoutMs = 20000,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // The same, with --host of the simulator in front.
    ToolRun runHere(const QStringList& args) { return run(QStringList{"--host", sim.address()} + args); }
    std::unique_ptr<BackgroundTool> startHere(const QStringList& args)
    {
        return std::make_unique<BackgroundTool>(QStringList{"--host", sim.address()} + args);
    }
    QString writeFile(const QString& name, const QByteArray& content);

    SimulatedController sim;
    QTemporaryDir dir;
};

// The percentages of the lines "LABEL: N%" in text, in order.
std::vector<int> percentLines(const QString& text, const QString& label);
// True when percents rise to 100.
bool rising(const std::vector<int>& percents);
// Numbered program lines, cut at bytes.
QByteArray programText(int bytes);
