#include "ControllerAddress.h"
#include "FrameMode.h"

#include <QList>

#include <algorithm>

namespace {
constexpr int kMostPortDigits = 5;
constexpr int kHighestPort = 65535;
const QByteArray kSerialPrefix = QByteArrayLiteral("serial:");
constexpr int kMostBaudDigits = 7;
constexpr qint32 kSerialBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

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

bool takeBaud(const QByteArray& text, SerialSettings& line)
{
    const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    line.baud = digits && text.size() <= kMostBaudDigits ? text.toInt() : 0;
    return std::find(std::begin(kSerialBauds), std::end(kSerialBauds), line.baud) != std::end(kSerialBauds);
}

// "8N1": data bits, parity, stop bits.
bool takeFormat(const QByteArray& text, SerialSettings& line)
{
    if (text.size() != 3)
        return false;
    line.dataBits = text.at(0) - '0';
    line.parity = text.at(1);
    line.stopBits = text.at(2) - '0';
    return line.dataBits >= 5 && line.dataBits <= 8 && QByteArray("NEO").contains(line.parity) &&
           (line.stopBits == 1 || line.stopBits == 2);
}

bool takeFraming(const QByteArray& text, SerialSettings& line)
{
    line.frameMode = text == "station" ? FrameSerialStation : text == "colon" ? FrameSerialColon : FrameTcp;
    return line.frameMode != FrameTcp;
}

ControllerAddress serialAddress(const QByteArray& text)
{
    ControllerAddress address;
    address.serial = true;
    const QList<QByteArray> parts = text.split(',');
    address.host = parts.at(0);
    bool ok = !address.host.isEmpty() && parts.size() <= 4;
    if (ok && parts.size() > 1)
        ok = takeBaud(parts.at(1), address.line);
    if (ok && parts.size() > 2)
        ok = takeFormat(parts.at(2), address.line);
    if (ok && parts.size() > 3)
        ok = takeFraming(parts.at(3), address.line);
    address.valid = ok;
    return address;
}
} // namespace

ControllerAddress ControllerAddress::parse(const QByteArray& text, quint16 defaultPort)
{
    const int nul = text.indexOf('\0');
    const QByteArray whole = nul >= 0 ? text.left(nul) : text;
    if (whole.startsWith(kSerialPrefix))
        return serialAddress(whole.mid(kSerialPrefix.size()));
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
