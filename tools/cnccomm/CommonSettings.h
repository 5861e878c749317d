#pragma once
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

// The options every subcommand takes, before or after its name.
struct CommonSettings
{
    static constexpr int kFirstChannel = 1;
    static constexpr int kLastChannel = 99;
    static constexpr double kLongestTimeoutSeconds = 3600;
    // The library's ranges of setReplyTimeout and setPollInterval (besides 0, its default).
    static constexpr int kShortestReplyWaitMs = 100;
    static constexpr int kLongestTimingMs = 60000;

    QString host = QStringLiteral("127.0.0.1");
    int port = 0; // 0: the library's
    int channel = 1;
    double timeoutSeconds = 10;
    double deadlineSeconds = 0; // 0: none
    bool json = false;
    bool quiet = false;
    bool async = false;
    int settleMs = 500;
    int replyWaitMs = 0;    // 0: the library's
    int pollIntervalMs = 0; // 0: the library's, back to back
    QString library;
    bool verbose = false;

    static QList<QCommandLineOption> options();
    // CNCCOMM_HOST (an address or name, with ":PORT" if wanted) and CNCCOMM_PORT as the defaults
    // of --host and --port; false with the reason when one is bad.
    bool takeEnvironment(QString* error);
    // Takes the options that parser saw (others keep their values); false with the reason when
    // a value is bad.
    bool take(const QCommandLineParser& parser, QString* error);
    // The address for addTargetCnc: host, with ":port" when --port was given (not for a serial line).
    QString targetAddress() const;
    // Whether host names a serial line ("serial:..."): it is neither resolved nor given a port.
    bool isSerial() const;
};
