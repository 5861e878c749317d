#include "CommonSettings.h"

#include "HostAddress.h"
#include "NumberArgument.h"


namespace {
constexpr int kLongestSettleMs = 60000;
constexpr double kLongestDeadlineSeconds = 7 * 24 * 3600;

const QString kHost = QStringLiteral("host");
const QString kPort = QStringLiteral("port");
constexpr int kLastPort = 65535;
const QString kChannel = QStringLiteral("channel");
const QString kTimeout = QStringLiteral("timeout");
const QString kJson = QStringLiteral("json");
const QString kAsync = QStringLiteral("async");
const QString kSettle = QStringLiteral("settle");
const QString kLibrary = QStringLiteral("library");
const QString kVerbose = QStringLiteral("verbose");
const QString kQuiet = QStringLiteral("quiet");
const QString kDeadline = QStringLiteral("deadline");
const QString kReplyWait = QStringLiteral("reply-wait");
const QString kPollInterval = QStringLiteral("poll-interval");

const QString kSerialPrefix = QStringLiteral("serial:");

// Takes "HOST" or "HOST:PORT" as the library does; a port given both ways must agree. A serial
// line's address goes to the library as it is, which judges it.
bool takeHost(const QString& given, const QString& what, QString* host, int* port, QString* error)
{
    if (given.startsWith(kSerialPrefix)) {
        *host = given;
        return true;
    }
    QString name = given;
    const int colon = given.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && given.indexOf(QLatin1Char(':')) == colon) {
        name = given.left(colon);
        if (!parseInteger(given.mid(colon + 1), 1, kLastPort, port, what + QStringLiteral(": the port"), error))
            return false;
    }
    if (name.isEmpty()) {
        *error = QStringLiteral("%1: the address is empty.").arg(what);
        return false;
    }
    if (HostAddress::isMalformed(name)) {
        *error = QStringLiteral("%1: '%2' is not an address.").arg(what, name);
        return false;
    }
    *host = name;
    return true;
}
}

QList<QCommandLineOption> CommonSettings::options()
{
    return {
        QCommandLineOption({QStringLiteral("H"), kHost},
                           QStringLiteral("Controller address or host name, with :PORT if wanted, or a serial "
                                          "line serial:DEVICE[,BAUD[,8N1[,station|colon]]] (default "
                                          "$CNCCOMM_HOST, else 127.0.0.1)."),
                           QStringLiteral("ADDR")),
        QCommandLineOption({QStringLiteral("p"), kPort},
                           QStringLiteral("The controller's command port, for the commands and the stream's buffer "
                                          "(default $CNCCOMM_PORT, else the library's, 60000)."),
                           QStringLiteral("PORT")),
        QCommandLineOption({QStringLiteral("c"), kChannel}, QStringLiteral("Channel: 1 to 99, for errors 0 to 8 (default 1)."),
                           QStringLiteral("N")),
        QCommandLineOption({QStringLiteral("t"), kTimeout},
                           QStringLiteral("Longest wait in seconds without progress: for a motion to end, a "
                                          "transfer, stream or upload to move on, a watched value to come (default "
                                          "10)."),
                           QStringLiteral("SECONDS")),
        QCommandLineOption(kDeadline,
                           QStringLiteral("Longest time in seconds for the whole command, connecting included; then "
                                          "it ends as on Ctrl-C (an axis is stopped, a transfer says where to "
                                          "resume), with status 5 (default: none)."),
                           QStringLiteral("SECONDS")),
        QCommandLineOption(kJson, QStringLiteral("Print one JSON object instead of text (watch: one per line).")),
        QCommandLineOption({QStringLiteral("q"), kQuiet},
                           QStringLiteral("Print only data and failures: no calls, notes or progress on stderr.")),
        QCommandLineOption(kAsync,
                           QStringLiteral("Asynchronous clients (write, set-bit): a result 0 means queued; the "
                                          "controller's refusals arrive as error reports.")),
        QCommandLineOption(kSettle,
                           QStringLiteral("With --async: how long to let the queued commands go out and their "
                                          "error reports arrive (default 500 ms)."),
                           QStringLiteral("MS")),
        QCommandLineOption(kReplyWait,
                           QStringLiteral("How long each request waits for the controller's reply, 100 to 60000 "
                                          "ms, for a controller behind a slow link (default: the library's, "
                                          "1800 ms). Needs a library of version ACM_1.1."),
                           QStringLiteral("MS")),
        QCommandLineOption(kPollInterval,
                           QStringLiteral("The target's poll interval (setPollInterval), 1 to 60000 ms: the "
                                          "least time between two background reads of the variables registered "
                                          "on an asynchronous target (default: back to back). No command "
                                          "registers any yet, so it changes no traffic. Needs a library of "
                                          "version ACM_1.1."),
                           QStringLiteral("MS")),
        QCommandLineOption(kLibrary,
                           QStringLiteral("The library file to load (default: $ACM_LIBRARY, then next to the "
                                          "program, then the installation's library folder, then the system's)."),
                           QStringLiteral("FILE")),
        QCommandLineOption(kVerbose, QStringLiteral("Let the library's diagnostic lines through (on stderr).")),
    };
}

