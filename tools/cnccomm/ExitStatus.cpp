#include "ExitStatus.h"

#include <QStringList>

ExitStatus exitStatusForResult(int32_t result)
{
    switch (result) {
    case 0:
        return ExitStatus::Success;
    case 1:
    case 4:
    case 6:
    case 9:
    case 10:
    case 12:
        return ExitStatus::LibraryRefused;
    case 7:
        return ExitStatus::NotConnected;
    case 8:
    case 111:
        return ExitStatus::NoReply;
    default:
        return ExitStatus::ControllerRefused;
    }
}

QString exitStatusHelp()
{
    const QStringList lines = {
        QStringLiteral("Exit status (one per cause, for every command):"),
        QStringLiteral("  0  success"),
        QStringLiteral("  1  the library refused the request before sending it (result 1, 4, 6, 9, 10, 12)"),
        QStringLiteral("  2  bad usage, also a variable address out of range or a --host that is no address"),
        QStringLiteral("  3  not connected: the host name cannot be resolved, nothing answers, or a link went down"),
        QStringLiteral("     or was closed: the command link (result 7), the stream's buffer, the FTP connection"),
        QStringLiteral("  4  the controller or its FTP server refused: an error report, or result 3, 5, 100 and"),
        QStringLiteral("     above except 111"),
        QStringLiteral("  5  no reply in time (result 111, 8), or a wait that ran out (--timeout, --deadline)"),
        QStringLiteral("  6  the library could not be loaded"),
        QStringLiteral("  7  a local file could not be read, or holds text that cannot be sent"),
        QStringLiteral("130  interrupted (SIGINT, SIGTERM, SIGHUP): a moving axis is stopped first, a transfer"),
        QStringLiteral("     ends and says which line to resume from"),
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
