#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server in a child process, on port 21 of a loopback address of its own, with the users
// "root" and "ftp" in temporary homes; it logs every command line it receives.
class FtpServerProcess
{
public:
    struct Options
    {
        QString stall;      // a command the server takes in without ever answering
        int dropDataAfter = 0; // the server drops an upload's data connection after so many bytes, silently
    };

    ~FtpServerProcess();

    // Starts on the first free address from 127.0.0.<firstHost>; waits until it listens.
    bool start(const Options& options, int firstHost);
    // SIGKILL, as a controller that loses power.
    void kill();
    QString address() const { return m_address; }
    int hostNumber() const { return m_address.section(QLatin1Char('.'), 3, 3).toInt(); }
    QString rootHome() const { return m_dir.path() + QStringLiteral("/root"); }
    QString ftpHome() const { return m_dir.path() + QStringLiteral("/ftp"); }
    // Every command line received so far, in order.
    QStringList commands() const;
    bool received(const QString& commandPrefix) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
};
