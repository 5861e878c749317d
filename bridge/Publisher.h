#pragma once
#include "BridgeConfig.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

class Metrics;
struct mosquitto;

// The bridge's side of the broker: the latest payload of every topic, sent retained. While the
// broker is away only the latest value per topic is kept (memory bounded by the number of
// topics); after every (re)connection the whole table is sent again, so a broker that lost its
// retained messages gets them back.
class Publisher
{
public:
    Publisher(const BridgeConfig& config, Metrics& metrics);
    ~Publisher();
    // Starts the network thread and the first connection attempt; false with error when the
    // settings cannot be used (the broker being away is no error).
    bool start(std::string& error);
    // Replaces topic's payload; it is sent as soon as the broker link allows.
    void offer(const std::string& topic, const std::string& payload);
    // Sends what is pending and the bridge's "offline" (both for at most timeoutMs), then closes.
    void stop(int timeoutMs);

private:
    struct Entry
    {
        std::string payload;
        bool queued = false; // in dirty
    };
    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    void connected(int rc);
    void disconnected();
    void flushLoop();
    void markLocked(const std::string& topic, Entry& entry);
    bool drained(int timeoutMs);

    const BridgeConfig& config;
    Metrics& metrics;
    mosquitto* client = nullptr;
    std::mutex lock; // guards everything below
    std::condition_variable changed;
    std::unordered_map<std::string, Entry> latest;
    std::deque<std::string> dirty; // topics whose latest payload is not sent since the last change
    bool linkUp = false;
    bool stopping = false;
    int inFlight = 0; // published, and not yet sent (QoS 0) or acknowledged (QoS 1)
    std::thread flusher;
};
