#pragma once
#include "InjectionRule.h"

#include <QList>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// The command line of the stand-alone simulator: what to serve, or the text to print
// instead of serving (help, version, or why the line was refused).
class SimulatorCommandLine
{
public:
    enum class Outcome { Serve, PrintAndExit, Refuse };

    struct Settings
    {
        QStringList addresses{QStringLiteral("127.0.0.1")}; // one controller on each
        quint16 port = 60000;
        quint16 udpPort = 60007;
        quint16 syncPort = 60006;
        QString serialPath; // empty: no serial side
        int serialMode = 1;
        bool verbose = false;
        int runMs = 5000;   // how long a program started by name runs; negative: until stopped
        QList<InjectionRule> rules; // the script files' rules first, then --inject's, in order
        bool ftp = false;
        QString ftpRoot;   // empty: a temporary folder
        QString ftpPython; // empty: the first python3 found that has pyftpdlib
    };

    static constexpr int kMostControllers = 100;

    // arguments as QCoreApplication::arguments() gives them, the program name first.
    explicit SimulatorCommandLine(const QStringList& arguments);

    Outcome outcome() const { return m_outcome; }
    // The process's exit status when it does not serve: 0 after help or version, 2 when refused.
    int exitCode() const;
    // Help or version text for stdout, or the reason for the refusal for stderr.
    const QString& message() const { return m_message; }
    const Settings& settings() const { return m_settings; }

private:
    void parse(const QStringList& arguments);
    bool takeAddresses(const QStringList& listen, const QString& controllers);
    bool takeRules(const QStringList& scripts, const QStringList& injections);
    bool takeFtp(const QCommandLineParser& parser);
    bool refuse(const QString& reason);

    Outcome m_outcome = Outcome::Serve;
    QString m_message;
    Settings m_settings;
};
