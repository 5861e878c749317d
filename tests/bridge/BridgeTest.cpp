// The bridge between simulator programs, a real mosquitto broker and Prometheus's own tools, seen
// by a subscriber (mosquitto_sub) and a scraper.
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {
constexpr int kStartWaitMs = 10000;
constexpr int kFirstMachineHost = 180; // below the hosts other suites' simulators take
constexpr int kReconnectMaxMs = 200;

// A program of the test (broker, bridge, subscriber, Prometheus), stopped with SIGTERM when it goes.
class Program
{
public:
    ~Program() { stop(); }
    // Starts it and waits until its output holds ready; false when it ends or never says so.
    bool start(const QString& path, const QStringList& args, const QByteArray& ready,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        seen.clear();
        process.setProcessEnvironment(environment);
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
    void signal(int number) { ::kill(pid_t(process.processId()), number); }
    int lines(const QByteArray& text) { return output().count(text); } // how many times it wrote text
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
    QString startMachine(int port = 0, const QStringList& rules = {})
    {
        machines.push_back(std::make_unique<SimulatorProcess>());
        QStringList args = port ? QStringList{"--port", QString::number(port)} : QStringList{};
        for (const QString& rule : rules)
            args << "--inject" << rule;
        if (!machines.back()->start([&](const QStringList&) { return args; }, 1, kFirstMachineHost))
            return {};
        machineAddresses << machines.back()->address() + (port ? QStringLiteral(":%1").arg(port) : QString());
        return machineAddresses.back();
    }
    // The bridge's configuration: the [mqtt], [bridge] and [metrics] sections filled in, and this body.
    QByteArray bridgeConfig(const QByteArray& machineSections, const QByteArray& mqttExtra = {})
    {
        return "[mqtt]\nhost = " + host.toUtf8() + "\nport = " + QByteArray::number(brokerPort) + "\nprefix = t\n" +
               mqttExtra + "\n[bridge]\nreconnect_min = 50ms\nreconnect_max = " +
               QByteArray::number(kReconnectMaxMs) + "ms\n[metrics]\nlisten = " + host.toUtf8() + "\nport = 0\n" +
               machineSections;
    }
    bool startBridge(const QByteArray& machineSections, const QByteArray& mqttExtra = {})
    {
        if (!bridge.start(CNC_BRIDGE_PROGRAM, {"--config", writeFile("bridge.ini", bridgeConfig(machineSections, mqttExtra))},
                          "/metrics")) {
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
    // The whole reply to an HTTP request to address:port.
    static QByteArray http(const QString& address, int port, const QByteArray& request)
    {
        QTcpSocket socket;
        socket.connectToHost(address, quint16(port));
        if (!socket.waitForConnected(kStartWaitMs))
            return {};
        socket.write(request);
        socket.waitForDisconnected(kStartWaitMs);
        return socket.readAll();
    }
    // The body of an HTTP GET from address:port.
    static QByteArray httpGet(const QString& address, int port, const QByteArray& path)
    {
        const QByteArray reply = http(address, port, "GET " + path + " HTTP/1.0\r\n\r\n");
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
                            machine("m2", machineAddresses[1], "variable.load = 2000010 every 50ms\nvariable.power = "
                                                               "2000010 every 50ms scale 0.5 offset 1 unit kW republish 100ms\n") +
                            machine("m3", machineAddresses[2], "variable.load = 2000010 every 20ms deadband 10\n")));
    const auto watcher = subscribe();
    ASSERT_TRUE(watcher->waitFor(topic("m3/load"), good(0)));
    // A value within the deadband is not published (though read twice); one beyond it is.
    ASSERT_TRUE(writeVariable(2, 2000010, 5));
    const QByteArray polls = "cnc_bridge_poll_lag_seconds_count{machine=\"m3\"}";
    const double polled = metric(polls);
    ASSERT_TRUE(waitUntil([&] { return metric(polls) >= polled + 2; }, 15000));
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
    // An unchanged value is published again after its republish interval, with the time of its read.
    EXPECT_TRUE(waitUntil([&] { return late->history(topic("m2/power")).size() >= 3; }, 15000));
    const auto beats = late->history(topic("m2/power")); // scaled, with its unit
    EXPECT_TRUE(beats.front().retained && good(-1.5)(beats.front()) && beats.front().json()["unit"] == "kW");
    EXPECT_TRUE(good(-1.5)(beats.back()) && beats.back().json()["time"] != beats.front().json()["time"]);

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

    QElapsedTimer stopping;
    stopping.start();
    EXPECT_EQ(bridge.stop(), 0) << bridge.output().constData();
    EXPECT_LT(stopping.elapsed(), 2500) << "a stop waits for the broker only while something is unsent";
    ASSERT_TRUE(late->waitFor(topic("bridge"), text("offline")));
    const auto after = subscribe();
    for (const auto& [name, check] : {std::pair{"bridge", text("offline")}, {"m2/availability", text("offline")},
                                      {"m2/load", quality("unavailable")}})
        EXPECT_TRUE(after->waitFor(topic(name), retained(check))) << name;
}

TEST_F(BridgeTest, BrokerRestartLosesNoLatestValueAndABridgeRestartKeepsTheLastValues)
{
    // A broker that is not there yet is tried again until it is.
    ASSERT_TRUE(startBroker());
    broker.stop();
    ASSERT_FALSE(startMachine().isEmpty());
    ASSERT_TRUE(startBridge(machine("m", machineAddresses[0], "variable.v = 2000010 every 50ms\n"
                                                              "variable.w = 2000011 every 50ms\n")));
    ASSERT_TRUE(waitUntil([&] { return metric("cnc_bridge_machine_up{machine=\"m\"}") == 1; }, 15000));
    ASSERT_TRUE(startBroker());
    ASSERT_TRUE(subscribe()->waitFor(topic("m/v"), good(0)));
    broker.stop(); // no persistence: the broker forgets every retained message
    ASSERT_TRUE(writeVariable(0, 2000010, 31));
    // The changed value waits in the bridge for the broker.
    EXPECT_TRUE(waitUntil([&] { return metric("cnc_bridge_mqtt_pending_topics") >= 1; }, 15000));
    EXPECT_EQ(metric("cnc_bridge_mqtt_connected"), 0);
    // Said once per change, not per try, each line with its time and level.
    EXPECT_TRUE(waitUntil([&] { return metric("cnc_bridge_request_duration_seconds_count{machine=\"m\"}") > 40; }, 15000));
    const QRegularExpression line("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z (error|warning|info|debug) \\S+: ");
    for (const QByteArray& said : bridge.output().trimmed().split('\n'))
        EXPECT_TRUE(line.match(QString::fromUtf8(said)).hasMatch()) << said.constData();
    EXPECT_EQ(bridge.lines("error bridge: cannot reach broker"), 1) << bridge.output().constData();
    EXPECT_EQ(bridge.lines("warning bridge: broker " + host.toUtf8()), 1) << bridge.output().constData();
    ASSERT_TRUE(startBroker());
    ASSERT_TRUE(subscribe()->waitFor(topic("m/v"), good(31)));
    const auto watcher = subscribe(); // takes what the broker retained
    EXPECT_TRUE(watcher->waitFor(topic("m/v"), retained(good(31))));
    EXPECT_TRUE(watcher->waitFor(topic("m/w"), retained(good(0))));
    EXPECT_TRUE(watcher->waitFor(topic("bridge"), retained(text("online"))));
    EXPECT_TRUE(watcher->waitFor(topic("m/availability"), retained(text("online"))));
    EXPECT_EQ(bridge.lines("bridge: broker " + host.toUtf8()), 3) << "connected, lost, reached again";

    // Started again while the machine is away, the bridge keeps each last value with its time.
    const QJsonObject last = watcher->history(topic("m/v")).back().json();
    EXPECT_EQ(bridge.stop(), 0);
    machines[0]->stop();
    ASSERT_TRUE(startBridge(machine("m", machineAddresses[0], "variable.v = 2000010 every 50ms\n"
                                                              "variable.w = 2000011 every 50ms\n")));
    ASSERT_TRUE(waitUntil([&] { return bridge.lines("m: cannot reach") == 1; }, 15000));
    EXPECT_EQ(bridge.stop(), 0);
    const auto kept = subscribe()->history(topic("m/v"));
    EXPECT_TRUE(kept.size() == 1 && kept[0].json()["value"] == 31 && kept[0].json()["time"] == last["time"] &&
                quality("unavailable")(kept[0])) << (kept.empty() ? "" : kept[0].payload.constData());
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
        // What once passed the check and failed at run time, or read something else.
        {"[machine m]\naddress = h:99999\n", 2},
        {"[machine m]\naddress = 10.0.0.1 # lathe\n", 2},
        {"[machine m]\naddress = h\nvariable.v = 2500000\n", 3},
        {"[machine m]\naddress = h\nbit.b = 1 0 2048\n", 3},
        {"[machine m]\naddress = h\nchannels = 20\nbit.b = 17 0 1\n", 4},
        {"[metrics]\nlisten = 127.0.0.1:9464\n[machine m]\naddress = h\nalarm.a = 1\n", 2},
        {"[mqtt]\nhost =\n[machine m]\naddress = h\nalarm.a = 1\n", 2},
        {"[mqtt]\nca_file = /nonexistent/ca.pem\n[machine m]\naddress = h\nalarm.a = 1\n", 2},
        {"[mqtt]\nport = 1883\nport = 1884\n[machine m]\naddress = h\nalarm.a = 1\n", 3},
        {"[mqtt]\n[bridge]\n[mqtt]\n[machine m]\naddress = h\nalarm.a = 1\n", 3},
    };
    const auto check = [&](const QString& path) {
        auto run = std::make_unique<QProcess>();
        run->start(CNC_BRIDGE_PROGRAM, {"--config", path, "--check"});
        run->waitForFinished(10000);
        return run;
    };
    for (const auto& [text, line] : rows) {
        const QString path = writeFile("bad.ini", text);
        const auto checked = check(path);
        EXPECT_EQ(checked->exitCode(), 2) << text;
        EXPECT_TRUE(checked->readAllStandardError().contains(QString("%1:%2:").arg(path).arg(line).toUtf8())) << text;
    }
    // And what the check takes starts: the address forms, options, a password as a credential.
    writeFile("mqtt-password", "s3cret\n");
    const QByteArray accepted[] = {
        "[machine a]\naddress = localhost:60001\nvariable.v = 2000010 every 200 ms scale 0.1 offset -3 unit kW\n"
        "[machine b]\naddress = [::1]:60001\nchannels = 16\nbit.b = 16 6 1023 republish 2s\n[machine c]\naddress = ::1\n"
        "program.p = 1\n",
        "[mqtt]\nusername = u\npassword_file = mqtt-password\n[metrics]\nlisten = localhost\nport = 0\n"
        "[machine a]\naddress = 127.0.0.1\nalarm.a = 1\n",
    };
    qputenv("CREDENTIALS_DIRECTORY", dir.path().toUtf8()); // as systemd's LoadCredential= sets it
    for (const QByteArray& text : accepted) {
        const QString path = writeFile("good.ini", text.contains("[metrics]") ? text : "[metrics]\nport = 0\n" + text);
        EXPECT_EQ(check(path)->exitCode(), 0) << text.constData();
        EXPECT_TRUE(bridge.start(CNC_BRIDGE_PROGRAM, {"--config", path}, "running with")) << bridge.output().constData();
        EXPECT_EQ(bridge.stop(), 0) << bridge.output().constData();
    }
    // One that cannot start (its metrics port is taken) ends cleanly, its threads joined.
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    QProcess failing;
    failing.start(CNC_BRIDGE_PROGRAM, {"--config", writeFile("busy.ini", "[metrics]\nport = " + QByteArray::number(
                                                                              taken.serverPort()) + "\n" + accepted[0])});
    ASSERT_TRUE(failing.waitForFinished(15000));
    EXPECT_TRUE(failing.exitStatus() == QProcess::NormalExit && failing.exitCode() == 1)
        << failing.readAllStandardError().constData();
}

TEST_F(BridgeTest, MetricsPassPromtoolAndAPrometheusServerScrapesThem)
{
    ASSERT_TRUE(startBroker());
    ASSERT_FALSE(startMachine().isEmpty());
    QByteArray variables; // 70: two requests a poll
    for (int i = 0; i < 70; ++i)
        variables += "variable.v" + QByteArray::number(i) + " = " + QByteArray::number(2000010 + i) + " every 50ms\n";
    ASSERT_TRUE(startBridge("[machine m]\naddress = " + machineAddresses[0].toUtf8() + "\n" + variables +
                            "bit.b = 1 0 3 every 50ms\n[machine off]\naddress = 127.0.0.254\nvariable.v = 2000010\n"));
    const QByteArray polls = "cnc_bridge_poll_lag_seconds_count{machine=\"m\"}";
    ASSERT_TRUE(waitUntil([&] { return metric(polls) >= 20; }, 15000));
    // A client that sends half a request, and one that sends nothing, hold up no scrape.
    QTcpSocket slow, idle;
    for (QTcpSocket* client : {&slow, &idle})
        client->connectToHost(host, quint16(metricsPort));
    ASSERT_TRUE(slow.waitForConnected(kStartWaitMs) && idle.waitForConnected(kStartWaitMs));
    slow.write("GET /met");
    slow.waitForBytesWritten(kStartWaitMs);
    QElapsedTimer scraping;
    scraping.start();
    const QByteArray exposition = scrape();
    EXPECT_LT(scraping.elapsed(), 1000);
    const QByteArray head = http(host, metricsPort, "HEAD /metrics HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(head.startsWith("HTTP/1.1 200 OK") && head.endsWith("\r\n\r\n") && head.contains("Content-Length: "))
        << head.constData();
    // Each poll is one round trip per 64 variables and one for the bits (and the watchdog at the connection).
    const auto sample = [&](const QByteArray& name) {
        const int at = exposition.indexOf("\n" + name + " ");
        return at < 0 ? -1 : exposition.mid(at + name.size() + 2, 20).split('\n').first().toDouble();
    };
    const double polled = sample(polls), requests = sample("cnc_bridge_requests_total{machine=\"m\",result=\"0\"}");
    EXPECT_TRUE(requests >= 3 * polled - 2 && requests <= 3 * polled + 1) << polled << " polls, " << requests << " requests";
    EXPECT_EQ(metric("cnc_bridge_machine_up{machine=\"off\"}"), 0);
    EXPECT_EQ(bridge.lines("off: cannot reach"), 1) << "said once, not at each of its tries";
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

TEST_F(BridgeTest, AnItemTheMachineRefusesCostsNeitherItsLinkNorTheBroker)
{
    ASSERT_TRUE(startBroker());
    const QByteArray items = "variable.a = 2000010 every 50ms\nvariable.bad = 2000012 every 50ms\n"
                             "variable.b = 2000011 every 50ms\nalarm.al = 1 every 50ms\n";
    struct Row
    {
        const char* rule;
        QStringList stale, good;
    };
    const Row rows[] = {
        {"unreadable 2000012", {"bad"}, {"a", "b", "al"}}, // one variable refused among good ones
        {"B state 1", {"a", "bad", "b"}, {"al"}},          // every variable read refused
        {"B close", {}, {}},                                // the connection closed at every variable read
    };
    const QByteArray reconnects = "cnc_bridge_reconnects_total{machine=\"m\"}";
    const QByteArray polls = "cnc_bridge_poll_lag_seconds_count{machine=\"m\"}";
    for (const Row& row : rows) {
        machines.clear();
        machineAddresses.clear();
        ASSERT_FALSE(startMachine(0, {row.rule}).isEmpty()) << row.rule;
        ASSERT_TRUE(startBridge(machine("m", machineAddresses[0], items)));
        const auto watcher = subscribe(); // mosquitto_sub says it subscribed at its first message only
        for (const QString& item : row.stale)
            EXPECT_TRUE(watcher->waitFor(topic("m/" + item), quality("stale"))) << row.rule << " " << item.toStdString();
        for (const QString& item : row.good) {
            EXPECT_TRUE(watcher->waitFor(topic("m/" + item), quality("good"))) << row.rule << " " << item.toStdString();
            for (const Message& m : watcher->history(topic("m/" + item)))
                EXPECT_FALSE(quality("stale")(m)) << row.rule << " " << item.toStdString();
        }
        const bool dropping = row.stale.isEmpty();
        // Once the back-off is at its longest (50, 100, 200 ms), a window of five reconnections
        // (dropping) or twenty polls (refusing).
        ASSERT_TRUE(waitUntil([&] { return !dropping || metric(reconnects) >= 3; }, 15000)) << row.rule;
        const double published = metric("cnc_bridge_mqtt_published_total"), reconnected = metric(reconnects),
                     polled = metric(polls);
        QElapsedTimer window;
        window.start();
        ASSERT_TRUE(waitUntil([&] { return dropping ? metric(reconnects) >= reconnected + 5 : metric(polls) >= polled + 20; },
                              15000)) << row.rule;
        const double seconds = window.elapsed() / 1000.0, messages = metric("cnc_bridge_mqtt_published_total") - published;
        if (dropping) {
            // At most one reconnection per reconnect_max (here 300 a minute), each costing at most
            // two messages per item and the availability.
            EXPECT_GE(seconds, 5 * kReconnectMaxMs * 0.8 / 1000) << row.rule;
            EXPECT_LE(messages / seconds, 2 * 5 * 1000.0 / kReconnectMaxMs) << row.rule;
        } else {
            // A refusal is published once; the link stays.
            EXPECT_EQ(metric(reconnects), 0) << row.rule;
            EXPECT_LE(messages, 1) << row.rule;
        }
        EXPECT_EQ(bridge.stop(), 0) << row.rule;
    }
}

TEST_F(BridgeTest, SighupTakesMachinesAddedRemovedAndChangedAndRefusesABadFile)
{
    ASSERT_TRUE(startBroker());
    for (int i = 0; i < 3; ++i)
        ASSERT_FALSE(startMachine().isEmpty());
    const auto section = [&](const char* name, int machine, const QByteArray& items) {
        return "[machine " + QByteArray(name) + "]\naddress = " + machineAddresses[machine].toUtf8() + "\n" + items;
    };
    const QByteArray kept = section("kept", 0, "variable.v = 2000010 every 50ms\n");
    ASSERT_TRUE(startBridge(kept + section("gone", 1, "variable.v = 2000010 every 50ms\n") +
                            section("changed", 2, "variable.v = 2000010 every 50ms\nvariable.old = 2000011\n")));
    const auto watcher = subscribe();
    ASSERT_TRUE(watcher->waitFor(topic("changed/old"), good(0)));
    ASSERT_TRUE(watcher->waitFor(topic("gone/v"), good(0)));
    const auto offline = [&] { return watcher->history(topic("kept/availability")).size(); };
    const size_t keptMessages = offline();

    writeFile("bridge.ini", bridgeConfig(kept + section("changed", 2, "variable.v = 2000010 every 50ms\nvariable.new = "
                                                                       "2000011 every 50ms\n") +
                                         section("added", 1, "variable.v = 2000010 every 50ms\n")));
    bridge.signal(SIGHUP);
    EXPECT_TRUE(watcher->waitFor(topic("added/v"), good(0)));
    EXPECT_TRUE(watcher->waitFor(topic("changed/new"), good(0)));
    const auto late = subscribe();
    EXPECT_TRUE(late->waitFor(topic("changed/v"), retained(good(0))));
    EXPECT_TRUE(late->history(topic("gone/v")).empty() && late->history(topic("changed/old")).empty());
    EXPECT_EQ(offline(), keptMessages) << "the unchanged machine keeps its link";

    // A file the check refuses changes nothing.
    writeFile("bridge.ini", bridgeConfig(kept + "[machine broken]\n"));
    bridge.signal(SIGHUP);
    EXPECT_TRUE(waitUntil([&] { return bridge.lines("reload refused") == 1; }, 15000)) << bridge.output().constData();
    ASSERT_TRUE(writeVariable(1, 2000010, 12));
    EXPECT_TRUE(watcher->waitFor(topic("added/v"), good(12)));

    // Killed, the bridge leaves its last will: subscribers take its machines as unknown from it.
    bridge.signal(SIGKILL);
    EXPECT_TRUE(watcher->waitFor(topic("bridge"), text("offline")));
}

TEST_F(BridgeTest, TwoBridgesWithoutClientIdsShareABroker)
{
    ASSERT_TRUE(startBroker());
    ASSERT_FALSE(startMachine().isEmpty());
    Program other;
    const QByteArray config = machine("m", machineAddresses[0], "variable.v = 2000010\n");
    ASSERT_TRUE(other.start(CNC_BRIDGE_PROGRAM, {"--config", writeFile("other.ini", bridgeConfig(config))}, "/metrics"));
    ASSERT_TRUE(waitUntil([&] { return other.lines("broker " + host.toUtf8()) == 1; }, 15000));
    ASSERT_TRUE(startBridge(config));
    ASSERT_TRUE(waitUntil([&] { return metric("cnc_bridge_mqtt_connected") == 1; }, 15000));
    EXPECT_FALSE(broker.output().contains("already connected")) << broker.output().constData();
}

#ifdef CNC_BRIDGE_WITH_SYSTEMD
TEST_F(BridgeTest, UnderSystemdItSaysWhenItIsReadyAndFeedsTheWatchdog)
{
    // systemd's side of Type=notify: a datagram socket named by NOTIFY_SOCKET.
    const QByteArray path = dir.filePath("notify").toUtf8();
    const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(notify, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QByteArray said;
    const auto heard = [&](const QByteArray& state) {
        return waitUntil([&] {
            char datagram[512];
            const ssize_t got = recv(notify, datagram, sizeof datagram, MSG_DONTWAIT);
            said += got > 0 ? QByteArray(datagram, int(got)) + "\n" : QByteArray();
            return said.contains(state);
        }, 15000);
    };
    ASSERT_TRUE(startBroker());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NOTIFY_SOCKET", path);
    environment.insert("WATCHDOG_USEC", "200000");
    ASSERT_TRUE(bridge.start(CNC_BRIDGE_PROGRAM,
                             {"--config", writeFile("bridge.ini", bridgeConfig(machine("m", "127.0.0.254", "alarm.a = 1\n")))},
                             "running with", environment));
    EXPECT_TRUE(heard("READY=1"));
    EXPECT_TRUE(heard("WATCHDOG=1"));
    bridge.signal(SIGHUP);
    EXPECT_TRUE(heard("RELOADING=1"));
    EXPECT_EQ(bridge.stop(), 0);
    EXPECT_TRUE(heard("STOPPING=1")) << said.constData();
    close(notify);
}
#endif

TEST_F(BridgeTest, TlsChecksTheBrokerAndSaysWhyItFails)
{
    // A self-signed certificate for the broker, which is its own CA, and a CA that signed nothing.
    for (const QString name : {"broker", "stranger"}) {
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                                  "-days", "1", "-subj", "/CN=" + host, "-addext", "subjectAltName=IP:" + host, "-keyout",
                                  dir.filePath(name + ".key"), "-out", dir.filePath(name + ".pem")});
        ASSERT_TRUE(openssl.waitForFinished(30000) && openssl.exitCode() == 0) << openssl.readAllStandardError().constData();
        QFile::setPermissions(dir.filePath(name + ".key"), QFile::ReadOwner | QFile::ReadOther);
    }
    // Started as root, the broker reads its files as its own user.
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther);
    ASSERT_TRUE(startBroker("allow_anonymous true\ncertfile " + dir.filePath("broker.pem").toUtf8() + "\nkeyfile " +
                            dir.filePath("broker.key").toUtf8() + "\n"));
    for (const auto& [ca, connected] : {std::pair{"broker", 1.0}, {"stranger", 0.0}}) {
        ASSERT_TRUE(startBridge(machine("m", "127.0.0.254", "alarm.a = 1\n"),
                                "ca_file = " + dir.filePath(QString(ca) + ".pem").toUtf8() + "\n"));
        EXPECT_TRUE(waitUntil([&] { return metric("cnc_bridge_mqtt_connected") == connected; }, 15000)) << ca;
        if (connected == 0) {
            EXPECT_TRUE(waitUntil([&] { return bridge.lines("certificate verify failed") == 1; }, 15000))
                << bridge.output().constData();
        }
        EXPECT_EQ(bridge.stop(), 0);
    }
}
