#include "AddressDatagram.h"

#include <cstring>

namespace AddressDatagram {

namespace {
constexpr char kLeadIn[2] = {'h', 0x01};
}

QByteArray build(const char* text)
{
    if (!text)
        return QByteArray();
    const size_t length = strnlen(text, kMaxTextLength + 1);
    if (length > size_t(kMaxTextLength))
        return QByteArray();
    QByteArray datagram(kLeadIn, 2);
    datagram.append(text, int(length));
    return datagram;
}

bool parse(const QByteArray& datagram, QByteArray* text)
{
    if (datagram.size() < 2 || datagram[0] != kLeadIn[0] || datagram[1] != kLeadIn[1])
        return false;
    if (text)
        *text = datagram.mid(2);
    return true;
}

} // namespace AddressDatagram
