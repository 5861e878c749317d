#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The smallest controller that speaks the command protocol over TCP: blocking reads, one thread
// per connection, a fixed answer per request kind. It sets the floor the library is measured
// against, so it does no more than a raw ping-pong peer does. silent: accepts and never answers.
class CommandResponder
{
public:
    ~CommandResponder();
    // Listens on port 60000 of the first free address from 127.0.0.firstHost on.
    bool start(int firstHost, bool silent = false);
    void stop();
    const std::string& address() const { return m_address; }
    // Requests answered so far, and the variable addresses they asked for.
    long requests() const { return m_requests.load(); }
    long variablesRead() const { return m_variables.load(); }
    long requestsWithCode(uint8_t code) const { return m_byCode[code].load(); }

private:
    void acceptLoop();
    void serve(int fd);

    std::string m_address;
    bool m_silent = false;
    int m_listener = -1;
    std::thread m_acceptor;
    std::mutex m_lock;
    std::vector<int> m_connections;
    std::vector<std::thread> m_servers;
    std::atomic<long> m_requests{0};
    std::atomic<long> m_variables{0};
    std::atomic<long> m_byCode[256] = {};
};