bool CommonSettings::take(const QCommandLineParser& parser, QString* error)
{
    int hostPort = 0;
    if (parser.isSet(kHost) && !takeHost(parser.value(kHost), QStringLiteral("--host"), &host, &hostPort, error))
        return false;
    if (parser.isSet(kPort) && !parseInteger(parser.value(kPort), 1, kLastPort, &port, QStringLiteral("--port"), error))
        return false;
    if (hostPort != 0 && parser.isSet(kPort) && hostPort != port) {
        *error = QStringLiteral("--host names port %1, --port %2.").arg(hostPort).arg(port);
        return false;
    }
    if (hostPort != 0)
        port = hostPort;
    if (parser.isSet(kChannel) &&
        !parseInteger(parser.value(kChannel), 0, kLastChannel, &channel, QStringLiteral("--channel"), error))
        return false;
    if (parser.isSet(kTimeout) && !parseSeconds(parser.value(kTimeout), kLongestTimeoutSeconds, &timeoutSeconds,
                                                QStringLiteral("--timeout"), error))
        return false;
    if (parser.isSet(kDeadline) && !parseSeconds(parser.value(kDeadline), kLongestDeadlineSeconds, &deadlineSeconds,
                                                 QStringLiteral("--deadline"), error))
        return false;
    if (parser.isSet(kSettle) &&
        !parseInteger(parser.value(kSettle), 0, kLongestSettleMs, &settleMs, QStringLiteral("--settle"), error))
        return false;
    if (parser.isSet(kReplyWait) && !parseInteger(parser.value(kReplyWait), kShortestReplyWaitMs, kLongestTimingMs,
                                                  &replyWaitMs, QStringLiteral("--reply-wait"), error))
        return false;
    if (parser.isSet(kPollInterval) && !parseInteger(parser.value(kPollInterval), 1, kLongestTimingMs,
                                                     &pollIntervalMs, QStringLiteral("--poll-interval"), error))
        return false;
    if (parser.isSet(kLibrary))
        library = parser.value(kLibrary);
    json = json || parser.isSet(kJson);
    async = async || parser.isSet(kAsync);
    verbose = verbose || parser.isSet(kVerbose);
    quiet = quiet || parser.isSet(kQuiet);
    return true;
}

bool CommonSettings::takeEnvironment(QString* error)
{
    const QString envHost = qEnvironmentVariable("CNCCOMM_HOST");
    const QString envPort = qEnvironmentVariable("CNCCOMM_PORT");
    if (!envPort.isEmpty() && !parseInteger(envPort, 1, kLastPort, &port, QStringLiteral("CNCCOMM_PORT"), error))
        return false;
    int hostPort = 0;
    if (!envHost.isEmpty() && !takeHost(envHost, QStringLiteral("CNCCOMM_HOST"), &host, &hostPort, error))
        return false;
    if (hostPort != 0)
        port = hostPort;
    return true;
}

bool CommonSettings::isSerial() const
{
    return host.startsWith(kSerialPrefix);
}

QString CommonSettings::targetAddress() const
{
    return port == 0 || isSerial() ? host : QStringLiteral("%1:%2").arg(host).arg(port);
}
