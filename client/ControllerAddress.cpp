#include "ControllerAddress.h"

namespace {
constexpr int kMostPortDigits = 5;
constexpr int kHighestPort = 65535;

// 0 when the text is not a port number.
quint16 portNumber(const QByteArray& digits)
{
    if (digits.isEmpty() || digits.size() > kMostPortDigits)
        return 0;
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= kHighestPort ? quint16(value) : 0;
}

// Where ":port" starts, or -1 when the text carries no port.
int portSeparator(const QByteArray& text)
{
    if (text.startsWith('[')) {
        const int close = text.indexOf(']');
        return close >= 0 && close + 1 < text.size() && text.at(close + 1) == ':' ? close + 1 : -1;
    }
    const int colon = text.indexOf(':');
    return colon >= 0 && text.indexOf(':', colon + 1) < 0 ? colon : -1;
}

QByteArray withoutBrackets(const QByteArray& host)
{
    return host.startsWith('[') && host.endsWith(']') ? host.mid(1, host.size() - 2) : host;
}
} // namespace

ControllerAddress ControllerAddress::parse(const QByteArray& text, quint16 defaultPort)
{
    const int nul = text.indexOf('\0');
    const QByteArray whole = nul >= 0 ? text.left(nul) : text;
    ControllerAddress address;
    const int separator = portSeparator(whole);
    if (separator < 0) {
        address.host = withoutBrackets(whole);
        address.port = defaultPort;
        address.valid = true;
        return address;
    }
    address.host = withoutBrackets(whole.left(separator));
    address.port = portNumber(whole.mid(separator + 1));
    address.valid = address.port != 0 && !address.host.isEmpty();
    return address;
}
