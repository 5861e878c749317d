#pragma once
#include "SimulatorCommandLine.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class FtpEndpoint;
class QTemporaryDir;
class SimulatedController;
struct InjectionRule;

// What the simulator program serves: one controller per address, each with its own state,
// address-setting and sync services, injected rules and, if asked, FTP endpoint. Everything
// stops when the group goes.
class ControllerGroup
{
public:
    ControllerGroup();
    ~ControllerGroup();
    ControllerGroup(const ControllerGroup&) = delete;
    ControllerGroup& operator=(const ControllerGroup&) = delete;

    // Starts all that the settings ask for and applies the rules before anyone is told the
    // controllers listen. False when a controller cannot listen or the serial device cannot be
    // served (failure() says why); a service that cannot start only adds a warning.
    bool start(const SimulatorCommandLine::Settings& settings);

    const QString& failure() const { return m_failure; }
    // Services that could not start, each in a sentence, for standard error.
    const QStringList& warnings() const { return m_warnings; }
    // What is served, a line each, for standard output.
    const QStringList& served() const { return m_served; }
    int size() const { return int(m_controllers.size()); }
    SimulatedController& controller(int index) { return *m_controllers.at(size_t(index)); }

    // Puts one rule into effect on one controller.
    static void apply(const InjectionRule& rule, SimulatedController& controller);

private:
    bool startController(const SimulatorCommandLine::Settings& settings, const QString& address);
    void startFtp(const SimulatorCommandLine::Settings& settings, const QString& address);
    // Why nothing can listen on the address, in the system's words.
    static QString listenFailure(const QString& address, quint16 port);
    // A few entries in every channel's current and history error file, for `rules` to add to.
    static void addErrorFiles(SimulatedController& controller);

    std::unique_ptr<QTemporaryDir> m_ftpTemp; // outlives the FTP servers that use it
    std::vector<std::unique_ptr<SimulatedController>> m_controllers;
    std::vector<std::unique_ptr<FtpEndpoint>> m_ftp;
    QString m_failure;
    QStringList m_warnings;
    QStringList m_served;
};
