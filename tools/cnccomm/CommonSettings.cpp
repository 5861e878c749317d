#include "CommonSettings.h"

#include "HostAddress.h"
#include "NumberArgument.h"


namespace {
constexpr int kLongestSettleMs = 60000;

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
}

QList<QCommandLineOption> CommonSettings::options()
{
    return {
        QCommandLineOption({QStringLiteral("H"), kHost},
                           QStringLiteral("Controller address or host name (default 127.0.0.1)."),
                           QStringLiteral("ADDR")),
        QCommandLineOption({QStringLiteral("p"), kPort},
                           QStringLiteral("The controller's command port, for the commands and the stream's buffer "
                                          "(default: the library's, 60000)."),
                           QStringLiteral("PORT")),
        QCommandLineOption({QStringLiteral("c"), kChannel}, QStringLiteral("Channel: 1 to 99, for errors 0 to 8 (default 1)."),
                           QStringLiteral("N")),
        QCommandLineOption({QStringLiteral("t"), kTimeout},
                           QStringLiteral("Longest wait in seconds for a motion, a stream or an upload to move "
                                          "on (default 10)."),
                           QStringLiteral("SECONDS")),
        QCommandLineOption(kJson, QStringLiteral("Print one JSON object instead of text (watch: one per line).")),
        QCommandLineOption(kAsync,
                           QStringLiteral("Asynchronous clients (write, set-bit): a result 0 means queued; the "
                                          "controller's refusals arrive as error reports.")),
        QCommandLineOption(kSettle,
                           QStringLiteral("With --async: how long to let the queued commands go out and their "
                                          "error reports arrive (default 500 ms)."),
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
    if (parser.isSet(kHost)) {
        host = parser.value(kHost);
        if (host.isEmpty()) {
            *error = QStringLiteral("--host: the address is empty.");
            return false;
        }
        if (HostAddress::isMalformed(host)) {
            *error = QStringLiteral("--host: '%1' is not an address.").arg(host);
            return false;
        }
    }
    if (parser.isSet(kPort) && !parseInteger(parser.value(kPort), 1, kLastPort, &port, QStringLiteral("--port"), error))
        return false;
    if (parser.isSet(kChannel) &&
        !parseInteger(parser.value(kChannel), 0, kLastChannel, &channel, QStringLiteral("--channel"), error))
        return false;
    if (parser.isSet(kTimeout) && !parseSeconds(parser.value(kTimeout), kLongestTimeoutSeconds, &timeoutSeconds,
                                                QStringLiteral("--timeout"), error))
        return false;
    if (parser.isSet(kSettle) &&
        !parseInteger(parser.value(kSettle), 0, kLongestSettleMs, &settleMs, QStringLiteral("--settle"), error))
        return false;
    if (parser.isSet(kLibrary))
        library = parser.value(kLibrary);
    json = json || parser.isSet(kJson);
    async = async || parser.isSet(kAsync);
    verbose = verbose || parser.isSet(kVerbose);
    return true;
}

QString CommonSettings::targetAddress() const
{
    return port == 0 ? host : QStringLiteral("%1:%2").arg(host).arg(port);
}
