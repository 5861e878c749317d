// The bridge between simulator programs, a real mosquitto broker and Prometheus's own tools, seen
// by a subscriber (mosquitto_sub) and a scraper.
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <unistd.h>

#include <memory>

namespace {
constexpr int kStartWaitMs = 10000;
constexpr int kFirstMachineHost = 180; // below the hosts other suites' simulators take

// A program of the test (broker, bridge, subscriber, Prometheus), stopped with SIGTERM when it goes.
class Program
{
public:
    ~Program() { stop(); }
    // Starts it and waits until its output holds ready; false when it ends or never says so.
    bool start(const QString& path, const QStringList& args, const QByteArray& ready)
    {
        seen.clear();
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(path, args);
        return process.waitForStarted(kStartWaitMs) && waitUntil([&] {
                   process.waitForReadyRead(20);
                   return output().contains(ready) || process.state() != QProcess::Running;
               }, kStartWaitMs) && process.state() == QProcess::Running && output().contains(ready);
    }
    int stop() // SIGTERM, then the exit status (-1 when it had to be killed)
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(kStartWaitMs)) {
                process.kill();
                process.waitForFinished(kStartWaitMs);
                return -1;
            }
            output();
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QByteArray output() // everything it wrote so far, both streams
    {
        // Without an event loop, QProcess takes what the pipe holds only inside a wait.
        if (process.state() == QProcess::Running)
            process.waitForReadyRead(1);
        return seen += process.readAll();
    }

private:
    QProcess process;
    QByteArray seen;
};

struct Message
{
    QByteArray payload;
    bool retained = false;
    QJsonObject json() const { return QJsonDocument::fromJson(payload).object(); }
};

// What mosquitto_sub, subscribed to a topic filter, received: every message in order per topic.
class Subscriber
{
public:
    Subscriber(const QString& host, int port, const QString& filter)
    {
        // -d prints the subscription's acknowledgement; the messages are lines "RETAINED TOPIC PAYLOAD".
        EXPECT_TRUE(client.start("mosquitto_sub", {"-h", host, "-p", QString::number(port), "-t", filter, "-q", "1",
                                                   "-d", "-F", "%r %t %p"}, "SUBACK")) << client.output().constData();
    }
    // Waits until the latest message of topic makes check true.
    bool waitFor(const QString& topic, const std::function<bool(const Message&)>& check, int timeoutMs = 15000)
    {
        return waitUntil([&] {
            const std::vector<Message> messages = history(topic);
            return !messages.empty() && check(messages.back());
        }, timeoutMs);
    }
    std::vector<Message> history(const QString& topic)
    {
        std::vector<Message> messages;
        for (const QByteArray& line : client.output().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() >= 3 && (fields[0] == "0" || fields[0] == "1") && fields[1] == topic.toUtf8())
                messages.push_back({line.mid(fields[0].size() + fields[1].size() + 2), fields[0] == "1"});
        }
        return messages;
    }

private:
    Program client;
};
} // namespace

