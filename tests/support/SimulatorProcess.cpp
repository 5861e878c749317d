#include "SimulatorProcess.h"

#include <QElapsedTimer>

#include <signal.h>

namespace {
constexpr int kReadyMs = 20000; // FTP servers start too
constexpr int kLastHost = 250;
}

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

bool SimulatorProcess::start(const Arguments& arguments, int count, int firstHost)
{
    for (int host = firstHost; host + count - 1 <= kLastHost; host += count) {
        QStringList addresses;
        for (int i = 0; i < count; ++i)
            addresses << QStringLiteral("127.0.0.%1").arg(host + i);
        if (startOn(addresses, arguments(addresses)))
            return true;
        // Another test process holds one of these addresses: the program could not listen.
        if (!m_err.contains("cannot listen"))
            return false;
    }
    return false;
}

bool SimulatorProcess::startOn(const QStringList& addresses, const QStringList& arguments)
{
    stop();
    m_out.clear();
    m_err.clear();
    m_addresses = addresses;
    m_arguments = arguments;
    m_process.start(QStringLiteral(CNC_SIMULATOR_PROGRAM),
                    QStringList{QStringLiteral("--listen"), addresses.first(), QStringLiteral("--controllers"),
                                QString::number(addresses.size())} + arguments);
    if (!m_process.waitForStarted(kReadyMs))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (output().count("listening") < addresses.size() && clock.elapsed() < kReadyMs) {
        if (!m_process.waitForReadyRead(100) && m_process.state() == QProcess::NotRunning)
            break;
    }
    errors();
    if (output().count("listening") == addresses.size())
        return true;
    stop();
    return false;
}

void SimulatorProcess::stop(int signal)
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process.processId()), signal); // as Ctrl-C would: it stops its FTP servers on the way out
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    output();
    errors();
}

void SimulatorProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

QByteArray SimulatorProcess::output()
{
    m_out += m_process.readAllStandardOutput();
    return m_out;
}

QByteArray SimulatorProcess::errors()
{
    m_err += m_process.readAllStandardError();
    return m_err;
}
