#include "Publisher.h"

#include "BridgeLog.h"
#include "Metrics.h"

#include <mosquitto.h>

#include <chrono>

namespace {
constexpr int kReconnectDelayMinS = 1;
constexpr int kReconnectDelayMaxS = 10;
// Messages handed to the network thread and not yet sent (QoS 0) or acknowledged (QoS 1): past
// this the flusher waits, so that a slow broker never makes the client library queue without end.
constexpr int kMostInFlight = 1000;
const char kOnline[] = "online";
const char kOffline[] = "offline";
}

Publisher::Publisher(const BridgeConfig& config, Metrics& metrics) : config(config), metrics(metrics) {}

Publisher::~Publisher()
{
    if (client)
        mosquitto_destroy(client);
}

bool Publisher::start(std::string& error)
{
    mosquitto_lib_init();
    client = mosquitto_new(config.mqtt.clientId.c_str(), true, this);
    const std::string status = config.statusTopic();
    int rc = client ? MOSQ_ERR_SUCCESS : MOSQ_ERR_NOMEM;
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(client, status.c_str(), int(sizeof kOffline - 1), kOffline, 1, true);
    if (rc == MOSQ_ERR_SUCCESS && !config.mqtt.username.empty())
        rc = mosquitto_username_pw_set(client, config.mqtt.username.c_str(),
                                       config.mqtt.password.empty() ? nullptr : config.mqtt.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !config.mqtt.caFile.empty())
        rc = mosquitto_tls_set(client, config.mqtt.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = std::string("mqtt: ") + mosquitto_strerror(rc);
        return false;
    }
    mosquitto_connect_callback_set(client, onConnect);
    mosquitto_disconnect_callback_set(client, onDisconnect);
    mosquitto_publish_callback_set(client, onPublish);
    mosquitto_reconnect_delay_set(client, kReconnectDelayMinS, kReconnectDelayMaxS, true);
    mosquitto_int_option(client, MOSQ_OPT_TCP_NODELAY, 1);
    // A broker that is not there yet is retried by the network thread like a lost one.
    rc = mosquitto_connect_async(client, config.mqtt.host.c_str(), config.mqtt.port, config.mqtt.keepaliveS);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO) {
        error = "mqtt " + config.mqtt.host + ": " + mosquitto_strerror(rc);
        return false;
    }
    rc = mosquitto_loop_start(client);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = std::string("mqtt: ") + mosquitto_strerror(rc);
        return false;
    }
    offer(status, kOnline);
    flusher = std::thread([this] { flushLoop(); });
    return true;
}

void Publisher::offer(const std::string& topic, const std::string& payload)
{
    std::lock_guard<std::mutex> guard(lock);
    Entry& entry = latest[topic];
    entry.payload = payload;
    markLocked(topic, entry);
    changed.notify_all();
}

void Publisher::markLocked(const std::string& topic, Entry& entry)
{
    if (!entry.queued) {
        entry.queued = true;
        dirty.push_back(topic);
    }
    metrics.setPending(dirty.size());
}

void Publisher::onConnect(mosquitto*, void* self, int rc)
{
    static_cast<Publisher*>(self)->connected(rc);
}

void Publisher::onDisconnect(mosquitto*, void* self, int)
{
    static_cast<Publisher*>(self)->disconnected();
}

void Publisher::onPublish(mosquitto*, void* self, int)
{
    auto* publisher = static_cast<Publisher*>(self);
    std::lock_guard<std::mutex> guard(publisher->lock);
    if (publisher->inFlight > 0)
        --publisher->inFlight;
    publisher->changed.notify_all();
}

void Publisher::connected(int rc)
{
    if (rc != 0) {
        bridgeLog("bridge", std::string("broker refused the session: ") + mosquitto_connack_string(rc));
        return;
    }
    bridgeLog("bridge", "broker " + config.mqtt.host + ":" + std::to_string(config.mqtt.port) +
                            " connected; sending the retained state");
    std::lock_guard<std::mutex> guard(lock);
    linkUp = true;
    inFlight = 0;
    metrics.brokerConnected(true);
    // The broker may have lost its retained messages (a restart without persistence).
    for (auto& [topic, entry] : latest)
        markLocked(topic, entry);
    changed.notify_all();
}

void Publisher::disconnected()
{
    std::lock_guard<std::mutex> guard(lock);
    if (linkUp && !stopping)
        bridgeLog("bridge", "broker connection lost; keeping the latest value per topic");
    linkUp = false;
    metrics.brokerConnected(false);
    changed.notify_all();
}

void Publisher::flushLoop()
{
    std::unique_lock<std::mutex> guard(lock);
    while (true) {
        changed.wait(guard, [this] { return stopping || (linkUp && !dirty.empty() && inFlight < kMostInFlight); });
        if (!linkUp || dirty.empty())
            return; // stopping, and nothing more can be sent
        const std::string topic = dirty.front();
        dirty.pop_front();
        Entry& entry = latest[topic];
        entry.queued = false;
        const std::string payload = entry.payload;
        metrics.setPending(dirty.size());
        guard.unlock();
        const int rc = mosquitto_publish(client, nullptr, topic.c_str(), int(payload.size()), payload.data(),
                                         config.mqtt.qos, true);
        guard.lock();
        if (rc == MOSQ_ERR_SUCCESS) {
            metrics.published();
            ++inFlight;
        } else if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST) {
            // Sent again after the next connection, unless a newer payload comes first.
            metrics.publishFailed();
            markLocked(topic, latest[topic]);
            linkUp = false;
        } else {
            metrics.publishFailed();
            bridgeLog("bridge", topic + ": not published: " + mosquitto_strerror(rc));
        }
    }
}

bool Publisher::drained(int timeoutMs)
{
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [this] { return !linkUp || (dirty.empty() && inFlight == 0); }) &&
           linkUp;
}

void Publisher::stop(int timeoutMs)
{
    if (!client)
        return;
    offer(config.statusTopic(), kOffline);
    const bool sent = drained(timeoutMs);
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
        changed.notify_all();
    }
    if (flusher.joinable())
        flusher.join();
    if (!sent)
        bridgeLog("bridge", "stopping with " + std::to_string(dirty.size()) + " topics not sent to the broker");
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
}
