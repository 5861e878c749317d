#include "RawSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace RawSocket {

namespace {
sockaddr_in addressOf(const std::string& address, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    return a;
}

void noDelay(int fd)
{
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}
} // namespace

int listenOn(const std::string& address, uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in a = addressOf(address, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int acceptOne(int listener)
{
    const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0)
        noDelay(fd);
    return fd;
}

int connectTo(const std::string& address, uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = addressOf(address, port);
    if (syscall(SYS_connect, fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    noDelay(fd);
    return fd;
}

bool writeAll(int fd, const void* data, int length)
{
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t n = send(fd, p, size_t(length), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        length -= int(n);
    }
    return true;
}

bool readExactly(int fd, void* data, int length)
{
    char* p = static_cast<char*>(data);
    while (length > 0) {
        const ssize_t n = recv(fd, p, size_t(length), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        length -= int(n);
    }
    return true;
}

int readSome(int fd, void* data, int capacity)
{
    for (;;) {
        const ssize_t n = recv(fd, data, size_t(capacity), 0);
        if (n < 0 && errno == EINTR)
            continue;
        return int(n);
    }
}

void closeSocket(int fd)
{
    if (fd >= 0)
        close(fd);
}

void shutDown(int fd)
{
    if (fd >= 0)
        shutdown(fd, SHUT_RDWR);
}

} // namespace RawSocket
