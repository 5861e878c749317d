#pragma once
#include "BridgeConfig.h"
#include "Payload.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

class Metrics;
struct mosquitto;
struct mosquitto_message;

// The bridge's side of the broker: the latest payload of every topic, sent retained. While the
// broker is away only the latest value per topic is kept (memory bounded by the number of
// topics); after every (re)connection the whole table is sent again, so a broker that lost its
// retained messages gets them back. At its first session it reads back what the broker retained
// of the bridge's topics, so that a restart publishes the last known values as unavailable
// rather than forgetting them.
class Publisher
{
public:
    Publisher(const MqttConfig& mqtt, Backoff backoff, Metrics& metrics);
    ~Publisher();
    // Starts the network and the sending threads; false with error when the settings cannot be
    // used (the broker being away is no error: it is tried again, backing off).
    bool start(std::string& error);
    // Replaces topic's payload; it is sent as soon as the broker link allows.
    void offer(const std::string& topic, const std::string& payload);
    // For a topic whose value the bridge has not read: the last value known for it (offered
    // before, or retained by the broker at the start) with the quality and reason of fields,
    // else fields as they are.
    void offerPlaceholder(const std::string& topic, const payload::Fields& fields);
    // Removes topic's retained message from the broker.
    void remove(const std::string& topic);
    // Sends what is pending and the bridge's "offline" (both for at most timeoutMs), then closes.
    void stop(int timeoutMs);
    std::string statusTopic() const { return mqtt.prefix + "/bridge"; }

private:
    using Clock = std::chrono::steady_clock;
    struct Entry
    {
        std::string payload;
        bool queued = false; // in dirty
        // Set while the payload was made from these fields, no value being known yet.
        std::unique_ptr<payload::Fields> placeholder;
    };
    enum class BrokerState { Unknown, Up, Down };

    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onSubscribe(mosquitto*, void* self, int mid, int count, const int* granted);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onLog(mosquitto*, void* self, int level, const char* text);
    void connected(int rc);
    void subscribed(int mid, int granted);
    void received(const mosquitto_message& message);
    void finishRecall();
    void networkLoop();
    bool openSocket();
    void failed(const std::string& reason);
    std::string failureText(int rc);
    bool waitForRetry();
    void flushLoop();
    void markLocked(const std::string& topic, Entry& entry);
    bool drained(int timeoutMs);

    const MqttConfig mqtt;
    const Backoff backoff;
    Metrics& metrics;
    mosquitto* client = nullptr;
    std::mutex lock; // guards everything below
    std::condition_variable changed;
    std::unordered_map<std::string, Entry> latest;
    std::deque<std::string> dirty; // topics whose latest payload is not sent since the last change
    bool linkUp = false;           // a session is open (CONNACK accepted)
    bool stopping = false;         // the sender ends
    bool networkStopping = false;  // the network thread ends
    int inFlight = 0; // published, and not yet sent (QoS 0) or acknowledged (QoS 1)
    // Reading back the retained messages: subscribed to the prefix until the marker comes back.
    bool recalling = false;
    bool recalled = false;
    int recallMid = 0;
    Clock::time_point recallDeadline;
    Clock::time_point stopDeadline;
    std::map<std::string, std::string> recalledPayloads;
    // The broker's state as last logged, so that it is said once per change.
    BrokerState brokerState = BrokerState::Unknown;
    std::string brokerReason;
    bool everUp = false;
    std::string attemptFailure; // why the current connection attempt failed, as the library said
    int retryDelayMs = 0;
    std::thread network;
    std::thread flusher;
};
