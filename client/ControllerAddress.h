#pragma once
#include <QByteArray>
#include <QtGlobal>

// A controller address as the application writes it: a host name or address, optionally
// followed by ":port" when the controller listens elsewhere than on the command port (behind a
// gateway that forwards another port, or several controllers on one address). An IPv6 address
// takes a port only in brackets ("[::1]:60001"); without brackets its colons are its own.
// The text ends at its first 0 byte. A plain value, the parse's result.
struct ControllerAddress
{
    // valid is false when a port is given but is not a number in 1..65535 (empty, signs,
    // letters, spaces, too large) or the host before it is empty.
    static ControllerAddress parse(const QByteArray& text, quint16 defaultPort);

    QByteArray host;
    quint16 port = 0;
    bool valid = false;
};
