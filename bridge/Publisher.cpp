#include "Publisher.h"

#include "BridgeLog.h"
#include "Metrics.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace {
// Messages handed to the network thread and not yet sent (QoS 0) or acknowledged (QoS 1): past
// this the flusher waits, so that a slow broker never makes the client library queue without end.
constexpr int kMostInFlight = 1000;
constexpr int kLoopWaitMs = 100;   // one turn of the network thread at most
constexpr int kRecallWaitMs = 2000; // a broker that never returns the marker is not waited for longer
constexpr int kSubscriptionRefused = 0x80;
constexpr int kDisconnectWaitMs = 1000; // for the goodbye to the broker at a stop
const char kOnline[] = "online";
const char kOffline[] = "offline";
const char kRecallMarker[] = "/bridge/recall";
}

Publisher::Publisher(const MqttConfig& mqtt, Backoff backoff, Metrics& metrics)
    : mqtt(mqtt), backoff(backoff), metrics(metrics)
{
}

Publisher::~Publisher()
{
    stop(0);
    if (client)
        mosquitto_destroy(client);
}

bool Publisher::start(std::string& error)
{
    mosquitto_lib_init();
    client = mosquitto_new(mqtt.clientId.c_str(), true, this);
    const std::string status = statusTopic();
    int rc = client ? MOSQ_ERR_SUCCESS : MOSQ_ERR_NOMEM;
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(client, status.c_str(), int(sizeof kOffline - 1), kOffline, 1, true);
    if (rc == MOSQ_ERR_SUCCESS && !mqtt.username.empty())
        rc = mosquitto_username_pw_set(client, mqtt.username.c_str(),
                                       mqtt.password.empty() ? nullptr : mqtt.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !mqtt.caFile.empty())
        rc = mosquitto_tls_set(client, mqtt.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = std::string("mqtt: ") + mosquitto_strerror(rc) + (mqtt.caFile.empty() ? "" : " (ca_file " + mqtt.caFile + ")");
        return false;
    }
    mosquitto_threaded_set(client, true);
    mosquitto_connect_callback_set(client, onConnect);
    mosquitto_disconnect_callback_set(client, onDisconnect);
    mosquitto_publish_callback_set(client, onPublish);
    mosquitto_subscribe_callback_set(client, onSubscribe);
    mosquitto_message_callback_set(client, onMessage);
    mosquitto_log_callback_set(client, onLog);
    mosquitto_int_option(client, MOSQ_OPT_TCP_NODELAY, 1);
    offer(status, kOnline);
    network = std::thread([this] { networkLoop(); });
    flusher = std::thread([this] { flushLoop(); });
    return true;
}

void Publisher::offer(const std::string& topic, const std::string& payload)
{
    std::lock_guard<std::mutex> guard(lock);
    const auto known = latest.find(topic);
    if (known != latest.end() && known->second.payload == payload && !known->second.placeholder)
        return; // the broker has it, or will have it with the next connection
    Entry& entry = latest[topic];
    entry.payload = payload;
    entry.placeholder.reset();
    recalledPayloads.erase(topic); // a value read replaces the one the broker held
    markLocked(topic, entry);
    changed.notify_all();
}

void Publisher::offerPlaceholder(const std::string& topic, const payload::Fields& fields)
{
    std::lock_guard<std::mutex> guard(lock);
    Entry& entry = latest[topic];
    std::string known = payload::requalified(entry.payload, fields);
    const auto kept = recalledPayloads.find(topic);
    if (known.empty() && kept != recalledPayloads.end())
        known = payload::requalified(kept->second, fields);
    entry.placeholder = known.empty() ? std::make_unique<payload::Fields>(fields) : nullptr;
    entry.payload = known.empty() ? payload::message(fields) : known;
    markLocked(topic, entry);
    changed.notify_all();
}

void Publisher::remove(const std::string& topic)
{
    offer(topic, ""); // an empty retained message deletes the retained one
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
    auto* publisher = static_cast<Publisher*>(self);
    std::lock_guard<std::mutex> guard(publisher->lock);
    publisher->linkUp = false;
    publisher->recalling = false;
    publisher->metrics.brokerConnected(false);
    publisher->changed.notify_all();
}

