#include "SocketOps.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <QElapsedTimer>

namespace SocketOps {

namespace {

constexpr int kChunk = 512; // a reply never exceeds the 500-byte buffer

int systemConnect(int fd, const sockaddr* address, socklen_t length)
{
    return int(::syscall(SYS_connect, fd, address, length));
}

bool setBlocking(int fd, bool on)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, on ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

// Waits for the non-blocking connect of fd; returns 0 or the error number.
int finishConnect(int fd, int timeoutMs)
{
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return ETIMEDOUT;
    if (ready < 0)
        return errno;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

timeval asTimeval(int ms)
{
    timeval wait{};
    wait.tv_sec = ms / 1000;
    wait.tv_usec = (ms % 1000) * 1000;
    return wait;
}

void configure(int fd, int readWaitMs)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const timeval wait = asTimeval(readWaitMs);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
}

ReadResult received(ssize_t n, const char* chunk, QByteArray& buffer)
{
    if (n > 0) {
        buffer.append(chunk, int(n));
        return ReadResult::Data;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return ReadResult::Nothing;
    return ReadResult::Closed;
}

} // namespace

QString describe(int errorNumber)
{
    switch (errorNumber) {
    case 0: return QStringLiteral("Unknown error");
    case ECONNREFUSED: return QStringLiteral("Connection refused");
    case ETIMEDOUT: return QStringLiteral("Socket operation timed out");
    case ECONNRESET:
    case EPIPE: return QStringLiteral("The remote host closed the connection");
    case EHOSTUNREACH:
    case ENETUNREACH: return QStringLiteral("Network unreachable");
    default: return QString::fromLocal8Bit(std::strerror(errorNumber));
    }
}

int connectTo(const QByteArray& host, quint16 port, int timeoutMs, int readWaitMs, QString* errorText)
{
    QElapsedTimer clock;
    clock.start();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(port);
    if (host.isEmpty() || ::getaddrinfo(host.constData(), service.constData(), &hints, &found) != 0 || !found) {
        if (errorText)
            *errorText = QStringLiteral("Host not found");
        return -1;
    }
    int lastError = ETIMEDOUT;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0)
            break;
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int error = systemConnect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS)
            error = finishConnect(fd, left);
        if (error != 0 || !setBlocking(fd, true)) {
            lastError = error != 0 ? error : errno;
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd >= 0)
        configure(fd, readWaitMs);
    else if (errorText)
        *errorText = describe(lastError);
    return fd;
}

void closeSocket(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool sendAll(int fd, const char* data, int length)
{
    while (length > 0) {
        const ssize_t sent = ::send(fd, data, size_t(length), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        length -= int(sent);
    }
    return true;
}

ReadResult readSome(int fd, QByteArray& buffer, int waitMs, int readWaitMs)
{
    char chunk[kChunk];
    // The usual case, a whole wait: one blocking read, which the socket's read wait bounds.
    if (waitMs == readWaitMs)
        return received(::recv(fd, chunk, sizeof chunk, 0), chunk, buffer);
    // A shorter wait: poll first, then take what is there.
    pollfd p{fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, waitMs < 0 ? 0 : waitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return ReadResult::Nothing;
    if (ready < 0)
        return ReadResult::Closed;
    return received(::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT), chunk, buffer);
}

bool setReadWait(int fd, int readWaitMs)
{
    const timeval wait = asTimeval(readWaitMs);
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0;
}

ReadResult drain(int fd)
{
    char chunk[kChunk];
    ReadResult result = ReadResult::Nothing;
    for (int round = 0; round < 64; ++round) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            result = ReadResult::Data;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return result;
        if (n < 0 && errno == EINTR)
            continue;
        return ReadResult::Closed;
    }
    return result;
}

} // namespace SocketOps
