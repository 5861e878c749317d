#include "ModbusPeer.h"

#include "RawSocket.h"

#include <modbus.h>

#include <cstdint>

namespace {
constexpr int kRegisters = 100;
}

ModbusPeer::~ModbusPeer()
{
    stop();
}

bool ModbusPeer::start(int firstHost, int port)
{
    m_port = port;
    for (int host = firstHost; host < 255 && m_listener < 0; ++host) {
        m_address = "127.0.0." + std::to_string(host);
        m_server = modbus_new_tcp(m_address.c_str(), port);
        m_listener = m_server ? modbus_tcp_listen(m_server, 1) : -1;
        if (m_listener < 0 && m_server) {
            modbus_free(m_server);
            m_server = nullptr;
        }
    }
    if (m_listener < 0)
        return false;
    m_thread = std::thread([this] { serve(); });
    m_client = modbus_new_tcp(m_address.c_str(), port);
    return m_client && modbus_connect(m_client) == 0;
}

void ModbusPeer::serve()
{
    modbus_mapping_t* mapping = modbus_mapping_new(0, 0, kRegisters, 0);
    int listener = m_listener;
    if (modbus_tcp_accept(m_server, &listener) < 0) {
        modbus_mapping_free(mapping);
        return;
    }
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
        const int n = modbus_receive(m_server, query);
        if (n == 0)
            continue; // a request for another unit
        if (n < 0 || modbus_reply(m_server, query, n, mapping) < 0)
            break;
    }
    modbus_mapping_free(mapping);
}

bool ModbusPeer::readRegisters(int count)
{
    uint16_t values[kRegisters];
    return m_client && modbus_read_registers(m_client, 0, count, values) == count;
}

void ModbusPeer::stop()
{
    if (m_client) {
        modbus_close(m_client);
        modbus_free(m_client);
        m_client = nullptr;
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_server) {
        modbus_close(m_server);
        modbus_free(m_server);
        m_server = nullptr;
    }
    RawSocket::closeSocket(m_listener);
    m_listener = -1;
}
