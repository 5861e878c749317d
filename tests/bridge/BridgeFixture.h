#pragma once
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

// A program of the test (broker, bridge, Prometheus), stopped with SIGTERM when the object goes.
class Program
{
public:
    ~Program() { stop(); }
    // Starts it and waits until its output holds ready; false when it ends or never says so.
    bool start(const QString& path, const QStringList& args, const QByteArray& ready);
    int stop(); // SIGTERM, then the exit status (-1 when it had to be killed)
    QByteArray output(); // everything it wrote so far, both streams

private:
    QProcess process;
    QByteArray seen;
};

// What mosquitto_sub, subscribed to a topic filter, received: every message in order per topic.
class Subscriber
{
public:
    struct Message
    {
        QByteArray payload;
        bool retained = false;
        QJsonObject json() const;
    };
    Subscriber(const QString& host, int port, const QString& filter);
    // Waits until the latest message of topic makes check true.
    bool waitFor(const QString& topic, const std::function<bool(const Message&)>& check, int timeoutMs = 15000);
    std::vector<Message> history(const QString& topic);

private:
    Program client;
};

// Starts the broker, simulator programs as machines, and the bridge, on loopback addresses of
// this test process.
class BridgeTest : public ::testing::Test
{
protected:
    bool startBroker(const QByteArray& extraConfig = {});
    // One simulator program on an address of its own (and a command port other than the usual
    // one when given); its address as the bridge takes it ("host" or "host:port").
    QString startMachine(int port = 0);
    // The bridge with config (the [mqtt] and [metrics] sections are filled in) and this body.
    bool startBridge(const QByteArray& machines, const QByteArray& mqttExtra = {});
    bool writeVariable(size_t machine, int address, int value); // through cnccomm
    QByteArray scrape() { return httpGet(host, metricsPort, "/metrics"); }
    // The body of an HTTP GET from address:port.
    static QByteArray httpGet(const QString& address, int port, const QByteArray& path);
    QString writeFile(const QString& name, const QByteArray& content);
    static QString topic(const QString& rest) { return "t/" + rest; }
    std::unique_ptr<Subscriber> subscribe() { return std::make_unique<Subscriber>(host, brokerPort, "t/#"); }
    // The value of one metric sample of the scrape ("name{labels}"), -1 when it is missing.
    double metric(const QByteArray& sample);

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