void Publisher::onPublish(mosquitto*, void* self, int)
{
    auto* publisher = static_cast<Publisher*>(self);
    std::lock_guard<std::mutex> guard(publisher->lock);
    if (publisher->inFlight > 0)
        --publisher->inFlight;
    publisher->changed.notify_all();
}

void Publisher::onSubscribe(mosquitto*, void* self, int mid, int count, const int* granted)
{
    static_cast<Publisher*>(self)->subscribed(mid, count > 0 ? granted[0] : kSubscriptionRefused);
}

void Publisher::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    static_cast<Publisher*>(self)->received(*message);
}

void Publisher::onLog(mosquitto*, void* self, int level, const char* text)
{
    if (level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) {
        auto* publisher = static_cast<Publisher*>(self);
        std::lock_guard<std::mutex> guard(publisher->lock);
        publisher->attemptFailure = text;
    }
}

void Publisher::connected(int rc)
{
    if (rc != 0) {
        const std::string reason = std::string("the broker refused the session: ") + mosquitto_connack_string(rc);
        {
            std::lock_guard<std::mutex> guard(lock);
            attemptFailure = reason; // the closed socket that follows says no more
        }
        return failed(reason);
    }
    const std::string where = mqtt.host + ":" + std::to_string(mqtt.port);
    bool recall = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        bridgeLog(LogLevel::Info, "bridge", "broker " + where + (everUp ? " reached again" : " connected") +
                                                "; sending the retained state");
        brokerState = BrokerState::Up;
        everUp = true;
        attemptFailure.clear();
        retryDelayMs = 0;
        linkUp = true;
        inFlight = 0;
        metrics.brokerConnected(true);
        recall = recalling = !recalled;
        recallDeadline = Clock::now() + std::chrono::milliseconds(kRecallWaitMs);
        // The broker may have lost its retained messages (a restart without persistence).
        for (auto& [topic, entry] : latest)
            markLocked(topic, entry);
        changed.notify_all();
    }
    // Called on the network thread, which also takes the acknowledgement: recallMid is set in time.
    if (recall)
        mosquitto_subscribe(client, &recallMid, (mqtt.prefix + "/#").c_str(), 0);
}

void Publisher::subscribed(int mid, int granted)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!recalling || mid != recallMid)
            return;
    }
    if (granted >= kSubscriptionRefused)
        return finishRecall();
    // The broker sends what it retained before anything published after the subscription: the
    // marker coming back ends the retained messages.
    mosquitto_publish(client, nullptr, (mqtt.prefix + kRecallMarker).c_str(), 0, nullptr, 0, false);
}

void Publisher::received(const mosquitto_message& message)
{
    const std::string topic = message.topic;
    if (topic == mqtt.prefix + kRecallMarker)
        return finishRecall();
    std::lock_guard<std::mutex> guard(lock);
    // Every retained message under the prefix: a machine's items may be offered after this.
    if (recalling && message.retain && message.payloadlen > 0)
        recalledPayloads[topic].assign(static_cast<const char*>(message.payload), size_t(message.payloadlen));
}

void Publisher::finishRecall()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!recalling)
            return;
        recalling = false;
        recalled = true;
        for (const auto& [topic, kept] : recalledPayloads) {
            const auto entry = latest.find(topic);
            const bool waiting = entry != latest.end() && entry->second.placeholder;
            const std::string known = waiting ? payload::requalified(kept, *entry->second.placeholder) : std::string();
            if (!known.empty()) {
                entry->second.payload = known;
                entry->second.placeholder.reset();
                markLocked(topic, entry->second);
            }
        }
        changed.notify_all();
    }
    mosquitto_unsubscribe(client, nullptr, (mqtt.prefix + "/#").c_str());
}

void Publisher::failed(const std::string& reason)
{
    std::lock_guard<std::mutex> guard(lock);
    const std::string where = mqtt.host + ":" + std::to_string(mqtt.port);
    if (brokerState == BrokerState::Down) {
        // Said once when it goes, not at every try.
        if (brokerReason != reason)
            bridgeLog(LogLevel::Debug, "bridge", "broker " + where + " still unreachable: " + reason);
        brokerReason = reason;
        return;
    }
    if (brokerState == BrokerState::Up)
        bridgeLog(LogLevel::Warning, "bridge", "broker " + where + " lost: " + reason +
                                                   "; keeping the latest value per topic");
    else
        bridgeLog(LogLevel::Error, "bridge", "cannot reach broker " + where + ": " + reason +
                                                 "; trying again, backing off to " + std::to_string(backoff.maxMs) +
                                                 " ms");
    brokerState = BrokerState::Down;
    brokerReason = reason;
}

