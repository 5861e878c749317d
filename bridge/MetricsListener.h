#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// A small HTTP listener that answers GET and HEAD /metrics with what render gives. One thread
// serves every connection at once without blocking on any, so a client that sends its request
// slowly, or never, delays no scrape; each connection has a deadline for its whole exchange. It
// lives in a file of its own because it calls the C library's socket functions, which must not
// meet the controller library's header.
class MetricsListener
{
public:
    explicit MetricsListener(std::function<std::string()> render) : render(std::move(render)) {}
    ~MetricsListener();
    // Binds host:port (port 0: any free port); false with error when it cannot.
    bool start(const std::string& host, int port, std::string& error);
    void stop();
    int port() const { return boundPort; }

private:
    struct Connection
    {
        int fd = -1;
        std::string in;  // the request so far
        std::string out; // the answer not yet sent
        bool answered = false;
        std::chrono::steady_clock::time_point deadline;
    };
    void serve();
    void accept();
    bool progress(Connection& connection); // false when the connection is done
    std::string answer(const std::string& head);

    std::function<std::string()> render;
    int listenFd = -1;
    int wakeFds[2] = {-1, -1}; // stop() writes to [1] to end serve()
    int boundPort = 0;
    std::vector<Connection> connections; // serve()'s thread only
    std::thread thread;
};
