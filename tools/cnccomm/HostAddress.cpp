#include "HostAddress.h"

#include <QRegularExpression>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace {
bool isIpv4(const QByteArray& text)
{
    in_addr parsed{};
    return inet_pton(AF_INET, text.constData(), &parsed) == 1;
}
}

namespace HostAddress {
bool isMalformed(const QString& text)
{
    static const QRegularExpression dotted(QStringLiteral("^[0-9.]+$"));
    return dotted.match(text).hasMatch() && !isIpv4(text.toLatin1());
}

bool resolve(const QString& host, QString* address, QString* reason)
{
    const QByteArray name = host.toUtf8();
    if (isIpv4(name)) {
        *address = host;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int failed = getaddrinfo(name.constData(), nullptr, &hints, &found);
    if (failed != 0 || !found) {
        *reason = QString::fromLocal8Bit(gai_strerror(failed));
        return false;
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    freeaddrinfo(found);
    *address = QString::fromLatin1(text);
    return true;
}
} // namespace HostAddress