std::string Publisher::failureText(int rc)
{
    const int error = errno;
    std::lock_guard<std::mutex> guard(lock);
    std::string text = !attemptFailure.empty()   ? attemptFailure
                       : rc == MOSQ_ERR_ERRNO ? std::strerror(error)
                                              : mosquitto_strerror(rc);
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

bool Publisher::openSocket()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        attemptFailure.clear();
    }
    const int rc = mosquitto_connect_async(client, mqtt.host.c_str(), mqtt.port, mqtt.keepaliveS);
    if (rc == MOSQ_ERR_SUCCESS)
        return true;
    failed(failureText(rc));
    return false;
}

// Waits out the back-off, which grows with each failed attempt; false when the bridge stops
// meanwhile.
bool Publisher::waitForRetry()
{
    std::unique_lock<std::mutex> guard(lock);
    retryDelayMs = retryDelayMs == 0 ? backoff.minMs : std::min(retryDelayMs * 2, backoff.maxMs);
    return !changed.wait_for(guard, std::chrono::milliseconds(retryDelayMs), [this] { return networkStopping; });
}

// The client library's own reconnection never starts when the very first attempt fails, so this
// thread runs the connection: one attempt, then the session until it ends, then the back-off.
void Publisher::networkLoop()
{
    bool open = false;
    while (true) {
        bool recallOverdue = false;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (networkStopping && (!open || Clock::now() > stopDeadline))
                return;
            recallOverdue = recalling && Clock::now() > recallDeadline;
        }
        if (recallOverdue)
            finishRecall();
        if (!open && !(open = openSocket())) {
            if (!waitForRetry())
                return;
            continue;
        }
        const int rc = mosquitto_loop(client, kLoopWaitMs, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            open = false;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (networkStopping)
                    return;
            }
            failed(failureText(rc));
            if (!waitForRetry())
                return;
        }
    }
}

void Publisher::flushLoop()
{
    std::unique_lock<std::mutex> guard(lock);
    while (true) {
        changed.wait(guard, [this] {
            return stopping || (linkUp && !recalling && !dirty.empty() && inFlight < kMostInFlight);
        });
        if (stopping)
            return;
        const std::string topic = dirty.front();
        dirty.pop_front();
        Entry& entry = latest[topic];
        entry.queued = false;
        const std::string payload = entry.payload;
        metrics.setPending(dirty.size());
        ++inFlight; // before the call: its acknowledgement may come before it returns
        guard.unlock();
        const int rc = mosquitto_publish(client, nullptr, topic.c_str(), int(payload.size()), payload.data(), mqtt.qos,
                                         true);
        guard.lock();
        if (rc == MOSQ_ERR_SUCCESS) {
            metrics.published();
            continue;
        }
        --inFlight;
        metrics.publishFailed();
        if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST) {
            // Sent again after the next connection, unless a newer payload comes first.
            markLocked(topic, latest[topic]);
            linkUp = false;
        } else
            bridgeLog(LogLevel::Error, "bridge", topic + ": not published: " + mosquitto_strerror(rc));
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
    if (!flusher.joinable())
        return;
    offer(statusTopic(), kOffline);
    const bool sent = drained(timeoutMs);
    size_t unsent = 0;
    int unacknowledged = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
        networkStopping = true;
        stopDeadline = Clock::now() + std::chrono::milliseconds(kDisconnectWaitMs);
        unsent = dirty.size();
        unacknowledged = inFlight;
        changed.notify_all();
    }
    flusher.join();
    if (!sent && timeoutMs > 0)
        bridgeLog(LogLevel::Warning, "bridge", "stopping with " + std::to_string(unsent) + " topics not sent and " +
                                                   std::to_string(unacknowledged) + " not acknowledged by the broker");
    mosquitto_disconnect(client);
    network.join();
}
