#include "CommandResponder.h"

#include "RawSocket.h"

#include <cstring>

namespace {
constexpr uint16_t kCommandPort = 60000;

void putInt32(uint8_t* p, int32_t v)
{
    std::memcpy(p, &v, 4); // the benchmark machines are little-endian, like the wire
}

// Reply to one request frame (TCP framing) into out; returns its length.
int answer(const uint8_t* req, int n, uint8_t* out)
{
    const uint8_t code = req[7];
    int at = 7;
    out[at++] = code;
    switch (code) {
    case 'B': {
        const int count = req[8];
        out[at++] = uint8_t(count);
        for (int i = 0; i < count; ++i, at += 4)
            putInt32(out + at, 1000 + i);
        break;
    }
    case 'D':
        break;
    case 'p':
        out[at++] = 1;
        break;
    case 'g':
        out[at++] = req[8];
        std::memcpy(out + at, "O0001", 6);
        at += 6;
        break;
    default:
        out[at++] = n > 8 ? req[8] : 0;
        out[at++] = 0;
        break;
    }
    std::memset(out, 0, 7);
    out[4] = uint8_t((at - 6) & 0xFF);
    out[5] = uint8_t((at - 6) >> 8);
    return at;
}
} // namespace

CommandResponder::~CommandResponder()
{
    stop();
}

bool CommandResponder::start(int firstHost, bool silent)
{
    m_silent = silent;
    for (int host = firstHost; host < 255 && m_listener < 0; ++host) {
        m_address = "127.0.0." + std::to_string(host);
        m_listener = RawSocket::listenOn(m_address, kCommandPort);
    }
    if (m_listener < 0)
        return false;
    m_acceptor = std::thread([this] { acceptLoop(); });
    return true;
}

void CommandResponder::stop()
{
    if (m_listener < 0)
        return;
    RawSocket::shutDown(m_listener);
    m_acceptor.join();
    RawSocket::closeSocket(m_listener);
    m_listener = -1;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (int fd : m_connections)
            RawSocket::shutDown(fd);
    }
    for (std::thread& t : m_servers)
        t.join();
    for (int fd : m_connections)
        RawSocket::closeSocket(fd);
    m_servers.clear();
    m_connections.clear();
}

void CommandResponder::acceptLoop()
{
    for (;;) {
        const int fd = RawSocket::acceptOne(m_listener);
        if (fd < 0)
            return;
        std::lock_guard<std::mutex> lock(m_lock);
        m_connections.push_back(fd);
        m_servers.emplace_back([this, fd] { serve(fd); });
    }
}

// One read per request as a raw peer would do; a request split over reads is still collected.
void CommandResponder::serve(int fd)
{
    uint8_t req[1024], out[512];
    int held = 0;
    for (;;) {
        const int got = RawSocket::readSome(fd, req + held, int(sizeof req) - held);
        if (got <= 0)
            return;
        held += got;
        for (;;) {
            if (held < 6)
                break;
            const int n = 6 + (req[4] | req[5] << 8);
            if (n < 8 || n > 512)
                return;
            if (held < n)
                break;
            ++m_requests;
            if (req[7] == 'B')
                m_variables += req[8];
            ++m_byCode[req[7]];
            if (!m_silent) {
                const int m = answer(req, n, out);
                if (!RawSocket::writeAll(fd, out, m))
                    return;
            }
            std::memmove(req, req + n, size_t(held - n));
            held -= n;
        }
    }
}
