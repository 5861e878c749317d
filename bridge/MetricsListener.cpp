#include "MetricsListener.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {
constexpr int kBacklog = 16;
constexpr int kRequestWaitMs = 2000;
constexpr size_t kLongestRequest = 8192;

// Reads the request head; empty when the client sent none in time.
std::string requestHead(int client)
{
    std::string head;
    char chunk[1024];
    pollfd ready{client, POLLIN, 0};
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kLongestRequest) {
        if (poll(&ready, 1, kRequestWaitMs) <= 0)
            return {};
        const ssize_t got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0)
            return {};
        head.append(chunk, size_t(got));
    }
    return head;
}

void sendAll(int client, const std::string& text)
{
    for (size_t sent = 0; sent < text.size();) {
        const ssize_t n = send(client, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += size_t(n);
    }
}
}

MetricsListener::~MetricsListener()
{
    stop();
}

bool MetricsListener::start(const std::string& host, int port, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        error = host + ": " + gai_strerror(lookup);
        return false;
    }
    listenFd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const bool bound = listenFd >= 0 && bind(listenFd, found->ai_addr, found->ai_addrlen) == 0 &&
                       listen(listenFd, kBacklog) == 0 && pipe(wakeFds) == 0;
    freeaddrinfo(found);
    if (!bound) {
        error = host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&local), &length);
    boundPort = ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&local)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&local)->sin_port);
    thread = std::thread([this] { serve(); });
    return true;
}

void MetricsListener::stop()
{
    if (thread.joinable()) {
        const char wake = 1;
        (void)!write(wakeFds[1], &wake, 1);
        thread.join();
    }
    for (int* fd : {&listenFd, &wakeFds[0], &wakeFds[1]})
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
}

void MetricsListener::serve()
{
    pollfd watched[2] = {{listenFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
    while (poll(watched, 2, -1) >= 0 && !(watched[1].revents & POLLIN)) {
        if (!(watched[0].revents & POLLIN))
            continue;
        const int client = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            answer(client);
            close(client);
        }
    }
}

void MetricsListener::answer(int client)
{
    const std::string head = requestHead(client);
    if (head.empty())
        return;
    const bool metrics = head.rfind("GET /metrics ", 0) == 0 || head.rfind("GET /metrics?", 0) == 0;
    const std::string body = metrics ? render() : std::string("Not found: the bridge serves /metrics\n");
    sendAll(client, std::string(metrics ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                        "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"
                        "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}
