// Stand-alone controller simulator:
//   cnc-simulator [--listen ADDR] [--port N] [--udp-port N] [--serial PATH --serial-mode 1|2] [--verbose]
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
    quint16 udpPort = 60007;
    bool verbose = false;
    QString serialPath;
    int serialMode = 1;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--listen" && i + 1 < args.size())
            address = args[++i];
        else if (args[i] == "--port" && i + 1 < args.size())
            port = quint16(args[++i].toUInt());
        else if (args[i] == "--udp-port" && i + 1 < args.size())
            udpPort = quint16(args[++i].toUInt());
        else if (args[i] == "--serial" && i + 1 < args.size())
            serialPath = args[++i];
        else if (args[i] == "--serial-mode" && i + 1 < args.size())
            serialMode = args[++i].toInt();
        else if (args[i] == "--verbose")
            verbose = true;
    }
    SimulatedController sim;
    if (!sim.start(address, port)) {
        std::fprintf(stderr, "cnc-simulator: cannot listen on %s:%u\n", qPrintable(address), port);
        return 1;
    }
    sim.setVerbose(verbose);
    if (!sim.startAddressService(udpPort))
        std::fprintf(stderr, "cnc-simulator: address service not available on UDP %u\n", udpPort);
    if (!serialPath.isEmpty() && !sim.startSerial(serialPath, serialMode)) {
        std::fprintf(stderr, "cnc-simulator: cannot serve serial mode %d on %s\n", serialMode, qPrintable(serialPath));
        return 1;
    }
    std::printf("cnc-simulator listening on %s:%u\n", qPrintable(address), port);
    std::fflush(stdout);
    std::signal(SIGINT, quitOnSignal);
    std::signal(SIGTERM, quitOnSignal);
    return app.exec();
}