// Starts the broker, simulator programs as machines, and the bridge, on loopback addresses of
// this test process.
class BridgeTest : public ::testing::Test
{
protected:
    bool startBroker(const QByteArray& extraConfig = {})
    {
        const bool restart = brokerPort != 0; // a restart keeps the port the bridge knows
        for (int tries = 0; tries < (restart ? 1 : 20); ++tries) {
            const int port = restart ? brokerPort : 20000 + int((getpid() * 7 + tries * 101) % 30000);
            if (!restart)
                brokerConfig = "listener " + QByteArray::number(port) + " " + host.toUtf8() + "\nlog_dest stderr\n" +
                               (extraConfig.isEmpty() ? "allow_anonymous true\n" : extraConfig);
            if (broker.start("/usr/sbin/mosquitto", {"-c", writeFile("mosquitto.conf", brokerConfig)}, " running")) {
                brokerPort = port;
                return true;
            }
            broker.stop();
        }
        return false;
    }
    // One simulator program on an address of its own (and a command port other than the usual
    // one when given); its address as the bridge takes it ("host" or "host:port").
    QString startMachine(int port = 0)
    {
        machines.push_back(std::make_unique<SimulatorProcess>());
        const QStringList portArgs = port ? QStringList{"--port", QString::number(port)} : QStringList{};
        if (!machines.back()->start([&](const QStringList&) { return portArgs; }, 1, kFirstMachineHost))
            return {};
        machineAddresses << machines.back()->address() + (port ? QStringLiteral(":%1").arg(port) : QString());
        return machineAddresses.back();
    }
    // The bridge with config (the [mqtt] and [metrics] sections are filled in) and this body.
    bool startBridge(const QByteArray& machineSections, const QByteArray& mqttExtra = {})
    {
        const QByteArray config = "[mqtt]\nhost = " + host.toUtf8() + "\nport = " + QByteArray::number(brokerPort) +
                                  "\nprefix = t\n" + mqttExtra + "\n[bridge]\nreconnect_min = 50ms\nreconnect_max = 200ms\n"
                                  "[metrics]\nlisten = " + host.toUtf8() + "\nport = 0\n" + machineSections;
        if (!bridge.start(CNC_BRIDGE_PROGRAM, {"--config", writeFile("bridge.ini", config)}, "/metrics")) {
            ADD_FAILURE() << bridge.output().constData();
            return false;
        }
        metricsPort = QRegularExpression(":(\\d+)/metrics").match(QString::fromUtf8(bridge.output())).captured(1).toInt();
        return metricsPort > 0;
    }
    bool writeVariable(size_t machine, int address, int value) // through cnccomm, which takes a port as --port
    {
        const QStringList hostPort = machineAddresses[int(machine)].split(':');
        QStringList args{"--host", hostPort.first(), "write", QStringLiteral("%1=%2").arg(address).arg(value)};
        if (hostPort.size() > 1)
            args << "--port" << hostPort.last();
        QProcess tool;
        tool.start(CNCCOMM_PROGRAM, args);
        return tool.waitForFinished(20000) && tool.exitCode() == 0;
    }
    // The body of an HTTP GET from address:port.
    static QByteArray httpGet(const QString& address, int port, const QByteArray& path)
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
    QByteArray scrape() { return httpGet(host, metricsPort, "/metrics"); }
    // The value of one metric sample of the scrape ("name{labels}"), -1 when it is missing.
    double metric(const QByteArray& sample)
    {
        for (const QByteArray& line : scrape().split('\n'))
            if (line.startsWith(sample + " "))
                return line.mid(sample.size() + 1).toDouble();
        return -1;
    }
    QString writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return file.fileName();
    }
    static QString topic(const QString& rest) { return "t/" + rest; }
    std::unique_ptr<Subscriber> subscribe() { return std::make_unique<Subscriber>(host, brokerPort, "t/#"); }

    QTemporaryDir dir;
    const QString host = QStringLiteral("127.0.0.1"); // the broker's and the metrics listener's
    int brokerPort = 0;
    int metricsPort = 0;
    QByteArray brokerConfig;
    Program broker;
    std::vector<std::unique_ptr<SimulatorProcess>> machines;
    QStringList machineAddresses;
    Program bridge;
};

namespace {

using Check = std::function<bool(const Message&)>;
Check good(const QJsonValue& value)
{
    return [value](const Message& m) {
        return m.json()["quality"] == "good" && m.json()["value"] == value && !m.json()["time"].toString().isEmpty();
    };
}
Check quality(const QString& wanted) { return [wanted](const Message& m) { return m.json()["quality"] == wanted; }; }
Check text(const QByteArray& wanted) { return [wanted](const Message& m) { return m.payload == wanted; }; }
Check retained(const Check& check) { return [check](const Message& m) { return m.retained && check(m); }; }

QByteArray machine(const QString& name, const QString& address, const QByteArray& items)
{
    return "[machine " + name.toUtf8() + "]\naddress = " + address.toUtf8() + "\n" + items;
}
}

