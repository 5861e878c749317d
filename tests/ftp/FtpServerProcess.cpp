#include "FtpServerProcess.h"

#include <QDir>
#include <QFile>

FtpServerProcess::~FtpServerProcess()
{
    kill();
}

bool FtpServerProcess::start(const Options& options, int firstHost)
{
    kill();
    m_address.clear();
    if (!m_dir.isValid() || !QDir().mkpath(rootHome()) || !QDir().mkpath(ftpHome()))
        return false;
    QStringList args{QStringLiteral(ACM_FTP_SERVER_SCRIPT), "--first-host", QString::number(firstHost), "--root-home", rootHome(),
                     "--ftp-home", ftpHome(), "--log", m_dir.path() + "/commands.log", "--lifetime", "90"};
    if (!options.stall.isEmpty())
        args << QStringLiteral("--stall") << options.stall;
    if (options.dropDataAfter > 0)
        args << QStringLiteral("--drop-data-after") << QString::number(options.dropDataAfter);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(ACM_FTP_PYTHON), args);
    if (!m_process.waitForStarted(5000))
        return false;
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
        if (!m_process.waitForReadyRead(100) && m_process.state() != QProcess::Running)
            break;
        out += m_process.readAllStandardOutput();
    }
    if (!out.startsWith("READY ")) {
        kill();
        return false;
    }
    m_address = QString::fromLatin1(out.mid(6).trimmed());
    return true;
}

void FtpServerProcess::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QStringList FtpServerProcess::commands() const
{
    QFile log(m_dir.path() + QStringLiteral("/commands.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

bool FtpServerProcess::received(const QString& commandPrefix) const
{
    for (const QString& line : commands())
        if (line.startsWith(commandPrefix))
            return true;
    return false;
}
