// The bridge between simulator programs and a real mosquitto broker, seen by a subscriber.
#include "BridgeFixture.h"

#include <QFile>
#include <QJsonArray>

namespace {
using Message = Subscriber::Message;

std::function<bool(const Message&)> good(const QJsonValue& value)
{
    return [value](const Message& m) {
        return m.json()["quality"] == "good" && m.json()["value"] == value && !m.json()["time"].toString().isEmpty();
    };
}
std::function<bool(const Message&)> quality(const QString& wanted)
{
    return [wanted](const Message& m) { return m.json()["quality"] == wanted; };
}
std::function<bool(const Message&)> text(const QByteArray& wanted)
{
    return [wanted](const Message& m) { return m.payload == wanted; };
}
std::function<bool(const Message&)> retained(const std::function<bool(const Message&)>& check)
{
    return [check](const Message& m) { return m.retained && check(m); };
}

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
    const struct
    {
        const char* topic;
        std::function<bool(const Message&)> check;
    } rows[] = {
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
    for (const auto& row : rows)
        EXPECT_TRUE(late->waitFor(topic(row.topic), retained(row.check))) << row.topic;
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
    for (const auto& [password, connected] : {std::pair{"s3cret#1", 1.0}, {"wrong", 0.0}}) {
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
