#include "ControllerGroup.h"

#include "ControllerFiles.h"
#include "FtpEndpoint.h"
#include "InjectionRule.h"
#include "SimulatedController.h"

#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>

ControllerGroup::ControllerGroup() = default;

ControllerGroup::~ControllerGroup()
{
    m_ftp.clear(); // the servers end before their temporary folder goes
    m_controllers.clear();
}

bool ControllerGroup::start(const SimulatorCommandLine::Settings& settings)
{
    for (const QString& address : settings.addresses)
        if (!startController(settings, address))
            return false;
    if (!settings.serialPath.isEmpty() && !m_controllers.front()->startSerial(settings.serialPath, settings.serialMode)) {
        m_failure = QStringLiteral("cannot serve serial mode %1 on %2").arg(settings.serialMode).arg(settings.serialPath);
        return false;
    }
    if (settings.ftp)
        for (const QString& address : settings.addresses)
            startFtp(settings, address);
    for (const QString& address : settings.addresses)
        m_served << QStringLiteral("cnc-simulator listening on %1:%2").arg(address).arg(settings.port);
    if (!settings.serialPath.isEmpty())
        m_served << QStringLiteral("cnc-simulator serial on %1 (framing %2) for %3")
                        .arg(settings.serialPath).arg(settings.serialMode).arg(settings.addresses.first());
    return true;
}

bool ControllerGroup::startController(const SimulatorCommandLine::Settings& settings, const QString& address)
{
    auto controller = std::make_unique<SimulatedController>();
    if (!controller->start(address, settings.port)) {
        m_failure = QStringLiteral("cannot listen on %1:%2: %3").arg(address).arg(settings.port).arg(listenFailure(address, settings.port));
        return false;
    }
    controller->setRunTime(settings.runMs);
    addErrorFiles(*controller);
    controller->setVerbose(settings.verbose);
    controller->setRecording(false); // nobody reads it here, and it would grow for ever
    if (!controller->startAddressService(settings.udpPort))
        m_warnings << QStringLiteral("address service not available on %1, UDP %2").arg(address).arg(settings.udpPort);
    if (!controller->startSyncService(settings.syncPort))
        m_warnings << QStringLiteral("sync service not available on %1, TCP %2").arg(address).arg(settings.syncPort);
    for (const InjectionRule& rule : settings.rules)
        if (rule.controller.isEmpty() || rule.controller == address)
            apply(rule, *controller);
    m_controllers.push_back(std::move(controller));
    return true;
}

void ControllerGroup::startFtp(const SimulatorCommandLine::Settings& settings, const QString& address)
{
    QString home = settings.ftpRoot;
    if (home.isEmpty()) {
        if (!m_ftpTemp)
            m_ftpTemp = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/cnc-simulator-ftp-XXXXXX"));
        home = m_ftpTemp->path();
    }
    if (settings.addresses.size() > 1)
        home += QLatin1Char('/') + address;
    auto ftp = std::make_unique<FtpEndpoint>();
    if (!ftp->start(address, QDir(home).absolutePath(), settings.ftpPython, settings.verbose)) {
        m_warnings << QStringLiteral("FTP is not served on %1: %2. Going on without it.").arg(address, ftp->failure());
        return;
    }
    m_served << QStringLiteral("cnc-simulator FTP on %1:%2, users root and ftp in %3")
                    .arg(address).arg(FtpEndpoint::kPort).arg(QDir(home).absolutePath());
    m_ftp.push_back(std::move(ftp));
}

void ControllerGroup::apply(const InjectionRule& rule, SimulatedController& controller)
{
    const std::array<int32_t, 3>& n = rule.numbers;
    switch (rule.kind) {
    case InjectionRule::Reply: controller.scriptReply(rule.code, rule.sub, rule.script); break;
    case InjectionRule::BusyPhases: controller.setBusyPhases(n[0], n[1]); break;
    case InjectionRule::DncCapacity: controller.setDncCapacity(n[0], n[1]); break;
    case InjectionRule::RunningProgram: controller.setRunningProgram(n[0], rule.name); break;
    case InjectionRule::EmergencyStop: controller.setEmergencyStop(n[0], true); break;
    case InjectionRule::Alarm: controller.raiseAlarm(n[0], n[1], n[2]); break;
    case InjectionRule::Variable: controller.setVariable(n[0], n[1]); break;
    case InjectionRule::ErrorEntry: controller.files()->addErrorEntry(n[0], n[1] != 0, rule.name); break;
    }
}

QString ControllerGroup::listenFailure(const QString& address, quint16 port)
{
    // The controller does not keep the system's reason; a second try on the address gives it.
    QTcpServer probe;
    if (probe.listen(QHostAddress(address), port))
        return QStringLiteral("the address was taken meanwhile");
    return probe.errorString();
}

void ControllerGroup::addErrorFiles(SimulatedController& controller)
{
    constexpr int kLastErrorFileChannel = 8;
    for (int channel = 0; channel <= kLastErrorFileChannel; ++channel) {
        ControllerFiles& files = *controller.files();
        files.setErrorFile(channel, false, QByteArray());
        files.setErrorFile(channel, true, QByteArray());
        files.addErrorEntry(channel, false, "E2010 axis X: following error too large");
        files.addErrorEntry(channel, false, "E3005 spindle not ready");
        files.addErrorEntry(channel, true, "E1001 emergency stop pressed");
        files.addErrorEntry(channel, true, "E2010 axis X: following error too large");
        files.addErrorEntry(channel, true, "E4002 lubrication pressure low");
    }
}
