#include "BridgeFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>



namespace {
constexpr int kStartWaitMs = 10000;
constexpr int kFirstMachineHost = 180; // below the hosts other suites' simulators take
}


bool Program::start(const QString& path, const QStringList& args, const QByteArray& ready)
{
    seen.clear();
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, args);
    return process.waitForStarted(kStartWaitMs) && waitUntil([&] {
               process.waitForReadyRead(20);
               return output().contains(ready) || process.state() != QProcess::Running;
           }, kStartWaitMs) && process.state() == QProcess::Running && output().contains(ready);
}

int Program::stop()
{
    if (process.state() == QProcess::NotRunning)
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    process.terminate();
    if (!process.waitForFinished(kStartWaitMs)) {
        process.kill();
        process.waitForFinished(kStartWaitMs);
        return -1;
    }
    output();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray Program::output()
{
    // Without an event loop, QProcess takes what the pipe holds only inside a wait.
    if (process.state() == QProcess::Running)
        process.waitForReadyRead(1);
    seen += process.readAll();
    return seen;
}

QJsonObject Subscriber::Message::json() const
{
    return QJsonDocument::fromJson(payload).object();
}

Subscriber::Subscriber(const QString& host, int port, const QString& filter)
{
    // -d prints the subscription's acknowledgement; the messages are the lines "RETAINED TOPIC PAYLOAD".
    EXPECT_TRUE(client.start("mosquitto_sub", {"-h", host, "-p", QString::number(port), "-t", filter, "-q", "1", "-d",
                                               "-F", "%r %t %p"}, "SUBACK")) << client.output().constData();
}

bool Subscriber::waitFor(const QString& topic, const std::function<bool(const Message&)>& check, int timeoutMs)
{
    return waitUntil([&] {
        const std::vector<Message> messages = history(topic);
        return !messages.empty() && check(messages.back());
    }, timeoutMs);
}

std::vector<Subscriber::Message> Subscriber::history(const QString& topic)
{
    std::vector<Message> messages;
    for (const QByteArray& line : client.output().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() >= 3 && (fields[0] == "0" || fields[0] == "1") && fields[1] == topic.toUtf8())
            messages.push_back({line.mid(fields[0].size() + fields[1].size() + 2), fields[0] == "1"});
    }
    return messages;
}

bool BridgeTest::startBroker(const QByteArray& extraConfig)
{
    const bool restart = brokerPort != 0; // a restart keeps the port the bridge knows
    for (int tries = 0; tries < (restart ? 1 : 20); ++tries) {
        const int port = restart ? brokerPort : 20000 + int((getpid() * 7 + tries * 101) % 30000);
        if (!restart)
            brokerConfig = "listener " + QByteArray::number(port) + " " + host.toUtf8() +
                           "\nlog_dest stderr\n" + (extraConfig.isEmpty() ? "allow_anonymous true\n" : extraConfig);
        if (broker.start("/usr/sbin/mosquitto", {"-c", writeFile("mosquitto.conf", brokerConfig)}, " running")) {
            brokerPort = port;
            return true;
        }
        broker.stop();
    }
    return false;
}

QString BridgeTest::startMachine(int port)
{
    machines.push_back(std::make_unique<SimulatorProcess>());
    const QStringList portArgs = port ? QStringList{"--port", QString::number(port)} : QStringList{};
    if (!machines.back()->start([&](const QStringList&) { return portArgs; }, 1, kFirstMachineHost))
        return {};
    machineAddresses << machines.back()->address() + (port ? QStringLiteral(":%1").arg(port) : QString());
    return machineAddresses.back();
}

bool BridgeTest::startBridge(const QByteArray& machineSections, const QByteArray& mqttExtra)
{
    const QByteArray config = "[mqtt]\nhost = " + host.toUtf8() + "\nport = " + QByteArray::number(brokerPort) +
                              "\nprefix = t\n" + mqttExtra +
                              "\n[bridge]\nreconnect_min = 50ms\nreconnect_max = 200ms\n"
                              "[metrics]\nlisten = " + host.toUtf8() + "\nport = 0\n" + machineSections;
    if (!bridge.start(CNC_BRIDGE_PROGRAM, {"--config", writeFile("bridge.ini", config)}, "/metrics")) {
        ADD_FAILURE() << bridge.output().constData();
        return false;
    }
    const auto port = QRegularExpression(":(\\d+)/metrics").match(QString::fromUtf8(bridge.output()));
    metricsPort = port.captured(1).toInt();
    return metricsPort > 0;
}

bool BridgeTest::writeVariable(size_t machine, int address, int value)
{
    // cnccomm takes the port of a "host:port" address as --port.
    const QStringList hostPort = machineAddresses[int(machine)].split(':');
    QStringList args{"--host", hostPort.first(), "write", QStringLiteral("%1=%2").arg(address).arg(value)};
    if (hostPort.size() > 1)
        args << "--port" << hostPort.last();
    QProcess tool;
    tool.start(CNCCOMM_PROGRAM, args);
    return tool.waitForFinished(20000) && tool.exitCode() == 0;
}

QByteArray BridgeTest::httpGet(const QString& address, int port, const QByteArray& path)
{
    QTcpSocket socket;
    socket.connectToHost(address, quint16(port));
    if (!socket.waitForConnected(kStartWaitMs))
        return {};
    socket.write("GET " + path + " HTTP/1.0\r\n\r\n");
    socket.waitForDisconnected(kStartWaitMs);
    const QByteArray reply = socket.readAll();
    return reply.mid(reply.indexOf("\r\n\r\n") + 4);
}

double BridgeTest::metric(const QByteArray& sample)
{
    for (const QByteArray& line : scrape().split('\n'))
        if (line.startsWith(sample + " "))
            return line.mid(sample.size() + 1).toDouble();
    return -1;
}

QString BridgeTest::writeFile(const QString& name, const QByteArray& content)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return file.fileName();
}
