#pragma once
#include <QByteArray>
#include <QList>

// Cuts the request frames out of what a TCP connection delivered, by their length fields. No I/O:
// the simulator's server feeds it each connection's bytes and answers what it returns.
class TcpRequestReader
{
public:
    struct Taken
    {
        QList<QByteArray> frames; // complete requests, in order, taken off the front of pending
        bool broken = false;      // what is left can never become a frame: end the connection
    };
    static Taken take(QByteArray& pending);
};
