#include "BackgroundTool.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <csignal>

BackgroundTool::BackgroundTool(const QStringList& args)
{
    m_process.start(QStringLiteral(CNCCOMM_PROGRAM), args);
    EXPECT_TRUE(m_process.waitForStarted(5000)) << "cnccomm did not start";
}

BackgroundTool::~BackgroundTool()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool BackgroundTool::waitForOutput(const QByteArray& text, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!m_out.contains(text) && waited.elapsed() < timeoutMs && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(50);
        m_out += m_process.readAllStandardOutput();
    }
    return m_out.contains(text);
}

void BackgroundTool::interrupt()
{
    ::kill(pid_t(m_process.processId()), SIGINT);
}

ToolRun BackgroundTool::finish(int timeoutMs)
{
    return ToolRun::finish(m_process, m_out, timeoutMs);
}