TEST_F(BridgeTest, PublishesEachMachinesItemsRetainedAndAMachineRestartAndItsOwnStop)
{
    ASSERT_TRUE(startBroker());
    for (int port : {0, 0, 60100}) // the third behind another command port
        ASSERT_FALSE(startMachine(port).isEmpty());
    ASSERT_TRUE(writeVariable(0, 2000010, 77));
    ASSERT_TRUE(writeVariable(1, 2000010, -5));
    ASSERT_TRUE(startBridge(machine("m1", machineAddresses[0],
                                    "variable.load = 2000010 every 50ms\nprogram.prog = 1\naxes.pos = 1 2\n"
                                    "alarm.alarm = 1\nbit.door = 1 0 5\n") +
                            machine("m2", machineAddresses[1], "variable.load = 2000010 every 50ms\n") +
                            machine("m3", machineAddresses[2], "variable.load = 2000010 every 20ms deadband 10\n")));
    const auto watcher = subscribe();
    ASSERT_TRUE(watcher->waitFor(topic("m3/load"), good(0)));
    // A value within the deadband is not published; one beyond it is.
    ASSERT_TRUE(writeVariable(2, 2000010, 5));
    ASSERT_TRUE(writeVariable(2, 2000010, 50));
    ASSERT_TRUE(watcher->waitFor(topic("m3/load"), good(50)));
    ASSERT_TRUE(writeVariable(0, 2000010, 78)); // a change reaches the subscriber

    // A late subscriber sees the current state, retained.
    ASSERT_TRUE(watcher->waitFor(topic("m1/load"), good(78)));
    const auto late = subscribe();
    const std::pair<const char*, Check> rows[] = {
        {"m1/load", good(78)},
        {"m1/prog", good("O0001")},
        {"m1/pos", good(QJsonArray{0, 0})},
        {"m1/alarm", good(QJsonObject{{"active", false}, {"channel", 0}, {"number", 0}})},
        {"m1/door", good(0)},
        {"m2/load", good(-5)},
        {"m3/load", good(50)},
        {"m1/availability", text("online")},
        {"m3/availability", text("online")},
        {"bridge", text("online")},
    };
    for (const auto& [name, check] : rows)
        EXPECT_TRUE(late->waitFor(topic(name), retained(check))) << name;
    for (const Message& m : watcher->history(topic("m3/load")))
        EXPECT_NE(m.json()["value"], 5) << m.payload.constData();

    // A machine away is unavailable, then good again, while the others stay good.
    const QByteArray up2 = "cnc_bridge_machine_up{machine=\"m2\"}";
    machines[1]->stop();
    EXPECT_TRUE(watcher->waitFor(topic("m2/load"), quality("unavailable")));
    EXPECT_TRUE(watcher->waitFor(topic("m2/availability"), text("offline")));
    EXPECT_EQ(metric(up2), 0);
    ASSERT_TRUE(machines[1]->restart());
    ASSERT_TRUE(writeVariable(1, 2000010, 9));
    EXPECT_TRUE(watcher->waitFor(topic("m2/load"), good(9)));
    EXPECT_TRUE(watcher->waitFor(topic("m2/availability"), text("online")));
    EXPECT_TRUE(watcher->waitFor(topic("m1/load"), good(78)));
    EXPECT_EQ(metric(up2), 1);
    EXPECT_EQ(metric("cnc_bridge_reconnects_total{machine=\"m2\"}"), 1);
    EXPECT_EQ(metric("cnc_bridge_reconnects_total{machine=\"m1\"}"), 0);

    EXPECT_EQ(bridge.stop(), 0) << bridge.output().constData();
    ASSERT_TRUE(late->waitFor(topic("bridge"), text("offline")));
    const auto after = subscribe();
    for (const auto& [name, check] : {std::pair{"bridge", text("offline")}, {"m2/availability", text("offline")},
                                      {"m2/load", quality("unavailable")}})
        EXPECT_TRUE(after->waitFor(topic(name), retained(check))) << name;
}

