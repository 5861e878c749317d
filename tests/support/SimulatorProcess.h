#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <functional>

// The cnc-simulator program as a child process, serving `count` controllers on consecutive
// loopback addresses that no other test holds. Killed when it goes.
class SimulatorProcess
{
public:
    // The arguments for the given controller addresses (besides --listen and --controllers).
    using Arguments = std::function<QStringList(const QStringList& addresses)>;

    ~SimulatorProcess();
    // Tries first addresses from 127.0.0.<firstHost> on until the program listens on all of them
    // (it says so last, after every service has started); bounded.
    bool start(const Arguments& arguments, int count = 1, int firstHost = 210);
    // SIGTERM by default; also SIGINT or SIGHUP.
    void stop(int signal = SIGTERM);
    // What a crash or a power cut does: no goodbye on any connection.
    void kill();
    // The same program again on the same addresses.
    bool restart() { return startOn(m_addresses, m_arguments); }
    QString address(int index = 0) const { return m_addresses.value(index); }
    QByteArray addressBytes(int index = 0) const { return address(index).toLatin1(); }
    // What the program wrote so far.
    QByteArray output();
    QByteArray errors();

private:
    bool startOn(const QStringList& addresses, const QStringList& arguments);

    QProcess m_process;
    QStringList m_addresses;
    QStringList m_arguments;
    QByteArray m_out;
    QByteArray m_err;
};
