#include "SimulatorCommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHostAddress>

namespace {
const char* const kProgram = "cnc-simulator";

// A TCP or UDP port the simulator can listen on: 1 ... 65535, decimal.
bool parsePort(const QString& text, quint16* port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value < 1 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}
}

SimulatorCommandLine::SimulatorCommandLine(const QStringList& arguments)
{
    parse(arguments);
}

void SimulatorCommandLine::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Controller simulator: answers the command protocol on TCP, the address-setting service on UDP "
        "and, if asked, a serial device."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Print the version and exit."));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("IP address to listen on (default %1).").arg(m_settings.address),
                                    QStringLiteral("ADDR"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("TCP port of the command service (default %1).").arg(m_settings.port),
                                  QStringLiteral("N"));
    const QCommandLineOption udpPort(
        QStringLiteral("udp-port"),
        QStringLiteral("UDP port of the address-setting service (default %1).").arg(m_settings.udpPort),
        QStringLiteral("N"));
    const QCommandLineOption syncPort(
        QStringLiteral("sync-port"),
        QStringLiteral("TCP port of the service told of finished uploads (default %1).").arg(m_settings.syncPort),
        QStringLiteral("N"));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Also answer on this serial device."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption serialMode(QStringLiteral("serial-mode"),
                                        QStringLiteral("Serial framing: 1 station byte, 2 ':' lead-in (default 1)."),
                                        QStringLiteral("1|2"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Print every request and reply."));
    parser.addOptions({help, version, listen, port, udpPort, syncPort, serial, serialMode, verbose});

    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (parser.isSet(help)) {
        m_outcome = Outcome::PrintAndExit;
        m_message = parser.helpText();
        return;
    }
    if (parser.isSet(version)) {
        m_outcome = Outcome::PrintAndExit;
        m_message = QStringLiteral("%1 %2\n").arg(QLatin1String(kProgram), QStringLiteral(ACM_VERSION));
        return;
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    if (parser.isSet(listen)) {
        m_settings.address = parser.value(listen);
        if (QHostAddress(m_settings.address).isNull())
            return refuse(QStringLiteral("--listen: '%1' is not an IP address.").arg(m_settings.address));
    }
    if (parser.isSet(port) && !parsePort(parser.value(port), &m_settings.port))
        return refuse(QStringLiteral("--port: '%1' is not a port number (1 to 65535).").arg(parser.value(port)));
    if (parser.isSet(udpPort) && !parsePort(parser.value(udpPort), &m_settings.udpPort))
        return refuse(
            QStringLiteral("--udp-port: '%1' is not a port number (1 to 65535).").arg(parser.value(udpPort)));
    if (parser.isSet(syncPort) && !parsePort(parser.value(syncPort), &m_settings.syncPort))
        return refuse(
            QStringLiteral("--sync-port: '%1' is not a port number (1 to 65535).").arg(parser.value(syncPort)));
    if (parser.isSet(serialMode)) {
        const QString mode = parser.value(serialMode);
        if (mode != QLatin1String("1") && mode != QLatin1String("2"))
            return refuse(QStringLiteral("--serial-mode: '%1' is not a serial framing (1 or 2).").arg(mode));
        if (!parser.isSet(serial))
            return refuse(QStringLiteral("--serial-mode needs --serial PATH."));
        m_settings.serialMode = mode.toInt();
    }
    if (parser.isSet(serial)) {
        m_settings.serialPath = parser.value(serial);
        if (m_settings.serialPath.isEmpty())
            return refuse(QStringLiteral("--serial: the device path is empty."));
    }
    m_settings.verbose = parser.isSet(verbose);
}

int SimulatorCommandLine::exitCode() const
{
    return m_outcome == Outcome::Refuse ? 2 : 0;
}

void SimulatorCommandLine::refuse(const QString& reason)
{
    m_outcome = Outcome::Refuse;
    m_message = QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QLatin1String(kProgram), reason);
}
