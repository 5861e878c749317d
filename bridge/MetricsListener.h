#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <thread>

// A small HTTP listener that answers GET /metrics with what render gives, one connection at a
// time on its own thread. It lives in a file of its own because it calls the C library's socket
// functions, which must not meet the controller library's header.
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
    void serve();
    void answer(int client);

    std::function<std::string()> render;
    int listenFd = -1;
    int wakeFds[2] = {-1, -1}; // stop() writes to [1] to end serve()
    int boundPort = 0;
    std::thread thread;
};
