#include "FtpEndpoint.h"

#include "FtpServerScript.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {
constexpr int kStartMs = 10000; // a loaded machine takes a while to import pyftpdlib
constexpr int kStopMs = 2000;
constexpr int kChannelFolders = 10; // sys0000 ... sys0009
constexpr int kErrnoAccess = 13;
constexpr int kErrnoInUse = 98;

QString bindFailure(const QByteArray& detail)
{
    const QString text = QString::fromLocal8Bit(detail);
    const int errnoValue = text.section(QLatin1Char(' '), 0, 0).toInt();
    const QString reason = text.section(QLatin1Char(' '), 1);
    if (errnoValue == kErrnoAccess)
        return QStringLiteral("port 21 cannot be bound (%1): it needs root").arg(reason);
    if (errnoValue == kErrnoInUse)
        return QStringLiteral("port 21 cannot be bound (%1): another server has it").arg(reason);
    return QStringLiteral("port 21 cannot be bound (%1)").arg(reason);
}
}

FtpEndpoint::FtpEndpoint() = default;

FtpEndpoint::~FtpEndpoint()
{
    stop();
}

QStringList FtpEndpoint::pythonCandidates()
{
    QStringList candidates{QStringLiteral("/usr/bin/python3")};
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() != QFileInfo(candidates.first()).canonicalFilePath())
        candidates << onPath;
    return candidates;
}

bool FtpEndpoint::makeControllerFolders(const QString& home)
{
    QDir dir(home);
    bool ok = dir.mkpath(QStringLiteral("updata"));
    for (int channel = 0; channel < kChannelFolders; ++channel) {
        const QString folder = QStringLiteral("veko/usr/sys%1/").arg(channel, 4, 10, QLatin1Char('0'));
        ok = dir.mkpath(folder + QStringLiteral("program")) && ok;
        ok = dir.mkpath(folder + QStringLiteral("plc")) && ok;
    }
    return ok;
}

bool FtpEndpoint::start(const QString& address, const QString& home, const QString& python, bool verbose)
{
    stop();
    m_failure.clear();
    if (!makeControllerFolders(home)) {
        m_failure = QStringLiteral("the folders under %1 cannot be made").arg(home);
        return false;
    }
    const QStringList candidates = python.isEmpty() ? pythonCandidates() : QStringList{python};
    QStringList without;
    for (const QString& candidate : candidates) {
        switch (attempt(candidate, address, home, verbose)) {
        case Attempt::Serving:
            m_python = candidate;
            return true;
        case Attempt::Failed:
            return false;
        case Attempt::NoPyftpdlib:
            without << candidate;
            break;
        case Attempt::CannotRun:
            without << candidate + QStringLiteral(" (cannot run)");
            break;
        }
    }
    m_failure = QStringLiteral("pyftpdlib is not installed for %1; install the Debian package python3-pyftpdlib "
                               "or name a python3 that has it with --ftp-python")
                    .arg(without.join(QStringLiteral(" or ")));
    return false;
}

FtpEndpoint::Attempt FtpEndpoint::attempt(const QString& python, const QString& address, const QString& home,
                                          bool verbose)
{
    m_process.reset(new QProcess);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(python, {QStringLiteral("-c"), QString::fromLatin1(ftpServerScript()), address,
                              QString::number(kPort), home, verbose ? QStringLiteral("1") : QStringLiteral("0")});
    if (!m_process->waitForStarted(kStartMs)) {
        m_process.reset();
        return Attempt::CannotRun;
    }
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains('\n') && clock.elapsed() < kStartMs) {
        if (!m_process->waitForReadyRead(100) && m_process->state() == QProcess::NotRunning)
            break;
        out += m_process->readAllStandardOutput();
    }
    out += m_process->readAllStandardOutput();
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (line == "READY")
        return Attempt::Serving;
    stop();
    if (line == "NO-PYFTPDLIB")
        return Attempt::NoPyftpdlib;
    if (line.startsWith("CANNOT-BIND "))
        m_failure = bindFailure(line.mid(12));
    else if (line.isEmpty() && clock.elapsed() >= kStartMs)
        m_failure = QStringLiteral("%1 did not start pyftpdlib within %2 s").arg(python).arg(kStartMs / 1000);
    else if (line.isEmpty())
        return Attempt::CannotRun; // not a python at all, or one that died at once
    else
        m_failure = QStringLiteral("%1 said '%2'").arg(python, QString::fromLocal8Bit(line));
    return Attempt::Failed;
}

void FtpEndpoint::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->closeWriteChannel(); // the server ends when its input does
        if (!m_process->waitForFinished(kStopMs)) {
            m_process->kill();
            m_process->waitForFinished(kStopMs);
        }
    }
    m_process.reset();
}
