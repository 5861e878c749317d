#include "SimulatorCommandLine.h"

#include "InjectionRuleParser.h"
#include "InjectionScript.h"

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

QString option(const char* name)
{
    return QString::fromLatin1(name);
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
        "Controller simulator: one or several controllers, each on an IP address of its own, answering the "
        "command protocol on TCP, the address-setting service on UDP, the sync service on TCP and, if asked, "
        "FTP and a serial device; with failures injected as rules say."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit."));
    const QCommandLineOption version(option("version"), QStringLiteral("Print the version and exit."));
    const QCommandLineOption listen(
        option("listen"),
        QStringLiteral("IP address of a controller (default %1); give it again for each further controller.")
            .arg(m_settings.addresses.first()),
        QStringLiteral("ADDR"));
    const QCommandLineOption controllers(
        option("controllers"),
        QStringLiteral("Serve N controllers on consecutive IPv4 addresses from the --listen address (default 1, "
                       "at most %1).").arg(kMostControllers),
        QStringLiteral("N"));
    const QCommandLineOption port(option("port"),
                                  QStringLiteral("TCP port of the command service (default %1).").arg(m_settings.port),
                                  QStringLiteral("N"));
    const QCommandLineOption udpPort(
        option("udp-port"),
        QStringLiteral("UDP port of the address-setting service (default %1).").arg(m_settings.udpPort),
        QStringLiteral("N"));
    const QCommandLineOption syncPort(
        option("sync-port"),
        QStringLiteral("TCP port of the service told of finished uploads (default %1).").arg(m_settings.syncPort),
        QStringLiteral("N"));
    const QCommandLineOption serial(option("serial"),
                                    QStringLiteral("The first controller also answers on this serial device (a line "
                                                   "\"cnc-simulator serial on PATH\" says so)."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption serialMode(option("serial-mode"),
                                        QStringLiteral("Serial framing: 1 station byte, 2 ':' lead-in (default 1)."),
                                        QStringLiteral("1|2"));
    const QCommandLineOption inject(option("inject"),
                                    QStringLiteral("A failure-injection rule (see below); may be given again."),
                                    QStringLiteral("RULE"));
    const QCommandLineOption script(option("script"),
                                    QStringLiteral("A file of failure-injection rules, one per line; may be given "
                                                   "again."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption ftp(
        option("ftp"),
        QStringLiteral("Also serve FTP on port 21 of each controller's address, with the users \"root\" and \"ftp\" "
                       "(password 470913), through pyftpdlib (Debian package python3-pyftpdlib); port 21 needs "
                       "root. Without either the simulator says so and goes on without FTP."));
    const QCommandLineOption ftpRoot(
        option("ftp-root"),
        QStringLiteral("With --ftp: the folder both FTP users see, given the controller's folders "
                       "veko/usr/sys0000 ... sys0009 (each with program and plc) and updata; several controllers "
                       "get DIR/ADDR each. Default: a temporary folder, removed at exit."),
        QStringLiteral("DIR"));
    const QCommandLineOption ftpPython(
        option("ftp-python"),
        QStringLiteral("With --ftp: the python3 to run pyftpdlib with (default: /usr/bin/python3, then python3 on "
                       "PATH, the first that has pyftpdlib)."),
        QStringLiteral("PATH"));
    const QCommandLineOption verbose(option("verbose"),
                                     QStringLiteral("Print every request, with its kind, and every reply on standard "
                                                    "error."));
    const QCommandLineOption runTime(option("run-time"),
                                     QStringLiteral("How long a started program runs before it ends by itself (default "
                                                    "5; 0: until stop or reset)."),
                                     QStringLiteral("SECONDS"));
    parser.addOptions({help, version, listen, controllers, port, udpPort, syncPort, serial, serialMode, inject, script,
                       ftp, ftpRoot, ftpPython, runTime, verbose});

    if (!parser.parse(arguments)) {
        refuse(parser.errorText());
        return;
    }
    if (parser.isSet(help)) {
        m_outcome = Outcome::PrintAndExit;
        // The parser names the program as it was started (a build folder, say); the help names it plainly.
        QString text = parser.helpText();
        const int usageEnd = text.indexOf(QStringLiteral(" [options]"));
        if (text.startsWith(QStringLiteral("Usage: ")) && usageEnd > 0)
            text.replace(7, usageEnd - 7, QLatin1String(kProgram));
        m_message = text + QLatin1Char('\n') + InjectionRuleParser::syntax() + QStringLiteral(R"(
Running it:
  cnc-simulator --listen 127.0.0.5                            one controller
  cnc-simulator --listen 127.0.0.10 --controllers 4           127.0.0.10 ... 127.0.0.13
  cnc-simulator --listen 127.0.0.5 --ftp --ftp-root /tmp/cnc  and FTP on 127.0.0.5:21
  cnc-simulator --listen 127.0.0.5 --serial /dev/pts/3 --serial-mode 2 --verbose
  cnc-simulator --listen 127.0.0.5 --script failures.rules --run-time 0
)");
        return;
    }
    if (parser.isSet(version)) {
        m_outcome = Outcome::PrintAndExit;
        m_message = QStringLiteral("%1 %2\n").arg(QLatin1String(kProgram), QStringLiteral(ACM_VERSION));
        return;
    }
    if (!parser.positionalArguments().isEmpty()) {
        refuse(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
        return;
    }
    if (!takeAddresses(parser.values(listen), parser.isSet(controllers) ? parser.value(controllers) : QString()))
        return;
    if (parser.isSet(port) && !parsePort(parser.value(port), &m_settings.port)) {
        refuse(QStringLiteral("--port: '%1' is not a port number (1 to 65535).").arg(parser.value(port)));
        return;
    }
    if (parser.isSet(udpPort) && !parsePort(parser.value(udpPort), &m_settings.udpPort)) {
        refuse(QStringLiteral("--udp-port: '%1' is not a port number (1 to 65535).").arg(parser.value(udpPort)));
        return;
    }
    if (parser.isSet(syncPort) && !parsePort(parser.value(syncPort), &m_settings.syncPort)) {
        refuse(QStringLiteral("--sync-port: '%1' is not a port number (1 to 65535).").arg(parser.value(syncPort)));
        return;
    }
    if (parser.isSet(serialMode)) {
        const QString mode = parser.value(serialMode);
        if (mode != QLatin1String("1") && mode != QLatin1String("2")) {
            refuse(QStringLiteral("--serial-mode: '%1' is not a serial framing (1 or 2).").arg(mode));
            return;
        }
        if (!parser.isSet(serial)) {
            refuse(QStringLiteral("--serial-mode needs --serial PATH."));
            return;
        }
        m_settings.serialMode = mode.toInt();
    }
    if (parser.isSet(serial)) {
        m_settings.serialPath = parser.value(serial);
        if (m_settings.serialPath.isEmpty()) {
            refuse(QStringLiteral("--serial: the device path is empty."));
            return;
        }
    }
    if (parser.isSet(runTime)) {
        constexpr double kLongestRunSeconds = 86400;
        bool ok = false;
        const double seconds = parser.value(runTime).toDouble(&ok);
        if (!ok || !(seconds >= 0 && seconds <= kLongestRunSeconds)) {
            refuse(QStringLiteral("--run-time: '%1' is not a number of seconds from 0 to %2.")
                       .arg(parser.value(runTime)).arg(kLongestRunSeconds));
            return;
        }
        m_settings.runMs = seconds == 0 ? -1 : int(seconds * 1000);
    }
    if (!takeFtp(parser) || !takeRules(parser.values(script), parser.values(inject)))
        return;
    m_settings.verbose = parser.isSet(verbose);
}

bool SimulatorCommandLine::takeAddresses(const QStringList& listen, const QString& controllers)
{
    if (!listen.isEmpty())
        m_settings.addresses.clear();
    for (const QString& text : listen) {
        const QHostAddress address(text);
        if (address.isNull())
            return refuse(QStringLiteral("--listen: '%1' is not an IP address.").arg(text));
        if (m_settings.addresses.contains(address.toString()))
            return refuse(QStringLiteral("--listen: %1 is given twice.").arg(text));
        m_settings.addresses << address.toString();
    }
    if (controllers.isNull())
        return true;
    bool ok = false;
    const int count = controllers.toInt(&ok, 10);
    if (!ok || count < 1 || count > kMostControllers)
        return refuse(QStringLiteral("--controllers: '%1' is not a number of controllers (1 to %2).")
                          .arg(controllers).arg(kMostControllers));
    if (m_settings.addresses.size() > 1)
        return refuse(QStringLiteral("--controllers counts from one --listen address, not from %1.")
                          .arg(m_settings.addresses.size()));
    bool ipv4 = false;
    const quint32 first = QHostAddress(m_settings.addresses.first()).toIPv4Address(&ipv4);
    if (!ipv4)
        return refuse(QStringLiteral("--controllers needs an IPv4 --listen address, not %1.")
                          .arg(m_settings.addresses.first()));
    // Consecutive addresses stay within the first one's /24, short of its broadcast address.
    if ((first & 0xFF) + quint32(count) - 1 > 254)
        return refuse(QStringLiteral("--controllers: %1 controllers from %2 would go past the last host "
                                     "address of its /24 (x.x.x.254).").arg(count).arg(m_settings.addresses.first()));
    for (int i = 1; i < count; ++i)
        m_settings.addresses << QHostAddress(first + quint32(i)).toString();
    return true;
}

bool SimulatorCommandLine::takeRules(const QStringList& scripts, const QStringList& injections)
{
    for (const QString& path : scripts) {
        const InjectionScript script = InjectionScript::fromFile(path);
        if (!script.ok())
            return refuse(QStringLiteral("--script %1").arg(script.error()));
        m_settings.rules << script.rules();
    }
    for (const QString& line : injections) {
        const InjectionRuleParser parser(line);
        if (parser.outcome() == InjectionRuleParser::Outcome::Blank)
            return refuse(QStringLiteral("--inject: the rule '%1' is empty.").arg(line));
        if (parser.outcome() == InjectionRuleParser::Outcome::Bad)
            return refuse(QStringLiteral("--inject '%1': %2.").arg(line, parser.error()));
        m_settings.rules << parser.rule();
    }
    for (const InjectionRule& rule : m_settings.rules)
        if (!rule.controller.isEmpty() && !m_settings.addresses.contains(rule.controller))
            return refuse(QStringLiteral("the rule '%1' is for %2, which is not one of the controllers (%3).")
                              .arg(rule.line, rule.controller, m_settings.addresses.join(QStringLiteral(", "))));
    return true;
}

bool SimulatorCommandLine::takeFtp(const QCommandLineParser& parser)
{
    m_settings.ftp = parser.isSet(option("ftp"));
    for (const char* name : {"ftp-root", "ftp-python"}) {
        if (!parser.isSet(option(name)))
            continue;
        if (!m_settings.ftp)
            return refuse(QStringLiteral("--%1 needs --ftp.").arg(option(name)));
        if (parser.value(option(name)).isEmpty())
            return refuse(QStringLiteral("--%1: the path is empty.").arg(option(name)));
    }
    m_settings.ftpRoot = parser.value(option("ftp-root"));
    m_settings.ftpPython = parser.value(option("ftp-python"));
    return true;
}

int SimulatorCommandLine::exitCode() const
{
    return m_outcome == Outcome::Refuse ? 2 : 0;
}

bool SimulatorCommandLine::refuse(const QString& reason)
{
    m_outcome = Outcome::Refuse;
    m_message = QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QLatin1String(kProgram), reason);
    return false;
}
