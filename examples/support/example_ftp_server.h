// Harness of the FTP example, not part of the library: the pyftpdlib server of the FTP tests
// (the controller's users "root" and "ftp") on port 21 of a loopback address, and the
// simulator on the same address, whose sync service the uploads notify.
#pragma once
#include "example_support.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

class ExampleFtpServer
{
public:
    enum Outcome { Started, Failed, CannotRunHere };

    ~ExampleFtpServer()
    {
        simulatorKill();
        if (m_process.state() != QProcess::NotRunning) {
            m_process.closeWriteChannel(); // the server ends when its input closes
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
    }

    Outcome start(const QString& python, const QString& script, const char* simulator)
    {
        QProcess probe;
        probe.setStandardErrorFile(QProcess::nullDevice());
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")});
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
            std::printf("SKIPPED: %s cannot import pyftpdlib (install the package python3-pyftpdlib)\n",
                        qPrintable(python));
            return CannotRunHere;
        }
        if (geteuid() != 0) {
            std::printf("SKIPPED: the FTP server listens on port 21, which needs root\n");
            return CannotRunHere;
        }
        if (!m_dir.isValid() || !QDir().mkpath(rootHome()) || !QDir().mkpath(m_dir.filePath(QStringLiteral("ftp"))))
            return Failed;
        for (int firstHost = 120 + getpid() % 40, tries = 0; tries < 10; ++tries) {
            const int host = startServer(python, script, firstHost);
            if (host < 0)
                return Failed;
            if (simulatorStartOn(simulator, qPrintable(m_address)))
                return Started;
            m_process.kill(); // the simulator's address is taken: both move on
            m_process.waitForFinished(3000);
            firstHost = host + 1;
        }
        return Failed;
    }

    QByteArray address() const { return m_address.toLatin1(); }
    // The folder that the FTP user "root" sees as "/".
    QString rootHome() const { return m_dir.filePath(QStringLiteral("root")); }

private:
    // The host number of the address the server took, or -1.
    int startServer(const QString& python, const QString& script, int firstHost)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(python, {script, QStringLiteral("--first-host"), QString::number(firstHost),
                                 QStringLiteral("--root-home"), rootHome(),
                                 QStringLiteral("--ftp-home"), m_dir.filePath(QStringLiteral("ftp")),
                                 QStringLiteral("--log"), m_dir.filePath(QStringLiteral("commands.log")),
                                 QStringLiteral("--lifetime"), QStringLiteral("60")});
        QByteArray out;
        for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
            if (!m_process.waitForReadyRead(100) && m_process.state() != QProcess::Running)
                break;
            out += m_process.readAllStandardOutput();
        }
        if (!out.startsWith("READY "))
            return -1;
        m_address = QString::fromLatin1(out.mid(6).trimmed());
        return m_address.section(QLatin1Char('.'), 3, 3).toInt();
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
};