TEST_F(BridgeTest, BrokerRestartLosesNoLatestValue)
{
    ASSERT_TRUE(startBroker());
    ASSERT_FALSE(startMachine().isEmpty());
    ASSERT_TRUE(startBridge(machine("m", machineAddresses[0], "variable.v = 2000010 every 50ms\n"
                                                              "variable.w = 2000011 every 50ms\n")));
    ASSERT_TRUE(subscribe()->waitFor(topic("m/v"), good(0)));
    broker.stop(); // no persistence: the broker forgets every retained message
    ASSERT_TRUE(writeVariable(0, 2000010, 31));
    // The changed value waits in the bridge for the broker.
    EXPECT_TRUE(waitUntil([&] { return metric("cnc_bridge_mqtt_pending_topics") >= 1; }, 15000));
    EXPECT_EQ(metric("cnc_bridge_mqtt_connected"), 0);
    ASSERT_TRUE(startBroker());
    ASSERT_TRUE(subscribe()->waitFor(topic("m/v"), good(31)));
    const auto watcher = subscribe(); // takes what the broker retained
    EXPECT_TRUE(watcher->waitFor(topic("m/v"), retained(good(31))));
    EXPECT_TRUE(watcher->waitFor(topic("m/w"), retained(good(0))));
    EXPECT_TRUE(watcher->waitFor(topic("bridge"), retained(text("online"))));
    EXPECT_TRUE(watcher->waitFor(topic("m/availability"), retained(text("online"))));
}

TEST_F(BridgeTest, PasswordLogin)
{
    QProcess passwd;
    const QString file = dir.filePath("passwords");
    passwd.start("mosquitto_passwd", {"-c", "-b", file, "bridge", "s3cret#1"});
    ASSERT_TRUE(passwd.waitForFinished(10000) && passwd.exitCode() == 0);
    // Started as root, the broker reads the file as its own user.
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(file, QFile::permissions(file) | QFile::ReadOther);
    ASSERT_TRUE(startBroker("allow_anonymous false\npassword_file " + file.toUtf8() + "\n"));
    ASSERT_FALSE(startMachine().isEmpty());
    for (const auto& row : {std::pair{"s3cret#1", 1.0}, {"wrong", 0.0}}) {
        const char* password = row.first;
        const double connected = row.second;
        ASSERT_TRUE(startBridge(machine("m", machineAddresses[0], "variable.v = 2000010 every 50ms\n"),
                                QByteArray("username = bridge\npassword = ") + password + "\n"));
        // Polling runs either way; only the right password gives a session.
        EXPECT_TRUE(waitUntil([&] { return metric("cnc_bridge_machine_up{machine=\"m\"}") == 1; }, 15000));
        if (connected == 0) {
            EXPECT_TRUE(waitUntil([&] { return broker.output().contains("not authorised"); }, 15000));
        }
        EXPECT_TRUE(waitUntil([&] { return metric("cnc_bridge_mqtt_connected") == connected; }, 15000)) << password;
        EXPECT_EQ(bridge.stop(), 0);
    }
}

