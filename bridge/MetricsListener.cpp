#include "MetricsListener.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr int kBacklog = 16;
constexpr auto kExchangeTime = std::chrono::seconds(5); // to send the request and take the answer
constexpr size_t kLongestRequest = 8192;
constexpr size_t kMostConnections = 64; // beyond, the oldest is closed for the newest
using Clock = std::chrono::steady_clock;

std::string response(const char* status, const std::string& body, bool withBody)
{
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n" +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + (withBody ? body : "");
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
    listenFd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int yes = 1;
    setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const bool bound = listenFd >= 0 && bind(listenFd, found->ai_addr, found->ai_addrlen) == 0 &&
                       listen(listenFd, kBacklog) == 0 && pipe(wakeFds) == 0;
    freeaddrinfo(found);
    if (!bound) {
        error = host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        stop();
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
    for (Connection& connection : connections)
        close(connection.fd);
    connections.clear();
    for (int* fd : {&listenFd, &wakeFds[0], &wakeFds[1]})
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
}

void MetricsListener::serve()
{
    while (true) {
        std::vector<pollfd> watched{{listenFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
        auto nearest = Clock::now() + kExchangeTime;
        for (const Connection& connection : connections) {
            watched.push_back({connection.fd, short(connection.answered ? POLLOUT : POLLIN), 0});
            nearest = std::min(nearest, connection.deadline);
        }
        const auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count() + 1;
        if (poll(watched.data(), watched.size(), int(std::max<long long>(waitMs, 0))) < 0 && errno != EINTR)
            return;
        if (watched[1].revents & POLLIN)
            return;
        // Connections first: accept() may reorder the list.
        size_t kept = 0;
        for (size_t i = 0; i < connections.size(); ++i) {
            const bool ready = watched[i + 2].revents != 0;
            if (Clock::now() < connections[i].deadline && (!ready || progress(connections[i])))
                connections[kept++] = connections[i];
            else
                close(connections[i].fd);
        }
        connections.resize(kept);
        if (watched[0].revents & POLLIN)
            accept();
    }
}

void MetricsListener::accept()
{
    const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (connections.size() >= kMostConnections) {
        close(connections.front().fd);
        connections.erase(connections.begin());
    }
    Connection connection;
    connection.fd = fd;
    connection.deadline = Clock::now() + kExchangeTime;
    connections.push_back(connection);
}

bool MetricsListener::progress(Connection& connection)
{
    if (!connection.answered) {
        char chunk[1024];
        const ssize_t got = recv(connection.fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return got < 0 && (errno == EAGAIN || errno == EINTR);
        connection.in.append(chunk, size_t(got));
        const auto end = connection.in.find("\r\n\r\n");
        if (end == std::string::npos)
            return connection.in.size() < kLongestRequest;
        connection.out = answer(connection.in.substr(0, end));
        connection.answered = true;
    }
    const ssize_t sent = send(connection.fd, connection.out.data(), connection.out.size(), MSG_NOSIGNAL);
    if (sent < 0)
        return errno == EAGAIN || errno == EINTR;
    connection.out.erase(0, size_t(sent));
    return !connection.out.empty();
}

std::string MetricsListener::answer(const std::string& head)
{
    const auto space = head.find(' ');
    const std::string method = head.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : head.substr(space + 1);
    const bool metrics = rest.rfind("/metrics ", 0) == 0 || rest.rfind("/metrics?", 0) == 0;
    const bool headOnly = method == "HEAD";
    if (method != "GET" && !headOnly)
        return response("405 Method Not Allowed", "The bridge answers GET and HEAD\n", true);
    if (!metrics)
        return response("404 Not Found", "Not found: the bridge serves /metrics\n", !headOnly);
    return response("200 OK", render(), !headOnly);
}
