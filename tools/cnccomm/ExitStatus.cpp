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
        QStringLiteral("Exit status:"),
        QStringLiteral("  0  success"),
        QStringLiteral("  1  the library refused the request before sending it (result 1, 4, 6, 9, 10, 12 with no"),
        QStringLiteral("     error report of the controller)"),
        QStringLiteral("  2  bad usage, also a variable address out of range or a --host that is no address"),
        QStringLiteral("  3  not connected: the host name cannot be resolved, nothing answered at the address, or"),
        QStringLiteral("     the link went down (result 7)"),
        QStringLiteral("  4  the controller refused: it sent an error report (whatever the result and the mode),"),
        QStringLiteral("     or result 3, 5, 100 and above except 111"),
        QStringLiteral("  5  no reply in time (result 111, 8), or a wait that ran out (--timeout)"),
        QStringLiteral("  6  the library could not be loaded"),
        QStringLiteral("  7  a local file could not be read, or holds text that cannot be sent"),
        QStringLiteral("  8  an FTP upload or a stream stopped before its end"),
        QStringLiteral("130  interrupted (Ctrl-C, SIGTERM) during send or stream: what was opened is closed and"),
        QStringLiteral("     the bytes and lines the controller acknowledged are printed"),
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
