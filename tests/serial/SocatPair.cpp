#include "SocatPair.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>

SocatPair::~SocatPair()
{
    stop();
}

bool SocatPair::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty();
}

bool SocatPair::start(int timeoutMs)
{
    m_process.setProgram(QStringLiteral("socat"));
    m_process.setArguments({"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"});
    m_process.setReadChannel(QProcess::StandardError);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    // socat -d -d names each end in a line "... PTY is /dev/pts/N".
    const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)"));
    QByteArray text;
    QElapsedTimer clock;
    clock.start();
    while (m_ends.size() < 2 && clock.elapsed() < timeoutMs) {
        m_process.waitForReadyRead(100);
        text += m_process.readAllStandardError();
        m_ends.clear();
        auto it = ptyLine.globalMatch(QString::fromLocal8Bit(text));
        while (it.hasNext())
            m_ends << it.next().captured(1);
    }
    return m_ends.size() == 2;
}

void SocatPair::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}
