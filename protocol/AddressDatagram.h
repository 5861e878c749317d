#pragma once
#include <QByteArray>
#include <QtGlobal>

// The datagram that gives a controller its network address: 'h', 0x01, then the address text.
namespace AddressDatagram {

constexpr quint16 kPort = 60007;
// An address text is short; anything longer is refused rather than sent.
constexpr int kMaxTextLength = 255;

// Empty when text is null or longer than kMaxTextLength.
QByteArray build(const char* text);
// True when datagram has the address-setting lead-in; text receives the bytes after it.
bool parse(const QByteArray& datagram, QByteArray* text);

} // namespace AddressDatagram
