// Stand-alone controller simulator; `cnc-simulator --help` lists its options.
#include "ControllerGroup.h"
#include "SimulatorCommandLine.h"

#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {
// Set by SIGINT, SIGTERM and SIGHUP, from the moment the controllers start; the event loop sees it
// and ends, so that everything (FTP servers, temporary folders) is stopped on the way out.
volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }
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
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    std::signal(SIGHUP, requestStop);
    ControllerGroup group;
    const bool started = group.start(commandLine.settings());
    for (const QString& warning : group.warnings())
        std::fprintf(stderr, "cnc-simulator: %s\n", qPrintable(warning));
    if (!started) {
        std::fprintf(stderr, "cnc-simulator: %s\n", qPrintable(group.failure()));
        return 1;
    }
    for (const QString& line : group.served())
        std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &app, [] {
        if (stopRequested)
            QCoreApplication::quit();
    });
    stopCheck.start(20);
    return app.exec();
}
