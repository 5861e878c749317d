#pragma once
#include <string>
#include <thread>

typedef struct _modbus modbus_t;

// libmodbus against its own TCP server on loopback: the protocol library the command client is
// compared with. The server thread answers register reads until stopped.
class ModbusPeer
{
public:
    ~ModbusPeer();
    bool start(int firstHost, int port);
    // One read of count holding registers from the client side; false on failure.
    bool readRegisters(int count);
    void stop();

private:
    void serve();

    std::string m_address;
    int m_port = 0;
    modbus_t* m_server = nullptr;
    modbus_t* m_client = nullptr;
    int m_listener = -1;
    std::thread m_thread;
};
