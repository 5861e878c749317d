#pragma once
#include "ControllerAddress.h"
#include "IoThread.h"
#include "SerialTransport.h"

#include <memory>
#include <mutex>

// One serial line to a controller, shared by every client of its target: a port opens once
// and takes one request at a time. Each client holds a Transport of its own (user()), with its
// own open and closed state; the port opens with the first user that opens and closes with the
// last that closes. The requests of the users take turns on the line's IoThread.
class SerialLine
{
public:
    explicit SerialLine(const SerialSettings& settings);

    // A Transport for one client; the line lives as long as its users.
    static std::unique_ptr<Transport> user(const std::shared_ptr<SerialLine>& line);

private:
    class User;
    bool acquire(const QByteArray& device);
    void release();

    IoThread io; // before port: the port's last tasks run on it
    SerialTransport port;
    std::mutex usersMutex;
    int openUsers = 0; // guarded by usersMutex
};
