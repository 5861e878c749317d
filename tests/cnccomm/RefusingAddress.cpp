#include "RefusingAddress.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <iterator>

RefusingAddress::RefusingAddress()
{
    const uint16_t ports[] = {60000, 21, 60006};
    for (int host = 250; host > 2 && m_address.isEmpty(); --host) {
        const QString address = QStringLiteral("127.0.0.%1").arg(host);
        std::vector<int> held;
        for (uint16_t port : ports) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            inet_pton(AF_INET, qPrintable(address), &a.sin_addr);
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                if (fd >= 0)
                    close(fd);
                break;
            }
            held.push_back(fd);
        }
        if (held.size() == std::size(ports)) {
            m_address = address;
            m_sockets = held;
        } else {
            for (int fd : held)
                close(fd);
        }
    }
    if (m_address.isEmpty())
        ADD_FAILURE() << "no loopback address with its ports free";
}

RefusingAddress::~RefusingAddress()
{
    for (int fd : m_sockets)
        close(fd);
}
