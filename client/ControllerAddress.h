#pragma once
#include <QByteArray>
#include <QtGlobal>

// How a serial line to a controller is set up: speed, character format and the command framing.
struct SerialSettings
{
    qint32 baud = 115200;
    int dataBits = 8;
    char parity = 'N'; // 'N' none, 'E' even, 'O' odd
    int stopBits = 1;
    int frameMode = 1; // FrameSerialStation or FrameSerialColon
};

// A controller address as the application writes it, one of:
// - a host name or address, optionally followed by ":port" when the controller listens elsewhere
//   than on the command port (behind a gateway that forwards another port, or several
//   controllers on one address). An IPv6 address takes a port only in brackets ("[::1]:60001");
//   without brackets its colons are its own.
// - "serial:DEVICE[,BAUD[,FORMAT[,FRAMING]]]": a serial line, e.g. "serial:/dev/ttyS0,9600,8E1,colon".
//   BAUD one of kSerialBauds (115200), FORMAT data bits 5..8, parity N/E/O and stop bits 1..2
//   (8N1), FRAMING "station" or "colon" (station). host is then the device.
// The text ends at its first 0 byte. Every part of the library judges addresses here. A plain
// value, the parse's result.
struct ControllerAddress
{
    // valid is false when a port is given but is not a number in 1..65535 (empty, signs,
    // letters, spaces, too large) or the host before it is empty; for a serial line, when the
    // device is empty or a setting is not one of those above.
    static ControllerAddress parse(const QByteArray& text, quint16 defaultPort);

    QByteArray host;
    quint16 port = 0;
    bool valid = false;
    bool serial = false;
    SerialSettings line;
};
