#pragma once
#include <cstdint>
#include <string>

// Plain blocking loopback sockets for the peers the library is measured against. The connect
// goes through the system call: a process that links the library has its `connect` export too.
namespace RawSocket {

int listenOn(const std::string& address, uint16_t port);       // -1 when the address is taken
int acceptOne(int listener);                                     // -1 once the listener is shut
int connectTo(const std::string& address, uint16_t port);        // -1 on failure
bool writeAll(int fd, const void* data, int length);
bool readExactly(int fd, void* data, int length);
int readSome(int fd, void* data, int capacity); // blocking; 0 or less when the link is gone
void closeSocket(int fd);
void shutDown(int fd); // wakes a thread blocked on fd

} // namespace RawSocket
