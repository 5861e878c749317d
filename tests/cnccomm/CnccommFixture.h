#pragma once
// Runs the built cnccomm against a simulated controller of the test process; helpers defined
// where they are declared.
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

// One run of the built cnccomm: its exit status and what it printed.
struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
    QStringList outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    QJsonObject json() const // the last line of stdout as a JSON object (empty when it is none)
    {
        return QJsonDocument::fromJson(outLines().value(outLines().size() - 1).toUtf8()).object();
    }
};

// cnccomm running in the background, its output read as it comes, so that a test can act on
// what it has printed.
class BackgroundTool
{
public:
    explicit BackgroundTool(const QStringList& args,
                            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(CNCCOMM_PROGRAM), args);
        EXPECT_TRUE(m_process.waitForStarted(5000)) << "cnccomm did not start";
    }
    ~BackgroundTool()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // True once stdout holds text; false when timeoutMs passed first.
    bool waitForOutput(const QByteArray& text, int timeoutMs = 10000)
    {
        QElapsedTimer waited;
        waited.start();
        while (!m_out.contains(text) && waited.elapsed() < timeoutMs && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(50);
            m_out += m_process.readAllStandardOutput();
        }
        return m_out.contains(text);
    }
    void interrupt(int signal = SIGINT) { ::kill(pid_t(m_process.processId()), signal); } // SIGINT: as Ctrl-C
    // Waits for it to end (the test fails when it does not within timeoutMs; it is then killed).
    ToolRun finish(int timeoutMs = 20000)
    {
        ToolRun result;
        if (m_process.state() == QProcess::NotRunning || !m_process.waitForFinished(timeoutMs)) {
            ADD_FAILURE() << "cnccomm " << qPrintable(m_process.arguments().join(' ')) << " did not end within "
                          << timeoutMs << " ms";
            return result;
        }
        result.status = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        result.out = QString::fromUtf8(m_out + m_process.readAllStandardOutput());
        result.err = QString::fromUtf8(m_process.readAllStandardError());
        return result;
    }
    QByteArray outSoFar() const { return m_out; }

private:
    QProcess m_process;
    QByteArray m_out;
};

class CnccommTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start()) << "no loopback address with port 60000 free";
        ASSERT_TRUE(dir.isValid());
    }
    // cnccomm with the arguments; the test fails when it does not end within 20 s.
    static ToolRun run(const QStringList& args,
                       const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        return BackgroundTool(args, environment).finish();
    }
    // The same, with --host of the simulator in front.
    ToolRun runHere(const QStringList& args) { return run(QStringList{"--host", sim.address()} + args); }
    std::unique_ptr<BackgroundTool> startHere(const QStringList& args)
    {
        return std::make_unique<BackgroundTool>(QStringList{"--host", sim.address()} + args);
    }
    QString writeFile(const QString& name, const QByteArray& content)
    {
        QFile f(dir.path() + QLatin1Char('/') + name);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            ADD_FAILURE() << "cannot write " << qPrintable(f.fileName());
        return f.fileName();
    }

    SimulatedController sim;
    QTemporaryDir dir;
};

// True when the lines "LABEL: N%" of text rise from 0 to 100; count is how many there are.
inline bool risingPercents(const QString& text, const QString& label, size_t* count = nullptr)
{
    std::vector<int> percents;
    const QRegularExpression line(QStringLiteral("^%1: (\\d+)%$").arg(QRegularExpression::escape(label)),
                                  QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(text); it.hasNext();)
        percents.push_back(it.next().captured(1).toInt());
    if (count)
        *count = percents.size();
    return std::is_sorted(percents.begin(), percents.end()) && !percents.empty() && percents.front() == 0 &&
           percents.back() == 100;
}