TEST_F(BridgeTest, MalformedConfigIsRefusedWithItsLine)
{
    // The config's text and the line its refusal names (the installed example passes: install test).
    const std::pair<const char*, int> rows[] = {
        {"[mqtt]\nport = 70000\n", 2},
        {"[mqtt]\n\n[machine m]\naddress = h\nvariable.v = 99999999\n", 5},
        {"[machine m]\naddress = h\nvariable.v = 1 every soon\n", 3},
        {"[machine m]\naddress = h\nvariable.v = 1\nbit.v = 1 0 1\n", 4},
        {"[machine m]\naddress = h\nbit.b = 1 7 1\n", 3},
        {"# fine\n[machine m]\nvariable.v = 1\n", 2},
        {"[machine m]\naddress = h\nvariable.v = 1\n[machine m]\n", 4},
        {"[machine m]\naddress = h\nwhat = 1\n", 3},
        {"[machine bridge]\n", 1},
        {"[metrics\n", 1},
        {"[mqtt]\n[machine m]\naddress = h\nchannels = 1\nprogram.p = 2\n", 2},
    };
    for (const auto& [text, line] : rows) {
        const QString path = writeFile("bad.ini", text);
        QProcess check;
        check.start(CNC_BRIDGE_PROGRAM, {"--config", path, "--check"});
        ASSERT_TRUE(check.waitForFinished(10000));
        EXPECT_EQ(check.exitCode(), 2) << text;
        EXPECT_TRUE(check.readAllStandardError().contains(QString("%1:%2:").arg(path).arg(line).toUtf8())) << text;
    }
}

TEST_F(BridgeTest, MetricsPassPromtoolAndAPrometheusServerScrapesThem)
{
    ASSERT_TRUE(startBroker());
    ASSERT_FALSE(startMachine().isEmpty());
    ASSERT_TRUE(startBridge("[machine m]\naddress = " + machineAddresses[0].toUtf8() +
                            "\nvariable.v = 2000010 every 50ms\nbit.b = 1 0 3 every 50ms\n"
                            "[machine off]\naddress = 127.0.0.254\nvariable.v = 2000010\n"));
    ASSERT_TRUE(waitUntil([&] { return metric("cnc_bridge_requests_total{machine=\"m\",result=\"0\"}") >= 3; }, 15000));
    const QByteArray exposition = scrape();
    EXPECT_GE(metric("cnc_bridge_request_duration_seconds_count{machine=\"m\"}"), 3);
    EXPECT_EQ(metric("cnc_bridge_machine_up{machine=\"off\"}"), 0);
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start("promtool", {"check", "metrics"});
    promtool.write(exposition);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(30000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAll().constData() << exposition.constData();

    if (!QFileInfo::exists("/usr/bin/prometheus"))
        GTEST_SKIP() << "prometheus is not installed";
    // On the machine's address, which this test process holds alone.
    const int prometheusPort = 9090;
    const QString web = QStringLiteral("%1:%2").arg(machineAddresses[0]).arg(prometheusPort);
    const QString config = writeFile("prometheus.yml", "global:\n  scrape_interval: 100ms\nscrape_configs:\n"
                                                       "  - job_name: bridge\n    static_configs:\n"
                                                       "      - targets: ['" +
                                                           QStringLiteral("%1:%2").arg(host).arg(metricsPort).toUtf8() +
                                                           "']\n");
    Program prometheus;
    ASSERT_TRUE(prometheus.start("/usr/bin/prometheus",
                                 {"--config.file=" + config, "--web.listen-address=" + web,
                                  "--storage.tsdb.path=" + dir.filePath("tsdb")},
                                 "Server is ready to receive web requests"))
        << prometheus.output().constData();
    // Ask Prometheus's query API until the bridge's series is there (its discovery hands the
    // target to the scraper after 5 s).
    const auto query = [&] {
        const QByteArray body = httpGet(machineAddresses[0], prometheusPort, "/api/v1/query?query=cnc_bridge_machine_up");
        return QJsonDocument::fromJson(body).object()["data"].toObject()["result"].toArray();
    };
    QJsonArray series;
    EXPECT_TRUE(waitUntil([&] { return (series = query()).size() == 2; }, 30000)) << prometheus.output().constData();
    for (const QJsonValue& one : series)
        EXPECT_EQ(one["value"][1].toString(), one["metric"]["machine"] == "m" ? "1" : "0");
}
