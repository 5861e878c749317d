// Stand-alone controller simulator; `cnc-simulator --help` lists its options.
#include "SimulatedController.h"
#include "SimulatorCommandLine.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

namespace {
void quitOnSignal(int) { QCoreApplication::quit(); }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const SimulatorCommandLine commandLine(app.arguments());
    if (commandLine.outcome() != SimulatorCommandLine::Outcome::Serve) {
        std::fputs(qPrintable(commandLine.message()),
                   commandLine.outcome() == SimulatorCommandLine::Outcome::Refuse ? stderr : stdout);
        return commandLine.exitCode();
    }
    const SimulatorCommandLine::Settings& s = commandLine.settings();
    SimulatedController sim;
    if (!sim.start(s.address, s.port)) {
        std::fprintf(stderr, "cnc-simulator: cannot listen on %s:%u\n", qPrintable(s.address), s.port);
        return 1;
    }
    sim.setVerbose(s.verbose);
    if (!sim.startAddressService(s.udpPort))
        std::fprintf(stderr, "cnc-simulator: address service not available on UDP %u\n", s.udpPort);
    if (!sim.startSyncService(s.syncPort))
        std::fprintf(stderr, "cnc-simulator: sync service not available on TCP %u\n", s.syncPort);
    if (!s.serialPath.isEmpty() && !sim.startSerial(s.serialPath, s.serialMode)) {
        std::fprintf(stderr, "cnc-simulator: cannot serve serial mode %d on %s\n", s.serialMode,
                     qPrintable(s.serialPath));
        return 1;
    }
    std::printf("cnc-simulator listening on %s:%u\n", qPrintable(s.address), s.port);
    std::fflush(stdout);
    std::signal(SIGINT, quitOnSignal);
    std::signal(SIGTERM, quitOnSignal);
    return app.exec();
}
