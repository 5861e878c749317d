#pragma once
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

// A controller's FTP service: pyftpdlib in a child process on port 21 of the controller's
// address, with the users "root" and "ftp" (password 470913) both at home in one folder that
// holds the controller's folders. The server ends with this object, and also when the
// simulator process dies (it reads its standard input to the end).
class FtpEndpoint
{
public:
    static constexpr quint16 kPort = 21;

    FtpEndpoint();
    ~FtpEndpoint();
    FtpEndpoint(const FtpEndpoint&) = delete;
    FtpEndpoint& operator=(const FtpEndpoint&) = delete;

    // python: the interpreter to use; empty: the first of pythonCandidates() that has pyftpdlib.
    // verbose: the server logs each command on standard error. Bounded: a few seconds at most.
    bool start(const QString& address, const QString& home, const QString& python, bool verbose);
    void stop();
    // Why start() failed, for the user.
    const QString& failure() const { return m_failure; }
    const QString& python() const { return m_python; }

    // /usr/bin/python3, then python3 on PATH (each once), as pyftpdlib's Debian package is
    // installed for the system's python, which need not be the first on PATH.
    static QStringList pythonCandidates();
    // veko/usr/sys0000 ... sys0009, each with program and plc, and updata, under home.
    static bool makeControllerFolders(const QString& home);

private:
    enum class Attempt { Serving, NoPyftpdlib, CannotRun, Failed };
    Attempt attempt(const QString& python, const QString& address, const QString& home, bool verbose);

    std::unique_ptr<QProcess> m_process;
    QString m_failure;
    QString m_python;
};
