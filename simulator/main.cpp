// Stand-alone controller simulator: cnc-simulator [--listen ADDR] [--port N] [--verbose]
#include "SimulatedController.h"
#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>

namespace {
void quitOnSignal(int) { QCoreApplication::quit(); }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString address = QStringLiteral("127.0.0.1");
    quint16 port = 60000;
    bool verbose = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--listen" && i + 1 < args.size())
            address = args[++i];
        else if (args[i] == "--port" && i + 1 < args.size())
            port = quint16(args[++i].toUInt());
        else if (args[i] == "--verbose")
            verbose = true;
    }
    SimulatedController sim;
    if (!sim.start(address, port)) {
        std::fprintf(stderr, "cnc-simulator: cannot listen on %s:%u\n", qPrintable(address), port);
        return 1;
    }
    sim.setVerbose(verbose);
    std::printf("cnc-simulator listening on %s:%u\n", qPrintable(address), port);
    std::fflush(stdout);
    std::signal(SIGINT, quitOnSignal);
    std::signal(SIGTERM, quitOnSignal);
    return app.exec();
}
